// The main window (dialog 101): the channel table, the PC's addresses, the
// buttons, the status bar, the three hot keys and the tray icon. Its
// creation starts the servers through the runtime; its destruction shuts
// them down and ends the message loop.
#pragma once

#include <string>

#include <windows.h>

#include <shellapi.h>

#include "core/window_rect.h"

namespace velmor {
class ServerRuntime;
}

namespace velmor::ui {

class MainWindow {
 public:
  // The runtime comes with its settings loaded; it outlives the window.
  MainWindow(HINSTANCE instance, ServerRuntime* runtime);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the modeless dialog (and so starts the servers); false when the
  // window cannot be created.
  bool Create();
  HWND window() const { return window_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void OnInitDialog();
  void OnCommand(int id, int notification);
  void OnTimer();
  bool OnSysCommand(WPARAM command);
  void OnTrayNotification(WPARAM icon_id, LPARAM event);
  void OnDestroy();

  void LoadRows();
  void ReadRows();
  void ShowRowState(int row);
  void PickRowPath(int row);
  void Apply();

  void ShowAddresses();
  void CreateStatusBar();
  void SetStatusPart(int part, const std::string& text);
  void AddTrayIcon();
  void RemoveTrayIcon();
  void ShowTrayMenu();

  HINSTANCE instance_;
  ServerRuntime* runtime_;
  HWND window_ = nullptr;
  HWND status_bar_ = nullptr;
  WindowRect window_rect_;
  std::string last_status_text_;  // status-bar part 0 as the last event set it
  DWORD restore_deadline_ = 0;    // when part 0 gets the last event's text back
  bool restore_armed_ = true;
  bool hot_keys_registered_[3] = {};
  // The tray icon: shown or not, its two-entry icon table, the entry in use.
  bool tray_shown_ = false;
  struct TrayIcon {
    int id;
    HICON icon;
  };
  TrayIcon tray_icons_[2] = {};
  int tray_icon_id_ = 0;
  NOTIFYICONDATAW tray_data_ = {};
};

// The tray icon's callback message. WM_USER is the dialog manager's own
// DM_GETDEFID, so the icon reports on a message of the application range.
inline constexpr UINT kTrayMessage = WM_APP + 1;

}  // namespace velmor::ui
