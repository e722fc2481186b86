#include "platform/process_signals.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace velmor::platform {
namespace {

std::atomic<bool> stop_pending{false};
HANDLE wake_event = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      stop_pending.store(true);
      SetEvent(wake_event);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      stop_pending.store(true);
      SetEvent(wake_event);
      // Windows ends the process as soon as this returns; waiting here gives
      // the main thread its few seconds to save and stop. Its exit ends this
      // thread too.
      Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallProcessSignalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    wake_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  });
}

ProcessSignal WaitProcessSignal(unsigned timeout_ms) {
  if (stop_pending.exchange(false)) return ProcessSignal::kStop;
  if (wake_event == nullptr) {
    Sleep(timeout_ms);
  } else {
    WaitForSingleObject(wake_event, timeout_ms);
  }
  return stop_pending.exchange(false) ? ProcessSignal::kStop : ProcessSignal::kNone;
}

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

// A console program has no reload request on Windows.
bool RequestReloadOfCopy(int) { return false; }

bool IsCopyRunning(int) { return false; }

}  // namespace velmor::platform
