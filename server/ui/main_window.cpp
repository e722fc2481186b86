#include "ui/main_window.h"

#include <commctrl.h>

#include <cstdint>
#include <iterator>

#include "core/paths.h"
#include "core/settings.h"
#include "core/version.h"
#include "platform/socket.h"
#include "platform/win32/wide.h"
#include "remote/mouse_remote.h"
#include "runtime/server_runtime.h"
#include "ui/channel_rows.h"
#include "ui/dialog_helpers.h"
#include "ui/dialog_placement.h"
#include "ui/resource.h"
#include "ui/settings_dialog.h"
#include "ui/tool_dialogs.h"

namespace velmor::ui {
namespace {

using platform::Narrow;
using platform::Widen;

constexpr char kRectSection[] = "cdlgMain";
constexpr UINT_PTR kStatusTimer = 200;
constexpr UINT kStatusPeriodMs = 100;

// The hot keys, all with Ctrl+Shift+Alt, and the commands they run.
struct HotKey {
  int id;
  UINT key;
  int command;
};
constexpr HotKey kHotKeys[] = {
    {260, 'S', IDC_FORCED_DISCONNECT},
    {261, 'M', IDC_MOUSE_ON},
    {262, 'D', IDC_MOUSE_OFF},
};

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, ServerRuntime* runtime)
    : instance_(instance), runtime_(runtime) {}

bool MainWindow::Create() {
  window_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_MAIN), nullptr, &DialogProc,
                               reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return false;
  ShowWindow(window_, SW_SHOW);
  return true;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    reinterpret_cast<MainWindow*>(lparam)->window_ = window;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  return self->HandleMessage(message, wparam, lparam);
}

INT_PTR MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_TIMER:
      if (wparam == kStatusTimer) OnTimer();
      return TRUE;
    case WM_HOTKEY:
      for (const HotKey& hot_key : kHotKeys) {
        if (static_cast<int>(wparam) == hot_key.id) OnCommand(hot_key.command, 0);
      }
      return TRUE;
    case WM_SYSCOMMAND:
      if (!OnSysCommand(wparam)) return FALSE;
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
      return TRUE;
    case kTrayMessage:
      OnTrayNotification(wparam, lparam);
      return TRUE;
    case WM_CLOSE:
      // The close box quits without taking the rows ("終了" applies them).
      DestroyWindow(window_);
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return TRUE;
    default:
      return FALSE;
  }
}

void MainWindow::OnInitDialog() {
  SendMessageW(window_, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(LoadIconW(instance_, MAKEINTRESOURCEW(IDI_MAIN))));
  const std::string title =
      std::string(kProductName) + " Ver" + kAppVersion + " (" + kBuildDate + ")";
  SetWindowTextW(window_, Widen(title).c_str());

  LoadWindowRect(kRectSection, &window_rect_);
  PlaceSavedWindow(window_, window_rect_);

  for (const ChannelRowIds& ids : kChannelRowIds) {
    for (const ChannelEntry& entry : kChannelEntries) {
      SendDlgItemMessageW(window_, ids.type_combo, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(entry.label));
    }
  }
  LoadRows();

  runtime_->SetWindowCommandHandler([this](int command) {
    // The player changed the channel table: show it (the runtime saved it).
    if (command == IDC_REFRESH) LoadRows();
  });
  runtime_->SetKeyboardFocusHandler([this] { SetForegroundWindow(window_); });
  runtime_->Start();

  ShowAddresses();
  for (size_t i = 0; i < std::size(kHotKeys); ++i) {
    hot_keys_registered_[i] =
        RegisterHotKey(window_, kHotKeys[i].id, MOD_CONTROL | MOD_SHIFT | MOD_ALT, kHotKeys[i].key);
  }
  for (TrayIcon& entry : tray_icons_) {
    entry.id = IDI_TRAY;
    entry.icon = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TRAY), IMAGE_ICON, 16, 16, LR_SHARED));
  }
  tray_icon_id_ = IDI_TRAY;
  CreateStatusBar();
  SetTimer(window_, kStatusTimer, kStatusPeriodMs, nullptr);
}

