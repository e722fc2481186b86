#include "platform/process_signals.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

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

namespace {

// The file name of a process's program, lower-cased; empty when it cannot
// be told.
std::wstring ProgramNameOf(HANDLE process) {
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return {};
  std::wstring name(path, size);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

}  // namespace

bool IsCopyRunning(int process_id) {
  if (process_id <= 0 || static_cast<DWORD>(process_id) == GetCurrentProcessId()) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                               static_cast<DWORD>(process_id));
  if (process == nullptr) return false;
  // A process id left in a file may since belong to another program.
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  const std::wstring name = ProgramNameOf(process);
  CloseHandle(process);
  return running && !name.empty() && name == ProgramNameOf(GetCurrentProcess());
}

}  // namespace velmor::platform
