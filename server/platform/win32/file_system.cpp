#include "platform/file_system.h"

#include <windows.h>
// After <windows.h>, which they need.
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>

#include "platform/clock.h"
#include "platform/win32/wide.h"

// <windows.h> turns these into DeleteFileW and ReplaceFileW; ours are
// functions of their own.
#undef DeleteFile
#undef ReplaceFile

namespace velmor::platform {

const char kNativeSeparator = '\\';

namespace {

FileTime FromFiletime(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFiletime(FileTime time) {
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  result.dwHighDateTime = static_cast<DWORD>(time >> 32);
  return result;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string LastComponent(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && IsSeparator(trimmed.back())) trimmed.pop_back();
  const size_t separator = trimmed.find_last_of("/\\");
  return separator == std::string::npos ? trimmed : trimmed.substr(separator + 1);
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  // "C:\" keeps its separator: without it, it would mean the current folder
  // of drive C.
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

void FillInfo(DWORD attributes, const FILETIME& creation, const FILETIME& access,
              const FILETIME& write, DWORD size_high, DWORD size_low, FileInfo* info) {
  info->is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->size = info->is_folder
                   ? 0
                   : static_cast<int64_t>((static_cast<uint64_t>(size_high) << 32) | size_low);
  info->write_time = FromFiletime(write);
  info->access_time = FromFiletime(access);
  info->creation_time = FromFiletime(creation);
  info->hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool WriteAll(HANDLE handle, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

std::wstring UniqueTempName(const std::string& path) {
  static std::atomic<uint32_t> counter{0};
  return WidePath(path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(TickCount()) + "-" + std::to_string(counter++));
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
  const bool drive_letter = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') ||
                                                 (path[0] >= 'a' && path[0] <= 'z'));
  return drive_letter && path[1] == ':' && IsSeparator(path[2]);
}

PathType GetPathType(const std::string& path) {
  if (path.empty()) return PathType::kNone;
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathType::kNone;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathType::kFolder : PathType::kFile;
}

bool GetFileInfo(const std::string& path, FileInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() || !GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
    return false;
  }
  info->name = LastComponent(path);
  FillInfo(data.dwFileAttributes, data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime,
           data.nFileSizeHigh, data.nFileSizeLow, info);
  return true;
}

bool ListFolder(const std::string& folder, std::vector<FileInfo>* entries) {
  entries->clear();
  if (GetPathType(folder) != PathType::kFolder) return false;
  std::wstring pattern = WithoutTrailingSeparator(WidePath(folder));
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  // The basic level leaves out the short 8.3 names, which nothing here
  // reads; the large fetch asks the file system for more entries a call.
  const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // empty
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    FileInfo info;
    info.name = Narrow(name);
    FillInfo(data.dwFileAttributes, data.ftCreationTime, data.ftLastAccessTime,
             data.ftLastWriteTime, data.nFileSizeHigh, data.nFileSizeLow, &info);
    entries->push_back(std::move(info));
  } while (FindNextFileW(find, &data));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return complete;
}

// The folder read gives every entry's size and times with its name.
bool ListFolder(const std::string& folder, const WantsDetails&, std::vector<FileInfo>* entries) {
  return ListFolder(folder, entries);
}

bool SetFileTimes(const std::string& path, const FileTimes& times) {
  // Backup semantics, so folders can be opened as well.
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const FILETIME creation = ToFiletime(times.creation);
  const FILETIME access = ToFiletime(times.access);
  const FILETIME write = ToFiletime(times.write);
  // A null time is left as it is.
  const bool ok =
      SetFileTime(handle, times.creation != 0 ? &creation : nullptr,
                  times.access != 0 ? &access : nullptr, times.write != 0 ? &write : nullptr);
  CloseHandle(handle);
  return ok;
}

bool CanSetCreationTime() {
  // Wine keeps files on a Linux file system, where the creation time cannot
  // be set; it then reports another time instead.
  static const bool under_wine = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return !under_wine;
}

bool MovePath(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail.
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), 0);
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool DeleteFile(const std::string& path) { return DeleteFileW(WidePath(path).c_str()); }

bool RemoveFolder(const std::string& path) { return RemoveDirectoryW(WidePath(path).c_str()); }

bool CreateFolder(const std::string& path) {
  return CreateDirectoryW(WidePath(path).c_str(), nullptr);
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(handle, &size) && size.QuadPart > 0) {
    bytes->reserve(static_cast<size_t>(size.QuadPart));
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof(buffer), &got, nullptr)) ok = false;
    if (!ok || got == 0) break;
    bytes->append(buffer, got);
  }
  CloseHandle(handle);
  if (!ok) bytes->clear();
  return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::wstring temp = UniqueTempName(path);
  const HANDLE handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(handle, bytes) && FlushFileBuffers(handle);
  ok = CloseHandle(handle) && ok;
  if (ok) {
    ok = MoveFileExW(temp.c_str(), WidePath(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  }
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

std::vector<Drive> ListDrives() {
  std::vector<Drive> drives;
  // An empty card reader or disc drive fails quietly instead of asking the
  // user to insert a disk.
  DWORD old_error_mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS, &old_error_mode);
  const DWORD mask = GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if ((mask & (1u << letter)) == 0) continue;
    const wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
    wchar_t label[MAX_PATH + 1] = {};
    // Without a disc in it or with an unreadable volume, a drive is left out.
    if (!GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) {
      continue;
    }
    drives.push_back({std::string(1, static_cast<char>('A' + letter)) + ":/", Narrow(label)});
  }
  SetThreadErrorMode(old_error_mode, nullptr);
  return drives;
}

std::string ExecutableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return "";
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);  // cut off: try a larger buffer
  }
  const size_t separator = buffer.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return "";
  return Narrow(WithoutTrailingSeparator(buffer.substr(0, separator + 1)));
}

std::string UserVideosFolder() {
  PWSTR folder = nullptr;
  std::string result;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Videos, 0, nullptr, &folder)) && folder != nullptr) {
    result = Narrow(WithoutTrailingSeparator(folder));
  }
  CoTaskMemFree(folder);
  if (!result.empty()) return result;
  // Without the known folder (a stripped-down system): the profile's Videos.
  wchar_t profile[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  return Narrow(WithoutTrailingSeparator(profile)) + "\\Videos";
}

std::string TemporaryFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
  if (length == 0 || length > MAX_PATH + 1) return "";
  return Narrow(WithoutTrailingSeparator(std::wstring(buffer, length)));
}

std::string CurrentFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH + 2, buffer);
  if (length == 0 || length > MAX_PATH + 1) return "";
  return Narrow(WithoutTrailingSeparator(std::wstring(buffer, length)));
}

}  // namespace velmor::platform
