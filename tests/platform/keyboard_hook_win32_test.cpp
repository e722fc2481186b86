// The desktop-wide keyboard hook against Windows' own input path: keys sent
// with SendInput pass through the handler, and what it swallows never
// reaches the window that has the focus.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/keyboard_hook.h"

namespace {

using velmor::platform::KeyboardHook;
using velmor::platform::KeyMessage;

std::atomic<int> g_seen_a_down{0};
std::atomic<int> g_seen_a_up{0};
std::atomic<int> g_seen_q{0};

bool SwallowA(uint32_t virtual_key, KeyMessage message) {
  if (virtual_key == 'A') {
    (message == KeyMessage::kDown ? g_seen_a_down : g_seen_a_up)++;
    return true;
  }
  if (virtual_key == 'Q') g_seen_q++;
  return false;
}

void SendKey(WORD virtual_key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = virtual_key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

// A focused window that writes down the keys it receives.
class KeyWindow {
 public:
  KeyWindow() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = Procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"KeyboardHookTestWindow";
    RegisterClassW(&window_class);
    window_ = CreateWindowW(L"KeyboardHookTestWindow", L"keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                            0, 200, 100, nullptr, nullptr, window_class.hInstance, nullptr);
    SetForegroundWindow(window_);
    SetFocus(window_);
  }
  ~KeyWindow() { DestroyWindow(window_); }

  // Pumps messages until the window has received `count` characters or
  // five seconds passed; returns what it received.
  std::string Pump(size_t count) {
    DWORD start = GetTickCount();
    while (received_.size() < count && GetTickCount() - start < 5000) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      Sleep(10);
    }
    return received_;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_KEYDOWN) received_ += static_cast<char>(w);
    return DefWindowProcW(window, message, w, l);
  }

  static inline std::string received_;
  HWND window_ = nullptr;
};

TEST(KeyboardHookWin32, SwallowsWhatTheHandlerTakesUntilRemoved) {
  KeyWindow window;
  window.Pump(0);
  auto hook = KeyboardHook::Install(&SwallowA);
  ASSERT_NE(hook, nullptr);
  SendKey('A');
  SendKey('Q');
  // Q passes through the hook to the window; A was swallowed before it.
  EXPECT_EQ(window.Pump(1), "Q");
  EXPECT_EQ(g_seen_a_down.load(), 1);
  EXPECT_EQ(g_seen_a_up.load(), 1);
  EXPECT_EQ(g_seen_q.load(), 2);

  hook.reset();
  SendKey('A');
  EXPECT_EQ(window.Pump(2), "QA");
  EXPECT_EQ(g_seen_a_down.load(), 1);
}

}  // namespace