void MainWindow::OnCommand(int id, int notification) {
  RowControl control;
  const int row = RowOfControl(id, &control);
  if (row >= 0) {
    if (control == RowControl::kTypeCombo && notification == CBN_SELCHANGE) ShowRowState(row);
    if (control == RowControl::kPickButton) PickRowPath(row);
    if (control == RowControl::kEditButton) {
      OpenInNotepad(ControlText(window_, kChannelRowIds[row].path_edit));
    }
    return;
  }
  switch (id) {
    case IDC_SETTINGS:
      // OK has saved the settings; what can change while running does now.
      if (ShowSettingsDialog(instance_, window_, &runtime_->settings())) runtime_->ApplySettings();
      break;
    case IDC_APPLY:
      Apply();
      break;
    case IDC_REFRESH:
      LoadRows();
      runtime_->settings().Save();
      break;
    case IDC_CONVERT:
    case IDM_CONVERT:
      ShowConverterDialog(instance_, window_, runtime_);
      break;
    case IDM_MAKE_THUMBNAILS:
      ShowThumbnailBatchDialog(instance_, window_, runtime_);
      break;
    case IDC_MOUSE_ON:
      if (MouseRemote* remote = runtime_->mouse_remote()) remote->CaptureOn();
      break;
    case IDC_MOUSE_OFF:
      if (MouseRemote* remote = runtime_->mouse_remote()) remote->CaptureOff();
      break;
    case IDC_FORCED_DISCONNECT:
      runtime_->ForceDisconnect();
      break;
    case IDC_QUIT:
      Apply();
      DestroyWindow(window_);
      break;
    case IDM_TRAY_SHOW:
      RemoveTrayIcon();
      ShowWindow(window_, SW_SHOW);
      SetForegroundWindow(window_);
      break;
    case IDM_TRAY_QUIT:
      // The tray's quit item quits as the "終了" button does.
      PostMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_QUIT, 0), 0);
      break;
    default:
      break;
  }
}

void MainWindow::OnTimer() {
  runtime_->ConsumeStatusEvent([this](const StatusEvent& event) {
    SetStatusPart(0, event.first_text);
    last_status_text_ = event.first_text;
    SetStatusPart(1, event.second_text);
  });
  if (restore_armed_ && static_cast<int32_t>(GetTickCount() - restore_deadline_) >= 0) {
    SetStatusPart(0, last_status_text_);
    restore_armed_ = false;
  }
}

bool MainWindow::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) != SC_MINIMIZE) return false;
  // Minimising hides the window behind the tray icon.
  AddTrayIcon();
  KeepWindowRect(window_, &window_rect_);
  ShowWindow(window_, SW_HIDE);
  return true;
}

void MainWindow::OnTrayNotification(WPARAM icon_id, LPARAM event) {
  if (icon_id != IDI_TRAY_ENTRY) return;
  if (LOWORD(event) == WM_LBUTTONDBLCLK) OnCommand(IDM_TRAY_SHOW, 0);
  if (LOWORD(event) == WM_RBUTTONDOWN) ShowTrayMenu();
}

void MainWindow::OnDestroy() {
  KillTimer(window_, kStatusTimer);
  for (size_t i = 0; i < std::size(kHotKeys); ++i) {
    if (hot_keys_registered_[i]) UnregisterHotKey(window_, kHotKeys[i].id);
  }
  KeepWindowRect(window_, &window_rect_);
  SaveWindowRect(kRectSection, window_rect_);
  PostQuitMessage(0);
  // Stream server, command server (saves, "SHUTDOWN"), mouse remote.
  runtime_->Shutdown();
  runtime_->SetWindowCommandHandler(nullptr);
  runtime_->SetKeyboardFocusHandler(nullptr);
  RemoveTrayIcon();
  window_ = nullptr;
}

void MainWindow::LoadRows() {
  const S_CONFIG config = runtime_->settings().Copy();
  for (int row = 0; row < kChannelCount; ++row) {
    const ChannelRowIds& ids = kChannelRowIds[row];
    const S_CONFIG_CH& channel = config.channel[row];
    SetDlgItemTextW(window_, ids.path_edit, Widen(channel.pcPath).c_str());
    const int entry = EntryOfType(channel.iType);
    if (entry < 0) continue;  // an unknown type leaves the row as it is
    SendDlgItemMessageW(window_, ids.type_combo, CB_SETCURSEL, entry, 0);
    ShowRowState(row);
  }
}

