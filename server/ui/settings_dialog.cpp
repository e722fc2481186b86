#include "ui/settings_dialog.h"

#include <string>

#include "core/config.h"
#include "core/settings.h"
#include "core/window_rect.h"
#include "platform/win32/wide.h"
#include "ui/dialog_helpers.h"
#include "ui/dialog_placement.h"
#include "ui/resource.h"

namespace velmor::ui {
namespace {

using platform::Narrow;
using platform::Widen;

constexpr char kRectSection[] = "cdlgConfig";

// The controls and the settings they edit. A check box holds 1 or 0, a
// number edit a signed decimal (anything else stores 0), a text edit the
// text as it is. Nothing is range-checked: the ports, counts and sizes are
// used as typed at the next start.
struct CheckField {
  int id;
  int S_CONFIG::*setting;
};
constexpr CheckField kChecks[] = {
    {IDC_CFG_USE_PASSWORD, &S_CONFIG::iUsePassword},
    {IDC_CFG_USE_MOUSE, &S_CONFIG::iUseMouse},
    {IDC_CFG_MOUSE_FOCUS, &S_CONFIG::iUseMouseGetKeybordFocus},
    {IDC_CFG_USE_FILE_GROUP, &S_CONFIG::iUseFileGroup},
    {IDC_CFG_SERVER_LOG, &S_CONFIG::iServerLog},
    {IDC_CFG_USE_FFMPEG, &S_CONFIG::iUseFFMpeg},
};

struct NumberField {
  int id;
  int S_CONFIG::*setting;
};
constexpr NumberField kNumbers[] = {
    {IDC_CFG_MOUSE_SCALE, &S_CONFIG::iUseMouseScale},
    {IDC_CFG_LIVE_TIMEOUT, &S_CONFIG::iLiveTimeOutSec},
    {IDC_CFG_PORT_SERVER, &S_CONFIG::iPortServer},
    {IDC_CFG_PORT_HTTP, &S_CONFIG::iPortHttp},
    {IDC_CFG_PORT_MOUSE, &S_CONFIG::iPortMouse},
    {IDC_CFG_STREAM_COUNT, &S_CONFIG::iServerAcceptNum},
    {IDC_CFG_CACHE_SIZE, &S_CONFIG::iServerCacheBuffSizeMB},
    {IDC_CFG_CACHE_COUNT, &S_CONFIG::iServerCacheBuffNum},
    {IDC_CFG_CACHE_PROTECT, &S_CONFIG::iServerCacheBuffProtectNum},
};

struct TextField {
  int id;
  std::string S_CONFIG::*setting;
};
constexpr TextField kTexts[] = {
    {IDC_CFG_PASSWORD, &S_CONFIG::pcPassword},
    {IDC_CFG_VIDEO_EXT, &S_CONFIG::pcExt},
    {IDC_CFG_AUDIO_EXT, &S_CONFIG::pcAudioExt},
    {IDC_CFG_IMAGE_EXT, &S_CONFIG::pcImageExt},
    {IDC_CFG_FILE_GROUP, &S_CONFIG::pcFileGroup},
    {IDC_CFG_DATA_TABLE, &S_CONFIG::pcDataTablePath},
    {IDC_CFG_SEARCH_LIST, &S_CONFIG::pcSearchFolder1},
    {IDC_CFG_WORD_LIST, &S_CONFIG::pcWordListPath},
    {IDC_CFG_PC_FOLDER_LIST, &S_CONFIG::pcPCFolderListPath},
    {IDC_CFG_THUMBNAIL_FOLDER, &S_CONFIG::pcThumbnailPath220},
    {IDC_CFG_FFMPEG_FOLDER, &S_CONFIG::pcFFMpegPath},
};

// The "編集" buttons and the list file each opens in Notepad.
struct NotepadButton {
  int button;
  int edit;
};
constexpr NotepadButton kNotepadButtons[] = {
    {IDC_CFG_SEARCH_LIST_EDIT, IDC_CFG_SEARCH_LIST},
    {IDC_CFG_WORD_LIST_EDIT, IDC_CFG_WORD_LIST},
    {IDC_CFG_PC_FOLDER_LIST_EDIT, IDC_CFG_PC_FOLDER_LIST},
};

void ShowSettings(HWND dialog, const S_CONFIG& config) {
  for (const CheckField& field : kChecks) {
    CheckDlgButton(dialog, field.id, config.*field.setting == 1 ? BST_CHECKED : BST_UNCHECKED);
  }
  for (const NumberField& field : kNumbers) {
    SetDlgItemInt(dialog, field.id, static_cast<UINT>(config.*field.setting), TRUE);
  }
  for (const TextField& field : kTexts) SetControlText(dialog, field.id, config.*field.setting);
}

void ReadSettings(HWND dialog, S_CONFIG* config) {
  for (const CheckField& field : kChecks) {
    config->*field.setting = IsDlgButtonChecked(dialog, field.id) == BST_CHECKED ? 1 : 0;
  }
  for (const NumberField& field : kNumbers) {
    // Zero for a field that does not hold a number.
    config->*field.setting = static_cast<int>(GetDlgItemInt(dialog, field.id, nullptr, TRUE));
  }
  for (const TextField& field : kTexts) config->*field.setting = ControlText(dialog, field.id);
}

class SettingsDialog {
 public:
  explicit SettingsDialog(Settings* settings) : settings_(settings) {}

  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    auto* self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->Handle(dialog, message, wparam);
  }

