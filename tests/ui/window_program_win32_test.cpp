// VelmorVRServer.exe as the user meets it: started from a folder of its own
// (its settings file beside it), its main window found among the desktop's
// windows and worked with the messages a user's clicks and keys make, a
// player served over 127.0.0.1, and the settings file read afterwards.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "platform/socket.h"
#include "platform/win32/wide.h"
#include "player_client.h"
#include "test_support.h"

namespace velmor {
namespace {

using platform::Narrow;
using platform::Widen;

constexpr uint32_t kWaitMs = 60000;  // a first start of Wine in a prefix is slow
constexpr wchar_t kTitle[] = L"VelmorVR Server Ver2.21 (Oct 23 2022)";
// The tray icon's messages as the main window receives them.
constexpr UINT kTrayMessage = WM_APP + 1;
constexpr WPARAM kTrayIconId = 40001;

uint16_t FreeTcpPort() {
  platform::Socket probe;
  EXPECT_TRUE(probe.ListenTcp(0, 1));
  return probe.LocalPort();
}

bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// One run of the program from a copy in the test's folder.
class WindowProgram {
 public:
  explicit WindowProgram(const std::string& program) : program_(program) {}
  ~WindowProgram() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }

  bool Start() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring command_line = L"\"" + Widen(program_) + L"\"";
    return CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process_);
  }

  // The program's top-level window with this title (the main window by
  // default) once it exists.
  HWND WaitForWindow(const wchar_t* title = kTitle) {
    title_ = title;
    window_ = nullptr;
    WaitUntil([this] {
      EnumWindows(&Collect, reinterpret_cast<LPARAM>(this));
      return window_ != nullptr;
    });
    return window_;
  }

  bool WaitForExit(DWORD* exit_code) {
    if (WaitForSingleObject(process_.hProcess, kWaitMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.hProcess, exit_code);
  }

 private:
  static BOOL CALLBACK Collect(HWND window, LPARAM data) {
    auto* self = reinterpret_cast<WindowProgram*>(data);
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    wchar_t title[128] = {};
    GetWindowTextW(window, title, 128);
    if (process_id != self->process_.dwProcessId || title != self->title_ ||
        !IsWindowVisible(window)) {
      return TRUE;
    }
    self->window_ = window;
    return FALSE;
  }

  std::string program_;
  PROCESS_INFORMATION process_ = {};
  std::wstring title_;
  HWND window_ = nullptr;
};