void MainWindow::ReadRows() {
  for (int row = 0; row < kChannelCount; ++row) {
    const ChannelRowIds& ids = kChannelRowIds[row];
    S_CONFIG_CH channel = runtime_->settings().Channel(row);
    channel.pcPath = ControlText(window_, ids.path_edit);
    const LRESULT entry = SendDlgItemMessageW(window_, ids.type_combo, CB_GETCURSEL, 0, 0);
    if (entry >= 0 && entry < static_cast<LRESULT>(kChannelEntries.size())) {
      channel.iType = kChannelEntries[entry].channel_type;
    }
    runtime_->settings().SetChannel(row, channel);
  }
}

void MainWindow::ShowRowState(int row) {
  const ChannelRowIds& ids = kChannelRowIds[row];
  const LRESULT selected = SendDlgItemMessageW(window_, ids.type_combo, CB_GETCURSEL, 0, 0);
  if (selected < 0 || selected >= static_cast<LRESULT>(kChannelEntries.size())) return;
  const ChannelEntry& entry = kChannelEntries[selected];
  EnableWindow(GetDlgItem(window_, ids.path_edit), entry.path_enabled);
  EnableWindow(GetDlgItem(window_, ids.pick_button), entry.path_enabled);
  EnableWindow(GetDlgItem(window_, ids.edit_button), entry.edit_enabled);
}

void MainWindow::PickRowPath(int row) {
  const ChannelRowIds& ids = kChannelRowIds[row];
  const LRESULT selected = SendDlgItemMessageW(window_, ids.type_combo, CB_GETCURSEL, 0, 0);
  if (selected < 0 || selected >= static_cast<LRESULT>(kChannelEntries.size())) return;
  const ChannelEntry& entry = kChannelEntries[selected];
  if (!entry.path_enabled) return;
  std::string path = ControlText(window_, ids.path_edit);
  bool chosen;
  if (entry.picks_list_file) {
    chosen = PickFile(window_, &path, FileFilter::kPlaylist);
  } else {
    if (path.empty()) path = ProgramFolder();
    chosen = PickFolder(window_, false, &path);
  }
  if (chosen) SetDlgItemTextW(window_, ids.path_edit, Widen(path).c_str());
}

void MainWindow::Apply() {
  ReadRows();
  runtime_->ApplySettings();
  runtime_->settings().Save();
}

void MainWindow::ShowAddresses() {
  std::string text;
  for (const std::string& address : platform::LocalIpv4Addresses()) text += address + "\r\n";
  SetDlgItemTextW(window_, IDC_SERVER_ADDRESS, Widen(text).c_str());
}

void MainWindow::CreateStatusBar() {
  status_bar_ =
      CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                      reinterpret_cast<HMENU>(IDC_STATUS_BAR), instance_, nullptr);
  if (status_bar_ == nullptr) return;
  int right_edges[2] = {300, 1100};
  SendMessageW(status_bar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(right_edges));
  ShowWindow(status_bar_, SW_SHOW);
}

void MainWindow::SetStatusPart(int part, const std::string& text) {
  if (status_bar_ == nullptr) return;
  SendMessageW(status_bar_, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void MainWindow::AddTrayIcon() {
  if (tray_shown_) return;
  tray_data_ = {};
  tray_data_.cbSize = sizeof tray_data_;
  tray_data_.hWnd = window_;
  tray_data_.uID = IDI_TRAY_ENTRY;
  tray_data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray_data_.uCallbackMessage = kTrayMessage;
  for (const TrayIcon& entry : tray_icons_) {
    if (entry.id == tray_icon_id_) tray_data_.hIcon = entry.icon;
  }
  lstrcpynW(tray_data_.szTip, Widen(kProductName).c_str(), ARRAYSIZE(tray_data_.szTip));
  tray_shown_ = Shell_NotifyIconW(NIM_ADD, &tray_data_);
}

void MainWindow::RemoveTrayIcon() {
  if (!tray_shown_) return;
  Shell_NotifyIconW(NIM_DELETE, &tray_data_);
  tray_shown_ = false;
}

void MainWindow::ShowTrayMenu() {
  HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAY_MENU));
  if (menu == nullptr) return;
  POINT cursor;
  GetCursorPos(&cursor);
  // The menu must own the foreground, or it stays open when the user
  // clicks elsewhere.
  SetForegroundWindow(window_);
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, window_, nullptr);
  PostMessageW(window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

}  // namespace velmor::ui
