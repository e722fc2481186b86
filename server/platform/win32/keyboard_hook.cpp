#include "platform/keyboard_hook.h"

#include <windows.h>

#include <atomic>
#include <future>
#include <thread>

namespace velmor::platform {
namespace {

// A low-level hook procedure has no context of its own.
std::atomic<KeyboardHook::Handler> g_handler{nullptr};

KeyMessage MessageKind(WPARAM message) {
  switch (message) {
    case WM_KEYDOWN:
      return KeyMessage::kDown;
    case WM_KEYUP:
      return KeyMessage::kUp;
    case WM_SYSKEYDOWN:
      return KeyMessage::kSystemDown;
    default:
      return KeyMessage::kSystemUp;
  }
}

LRESULT CALLBACK HookProcedure(int code, WPARAM message, LPARAM data) {
  KeyboardHook::Handler handler = g_handler.load();
  if (code == HC_ACTION && handler != nullptr) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
    if (handler(key->vkCode, MessageKind(message))) return 1;
  }
  return CallNextHookEx(nullptr, code, message, data);
}

class Win32KeyboardHook : public KeyboardHook {
 public:
  // Starts the hook's thread; false when the hook could not be installed.
  bool Start() {
    std::promise<bool> installed;
    std::future<bool> result = installed.get_future();
    thread_ = std::thread([this, &installed] { Run(installed); });
    if (result.get()) return true;
    thread_.join();
    return false;
  }

  ~Win32KeyboardHook() override {
    if (!thread_.joinable()) return;
    PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
    thread_.join();
  }

 private:
  void Run(std::promise<bool>& installed) {
    MSG message;
    // Makes the thread's message queue, so the quit message can be posted
    // as soon as the hook reports.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    thread_id_ = GetCurrentThreadId();
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, HookProcedure, GetModuleHandleW(nullptr), 0);
    installed.set_value(hook != nullptr);
    if (hook == nullptr) return;
    // The hook is called from this loop.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    UnhookWindowsHookEx(hook);
  }

  std::thread thread_;
  DWORD thread_id_ = 0;
};

}  // namespace

std::unique_ptr<KeyboardHook> KeyboardHook::Install(Handler handler) {
  g_handler.store(handler);
  auto hook = std::make_unique<Win32KeyboardHook>();
  if (!hook->Start()) return nullptr;
  return hook;
}

}  // namespace velmor::platform