 private:
  INT_PTR Handle(HWND dialog, UINT message, WPARAM wparam) {
    switch (message) {
      case WM_INITDIALOG:
        LoadWindowRect(kRectSection, &rect_);
        PlaceSavedWindow(dialog, rect_);
        ShowSettings(dialog, settings_->Copy());
        return TRUE;
      case WM_COMMAND:
        OnCommand(dialog, LOWORD(wparam));
        return TRUE;
      case WM_CLOSE:
        End(dialog, 0);
        return TRUE;
      case WM_DESTROY:
        SaveWindowRect(kRectSection, rect_);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void OnCommand(HWND dialog, int id) {
    switch (id) {
      case IDC_CFG_OK:
      case IDOK:  // Enter
        settings_->Update([dialog](S_CONFIG& config) { ReadSettings(dialog, &config); });
        settings_->Save();
        End(dialog, 1);
        return;
      case IDC_CFG_CANCEL:
      case IDCANCEL:  // Esc
        End(dialog, 0);
        return;
      case IDC_CFG_DATA_TABLE_PICK:
        Pick(dialog, IDC_CFG_DATA_TABLE, [dialog](std::string* value) {
          return PickFile(dialog, value, FileFilter::kDataTable);
        });
        return;
      case IDC_CFG_THUMBNAIL_FOLDER_PICK:
      case IDC_CFG_FFMPEG_FOLDER_PICK:
        Pick(dialog,
             id == IDC_CFG_THUMBNAIL_FOLDER_PICK ? IDC_CFG_THUMBNAIL_FOLDER : IDC_CFG_FFMPEG_FOLDER,
             [dialog](std::string* value) { return PickFolder(dialog, true, value); });
        return;
      default:
        for (const NotepadButton& button : kNotepadButtons) {
          if (id == button.button) OpenInNotepad(ControlText(dialog, button.edit));
        }
        return;
    }
  }

  // Ending hides the dialog before it is destroyed: where it was is taken
  // while it still shows.
  void End(HWND dialog, INT_PTR result) {
    KeepWindowRect(dialog, &rect_);
    EndDialog(dialog, result);
  }

  // A cancelled picker leaves the edit as it was.
  template <typename Picker>
  static void Pick(HWND dialog, int edit, Picker pick) {
    std::string value = ControlText(dialog, edit);
    if (pick(&value)) SetControlText(dialog, edit, value);
  }

  Settings* settings_;
  WindowRect rect_;
};

}  // namespace

bool ShowSettingsDialog(HINSTANCE instance, HWND owner, Settings* settings) {
  SettingsDialog dialog(settings);
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), owner, &SettingsDialog::Proc,
                         reinterpret_cast<LPARAM>(&dialog)) == 1;
}

}  // namespace velmor::ui
