#include "ui/dialog_helpers.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "core/paths.h"
#include "platform/win32/wide.h"

namespace velmor::ui {
namespace {

using platform::Narrow;
using platform::Widen;

std::string WithBackslashes(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// An existing absolute path as it is, anything else under the program folder.
std::string FromProgramFolder(const std::string& value) {
  if (PathKind(value) != kPathAbsent) return value;
  return ProgramFolder() + "\\" + value;
}

int CALLBACK SelectStartFolder(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

std::string ControlText(HWND dialog, int id) {
  wchar_t text[MAX_PATH] = {};
  GetDlgItemTextW(dialog, id, text, MAX_PATH);
  return Narrow(text);
}

void SetControlText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, Widen(text).c_str());
}

std::string RelativeToProgramFolder(const std::string& path) {
  const std::string prefix = WithBackslashes(ProgramFolder()) + "\\";
  if (path.size() > prefix.size() &&
      CompareStringOrdinal(Widen(path.substr(0, prefix.size())).c_str(), -1, Widen(prefix).c_str(),
                           -1, TRUE) == CSTR_EQUAL) {
    return path.substr(prefix.size());
  }
  return path;
}

bool PickFile(HWND owner, std::string* value, FileFilter filter) {
  const std::string start = FromProgramFolder(WithBackslashes(*value));
  const SplitPathResult parts = SplitPath(start);
  const std::wstring folder = Widen(parts.folder);
  wchar_t file[MAX_PATH] = {};
  lstrcpynW(file, Widen(parts.file_name).c_str(), MAX_PATH);

  static constexpr wchar_t kDataTableFilter[] =
      L"Data Table Files(*.txt)\0*.txt\0All Files(*.*)\0*.*\0";
  static constexpr wchar_t kPlaylistFilter[] =
      L"VelmorVR Files(*.vrl)\0*.vrl\0All Files(*.*)\0*.*\0";
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter == FileFilter::kDataTable ? kDataTableFilter : kPlaylistFilter;
  dialog.lpstrDefExt = filter == FileFilter::kDataTable ? L"txt" : L"vrl";
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = L"ファイル選択";
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return false;
  *value = RelativeToProgramFolder(Narrow(file));
  return true;
}

bool PickFolder(HWND owner, bool relative, std::string* value) {
  std::string start = *value;
  if (relative) start = FromProgramFolder(start);
  const std::wstring start_wide = Widen(WithBackslashes(start));
  wchar_t chosen[MAX_PATH] = {};
  BROWSEINFOW browse = {};
  browse.hwndOwner = owner;
  browse.pszDisplayName = chosen;
  browse.lpszTitle = L"Open Folder";
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  browse.lpfn = &SelectStartFolder;
  browse.lParam = reinterpret_cast<LPARAM>(start_wide.c_str());
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
  if (item == nullptr) return false;
  const bool ok = SHGetPathFromIDListW(item, chosen);
  CoTaskMemFree(item);
  if (!ok) return false;
  *value = relative ? RelativeToProgramFolder(Narrow(chosen)) : Narrow(chosen);
  return true;
}

void OpenInNotepad(const std::string& path) {
  const SplitPathResult parts = SplitPath(WithBackslashes(path));
  const std::string folder = parts.folder.empty() ? ProgramFolder() : parts.folder;
  const std::wstring full = Widen(folder + "\\" + parts.file_name);
  ShellExecuteW(nullptr, L"open", L"notepad.exe", full.c_str(), nullptr, SW_SHOWNORMAL);
}

}  // namespace velmor::ui
