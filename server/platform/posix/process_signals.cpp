#include "platform/process_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <mutex>
#include <string>

namespace velmor::platform {
namespace {

std::atomic<bool> stop_pending{false};
std::atomic<bool> reload_pending{false};
// Written by the handler to wake a waiter; both ends non-blocking, so the
// handler never blocks and a full pipe only drops wake-ups already pending.
int wake_pipe[2] = {-1, -1};

void OnSignal(int signal_number) {
  const int saved_errno = errno;
  if (signal_number == SIGHUP) {
    reload_pending.store(true);
  } else {
    stop_pending.store(true);
  }
  if (wake_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(wake_pipe[1], &byte, 1);
  }
  errno = saved_errno;
}

ProcessSignal TakePending() {
  if (stop_pending.exchange(false)) return ProcessSignal::kStop;
  if (reload_pending.exchange(false)) return ProcessSignal::kReload;
  return ProcessSignal::kNone;
}

void DrainWakePipe() {
  char buffer[64];
  while (read(wake_pipe[0], buffer, sizeof(buffer)) > 0) {
  }
}

}  // namespace

void InstallProcessSignalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) wake_pipe[0] = wake_pipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A client that drops its connection must cost an error code, not the
    // process.
    signal(SIGPIPE, SIG_IGN);
  });
}

ProcessSignal WaitProcessSignal(unsigned timeout_ms) {
  ProcessSignal pending = TakePending();
  if (pending != ProcessSignal::kNone) return pending;
  const int timeout =
      timeout_ms > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(timeout_ms);
  if (wake_pipe[0] < 0) {
    poll(nullptr, 0, timeout);
    return TakePending();
  }
  pollfd entry{wake_pipe[0], POLLIN, 0};
  // An interrupted poll usually means our own signal arrived: look again.
  if (poll(&entry, 1, timeout) > 0) DrainWakePipe();
  return TakePending();
}

int CurrentProcessId() { return static_cast<int>(getpid()); }

namespace {

std::string ProgramOf(const std::string& process) {
  char target[PATH_MAX];
  const ssize_t length = readlink(("/proc/" + process + "/exe").c_str(), target, sizeof target);
  return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

}  // namespace

bool IsCopyRunning(int process_id) {
  if (process_id <= 0 || process_id == static_cast<int>(getpid())) return false;
  // A process id left in a file may since belong to another program.
  const std::string program = ProgramOf(std::to_string(process_id));
  return !program.empty() && program == ProgramOf("self");
}

bool RequestReloadOfCopy(int process_id) {
  // Another program under a reused id would end at a hang-up.
  if (!IsCopyRunning(process_id)) return false;
  return kill(static_cast<pid_t>(process_id), SIGHUP) == 0;
}

}  // namespace velmor::platform