// A choice in a row's type combo, as the user's pick reaches the window.
void ChooseEntry(HWND window, int combo_id, int entry) {
  HWND combo = GetDlgItem(window, combo_id);
  SendMessageW(combo, CB_SETCURSEL, entry, 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(combo_id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

void TypeText(HWND window, int edit_id, const std::wstring& text) {
  SendDlgItemMessageW(window, edit_id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND window, int button_id) {
  SendMessageW(GetDlgItem(window, button_id), BM_CLICK, 0, 0);
}

void PressHotKey(WORD key) {
  const WORD keys[] = {VK_CONTROL, VK_SHIFT, VK_MENU, key};
  INPUT inputs[8] = {};
  for (int i = 0; i < 4; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = keys[i];
    inputs[7 - i].type = INPUT_KEYBOARD;
    inputs[7 - i].ki.wVk = keys[i];
    inputs[7 - i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  SendInput(8, inputs, sizeof(INPUT));
}

bool Enabled(HWND window, int id) { return IsWindowEnabled(GetDlgItem(window, id)); }

RECT WindowRectOf(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  return r;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, &bytes));
  return bytes;
}

// A control's text; WM_GETTEXT is carried across processes.
std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

// The visible popup menu of a thread, once it shows.
HWND WaitForPopupMenu(DWORD thread_id) {
  HWND found = nullptr;
  WaitUntil([&] {
    HWND menu = nullptr;
    while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
      if (IsWindowVisible(menu) && GetWindowThreadProcessId(menu, nullptr) == thread_id) {
        found = menu;
        return true;
      }
    }
    return false;
  });
  return found;
}

class WindowProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path built = platform::ExecutableFolder();
    for (const char* name : {"VelmorVRServer.exe", "Pivra.dll", "Tarnwick.dll"}) {
      std::filesystem::copy_file(built / name, std::filesystem::path(home_.path()) / name);
    }
    program_ = home_.Join("VelmorVRServer.exe");
    ini_ = home_.Join("VelmorVRServer.ini");
    command_port_ = FreeTcpPort();
    ASSERT_TRUE(platform::CreateUtf16File(ini_));
    ASSERT_TRUE(
        platform::WriteIniString(ini_, "Config", "iPortServer", std::to_string(command_port_)));
    ASSERT_TRUE(
        platform::WriteIniString(ini_, "Config", "iPortHttp", std::to_string(FreeTcpPort())));
  }

  std::string Ini(const std::string& section, const std::string& key) {
    return platform::ReadIniString(ini_, section, key, "");
  }

  test::TempFolder home_;
  std::string program_;
  std::string ini_;
  uint16_t command_port_ = 0;
};

TEST_F(WindowProgramTest, ServesAPlayerAndKeepsWhatTheUserSetsInItsWindow) {
  // A window last closed on a monitor that is gone.
  for (const auto& [key, value] : {std::pair{"mrcWnd.rcLeft", 6000},
                                   {"mrcWnd.rcTop", 5000},
                                   {"mrcWnd.rcRight", 6600},
                                   {"mrcWnd.rcBottom", 5400}}) {
    ASSERT_TRUE(platform::WriteIniString(ini_, "cdlgMain", key, std::to_string(value)));
  }

  WindowProgram first(program_);
  ASSERT_TRUE(first.Start());
  HWND window = first.WaitForWindow();
  ASSERT_NE(window, nullptr);

  // It opens centred on the primary work area instead.
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // The window has its title a moment before the dialog places it.
  RECT placed = {};
  WaitUntil([&] {
    placed = WindowRectOf(window);
    return std::abs((placed.left + placed.right) - (work.left + work.right)) <= 2 &&
           std::abs((placed.top + placed.bottom) - (work.top + work.bottom)) <= 2;
  });
  EXPECT_LE(std::abs((placed.left + placed.right) - (work.left + work.right)), 2);
  EXPECT_LE(std::abs((placed.top + placed.bottom) - (work.top + work.bottom)), 2);

  // It serves a player; Ctrl+Shift+Alt+S puts the player off.
  player::PlayerClient client;
  std::string error;
  // The window has its title a moment before the servers listen.
  ASSERT_TRUE(WaitUntil([&] {
    return client.Connect(platform::Ipv4Address::Loopback(), command_port_, 1000, &error);
  })) << error;
  client.set_timeout_ms(kWaitMs);
  ASSERT_TRUE(client.Handshake({}).Admitted());
  PressHotKey('S');
  EXPECT_FALSE(client.ReceivePacket(kWaitMs, &error).has_value());
  EXPECT_EQ(error, "the server closed the connection");

  // The rows follow the type chosen in their combo: "VRデバイス" (entry 0)
  // turns row 2's path and both buttons off, "PCフォルダ" (entry 1) leaves
  // only "編集" off.
  ChooseEntry(window, 1049, 0);
  EXPECT_FALSE(Enabled(window, 1007));
  EXPECT_FALSE(Enabled(window, 1010));
  EXPECT_FALSE(Enabled(window, 1040));
  ChooseEntry(window, 1050, 1);
  EXPECT_TRUE(Enabled(window, 1009));
  EXPECT_TRUE(Enabled(window, 1011));
  EXPECT_FALSE(Enabled(window, 1041));

  // "適用" writes the rows into the settings file.
  TypeText(window, 1024, L"D:\\Videos\\日本語");
  Click(window, 1004);
  EXPECT_EQ(Ini("ch.0", "pcPath"), "D:\\Videos\\日本語");
  EXPECT_EQ(Ini("ch.1", "iType"), "1");
  EXPECT_EQ(Ini("ch.2", "iType"), "0");

  // Minimising hides the window behind the tray icon; a double click on
  // the icon brings it back.
  SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_FALSE(IsIconic(window));
  SendMessageW(window, kTrayMessage, kTrayIconId, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(IsWindowVisible(window));

  // The close box quits without taking the rows edited since.
  TypeText(window, 1018, L"not-applied.vrl");
  PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD exit_code = 0;
  ASSERT_TRUE(first.WaitForExit(&exit_code));
  EXPECT_EQ(exit_code, 1u);
  EXPECT_EQ(Ini("ch.3", "pcPath"), "ch4.vrl");
  // Where it was is kept for the next start.
  EXPECT_EQ(std::stoi(Ini("cdlgMain", "mrcWnd.rcLeft")), placed.left);
  EXPECT_EQ(std::stoi(Ini("cdlgMain", "mrcWnd.rcTop")), placed.top);

  // The next start opens there; "終了" applies the rows before it quits.
  ASSERT_TRUE(platform::WriteIniString(ini_, "cdlgMain", "mrcWnd.rcLeft", "10"));
  ASSERT_TRUE(platform::WriteIniString(ini_, "cdlgMain", "mrcWnd.rcTop", "20"));
  WindowProgram second(program_);
  ASSERT_TRUE(second.Start());
  window = second.WaitForWindow();
  ASSERT_NE(window, nullptr);
  WaitUntil([&] { return WindowRectOf(window).left == 10 && WindowRectOf(window).top == 20; });
  EXPECT_EQ(WindowRectOf(window).left, 10);
  EXPECT_EQ(WindowRectOf(window).top, 20);
  EXPECT_FALSE(Enabled(window, 1007));  // row 2 is still a VR device
  TypeText(window, 1018, L"applied.vrl");
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(1032, BN_CLICKED), 0);
  ASSERT_TRUE(second.WaitForExit(&exit_code));
  EXPECT_EQ(exit_code, 1u);
  EXPECT_EQ(Ini("ch.3", "pcPath"), "applied.vrl");
}

// The settings dialog from the main window's "設定" button: it shows the
// settings, Cancel leaves the file as it was, OK stores what the fields hold
// (a cleared port as 0) and the picked data table file relative to the
// program folder; a port of 0 is named in the status bar at the next start,
// and the tray menu's "終了(&Q)" quits as "終了" does.
TEST_F(WindowProgramTest, SettingsDialogStoresOnOkOnlyAndABadPortIsToldAtTheNextStart) {
  ASSERT_TRUE(platform::CreateFolder(home_.Join("data")));
  test::WriteFileOrFail(home_.Join("data\\mine.txt"), "");
  WindowProgram program(program_);
  ASSERT_TRUE(program.Start());
  HWND window = program.WaitForWindow();
  ASSERT_NE(window, nullptr);
  const auto open_settings = [&] {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), 0);
    return program.WaitForWindow(L"設定");
  };
  const auto close_with = [&](HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    return WaitUntil([&] { return !IsWindow(dialog); });
  };

  HWND dialog = open_settings();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetDlgItemInt(dialog, 1034, nullptr, FALSE), command_port_);
  EXPECT_EQ(Narrow(TextOf(GetDlgItem(dialog, 1016))), Ini("File", "pcExt"));
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1042) == BST_CHECKED, Ini("Config", "rw.iUseFFMpeg") == "1");
  ASSERT_TRUE(close_with(dialog, 1002));  // the first close keeps where the dialog was

  const std::string before = FileBytes(ini_);
  dialog = open_settings();
  ASSERT_NE(dialog, nullptr);
  TypeText(dialog, 1016, L"edited");
  TypeText(dialog, 1032, L"");
  ASSERT_TRUE(close_with(dialog, 1002));
  EXPECT_EQ(FileBytes(ini_), before);

  dialog = open_settings();
  ASSERT_NE(dialog, nullptr);
  TypeText(dialog, 1016, L"mp4 mkv 動画");
  TypeText(dialog, 1032, L"");
  TypeText(dialog, 1014, L"-5");
  TypeText(dialog, 1035, L"なし");  // not a number
  Click(dialog, 1037);
  // "ファイル" opens the file picker at the data table's folder.
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1003, BN_CLICKED), 0);
  HWND picker = program.WaitForWindow(L"ファイル選択");
  ASSERT_NE(picker, nullptr);
  std::wstring chosen = Widen(home_.Join("data\\mine.txt"));
  std::replace(chosen.begin(), chosen.end(), L'/', L'\\');
  for (int name_field : {0x47c, 0x480}) {  // the explorer and the old style file name field
    SetDlgItemTextW(picker, name_field, chosen.c_str());
  }
  PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(dialog, 1052)) == L"data\\mine.txt"; }))
      << Narrow(TextOf(GetDlgItem(dialog, 1052)));
  ASSERT_TRUE(close_with(dialog, 1001));
  EXPECT_EQ(Ini("File", "pcExt"), "mp4 mkv 動画");
  EXPECT_EQ(Ini("Config", "iPortHttp"), "0");
  EXPECT_EQ(Ini("Config", "iLiveTimeOutSec"), "-5");
  EXPECT_EQ(Ini("Config", "iUseMouseScale"), "0");
  EXPECT_EQ(Ini("Config", "iServerLog"), "1");
  EXPECT_EQ(Ini("File", "pcDataTablePath"), "data\\mine.txt");
  EXPECT_NE(Ini("cdlgConfig", "mrcWnd.rcRight"), "0");

  // Right-click on the tray icon, then "Q" in its menu.
  SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  PostMessageW(window, kTrayMessage, kTrayIconId, WM_RBUTTONDOWN);
  HWND menu = WaitForPopupMenu(GetWindowThreadProcessId(window, nullptr));
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_KEYDOWN, 'Q', 0);
  PostMessageW(menu, WM_CHAR, 'q', 0);
  DWORD exit_code = 0;
  ASSERT_TRUE(program.WaitForExit(&exit_code));
  EXPECT_EQ(exit_code, 1u);

  // The HTTP port 0 stays closed; the status bar says why.
  WindowProgram next(program_);
  ASSERT_TRUE(next.Start());
  window = next.WaitForWindow();
  ASSERT_NE(window, nullptr);
  HWND status_bar = GetDlgItem(window, 100);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(status_bar) == L"ポートを開けません: 動画用 0"; }))
      << Narrow(TextOf(status_bar));
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(1032, BN_CLICKED), 0);
  ASSERT_TRUE(next.WaitForExit(&exit_code));
}

}  // namespace
}  // namespace velmor
