#include "platform/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/clock.h"
#include "platform/file_system.h"

extern char** environ;

namespace velmor::platform {
namespace {

constexpr int kKilledExitCode = 128 + SIGKILL;  // what a shell reports

int ExitCodeFromStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Attributes for a child that starts clean: no blocked signals, default
// handling of the ones this server ignores or catches, and its own process
// group so a Ctrl+C at the terminal reaches only the server, which then
// ends its children itself.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes_, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal_number : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) {
      sigaddset(&defaults, signal_number);
    }
    posix_spawnattr_setsigdefault(&attributes_, &defaults);
    posix_spawnattr_setpgroup(&attributes_, 0);
    posix_spawnattr_setflags(
        &attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

// Standard input and error on /dev/null, standard output on the pipe, and
// the working folder, when there is one, as the current folder. A working
// folder that cannot be entered makes the spawn fail.
class SpawnFileActions {
 public:
  SpawnFileActions(int pipe_write_end, const std::string& working_folder) {
    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions_, pipe_write_end, 1);
    posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0);
    if (!working_folder.empty()) {
      ok_ = posix_spawn_file_actions_addchdir_np(&actions_, working_folder.c_str()) == 0;
    }
  }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  bool ok() const { return ok_; }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool ok_ = true;
};

// The child looks for its program only once it is in its working folder: a
// relative path ("tools/ffmpeg") is made absolute from ours first. A bare
// name is looked for on PATH either way.
std::string ProgramPath(const std::string& program, const std::string& working_folder) {
  if (working_folder.empty() || program[0] == '/' || program.find('/') == std::string::npos) {
    return program;
  }
  return CurrentFolder() + "/" + program;
}

// What is left of a time-out that began at start.
uint32_t RemainingMs(uint32_t start, uint32_t timeout_ms) {
  const int32_t elapsed = TickDiff(TickCount(), start);
  if (elapsed <= 0) return timeout_ms;
  return static_cast<uint32_t>(elapsed) >= timeout_ms ? 0
                                                      : timeout_ms - static_cast<uint32_t>(elapsed);
}

int PollTimeout(uint32_t timeout_ms) {
  return timeout_ms > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(timeout_ms);
}

}  // namespace

ChildProcess::~ChildProcess() {
  Kill();
  CloseHandles();
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& working_folder) {
  Kill();
  CloseHandles();
  finished_ = false;
  exit_code_ = 0;
  if (argv.empty() || argv[0].empty()) return false;

  // Both ends close on exec; dup2 gives the child a standard output without
  // the flag, and no other child inherits either end.
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return false;

  const std::string program = ProgramPath(argv[0], working_folder);
  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  pid_t pid = -1;
  int result = EINVAL;
  {
    const SpawnFileActions actions(pipe_ends[1], working_folder);
    const SpawnAttributes attributes;
    if (actions.ok()) {
      result = posix_spawnp(&pid, program.c_str(), actions.get(), attributes.get(),
                            arguments.data(), environ);
    }
  }
  close(pipe_ends[1]);
  if (result != 0) {
    close(pipe_ends[0]);
    return false;
  }
  process_ = pid;
  output_pipe_ = pipe_ends[0];
  return true;
}

int64_t ChildProcess::ReadOutput(void* buffer, size_t size, uint32_t timeout_ms) {
  if (output_pipe_ < 0) return -1;
  const int fd = static_cast<int>(output_pipe_);
  pollfd entry{fd, POLLIN, 0};
  const uint32_t start = TickCount();
  int ready;
  do {
    ready = poll(&entry, 1, PollTimeout(RemainingMs(start, timeout_ms)));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return -1;
  ssize_t got;
  do {
    got = read(fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

bool ChildProcess::ReadAllOutput(std::string* output, uint32_t timeout_ms) {
  const uint32_t start = TickCount();
  char buffer[16384];
  for (;;) {
    const int64_t got = ReadOutput(buffer, sizeof(buffer), RemainingMs(start, timeout_ms));
    if (got == 0) return true;
    if (got < 0) return false;
    output->append(buffer, static_cast<size_t>(got));
  }
}

bool ChildProcess::Wait(uint32_t timeout_ms, int* exit_code) {
  if (process_ < 0) return false;
  const pid_t pid = static_cast<pid_t>(process_);
  const uint32_t start = TickCount();
  uint32_t pause_ms = 1;
  while (!finished_) {
    int status = 0;
    const pid_t result = waitpid(pid, &status, WNOHANG);
    if (result == pid) {
      finished_ = true;
      exit_code_ = ExitCodeFromStatus(status);
      break;
    }
    if (result < 0 && errno != EINTR) return false;
    const uint32_t left = RemainingMs(start, timeout_ms);
    if (left == 0) return false;
    // No portable way to wait for one child with a time-out: poll, backing
    // off to 10 ms so a long wait costs almost nothing.
    SleepMs(std::min(pause_ms, left));
    pause_ms = std::min<uint32_t>(pause_ms * 2, 10);
  }
  if (exit_code != nullptr) *exit_code = exit_code_;
  return true;
}

void ChildProcess::Kill() {
  if (process_ < 0 || finished_) return;
  const pid_t pid = static_cast<pid_t>(process_);
  kill(pid, SIGKILL);
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  finished_ = true;
  exit_code_ = result == pid ? ExitCodeFromStatus(status) : kKilledExitCode;
}

bool ChildProcess::RequestStop() {
  if (process_ < 0 || finished_) return false;
  return kill(static_cast<pid_t>(process_), SIGTERM) == 0;
}

bool ChildProcess::RequestReload() {
  if (process_ < 0 || finished_) return false;
  return kill(static_cast<pid_t>(process_), SIGHUP) == 0;
}

bool ChildProcess::IsRunning() const {
  if (process_ < 0 || finished_) return false;
  // WNOWAIT looks without reaping, so Wait still gets the exit code.
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(process_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    return false;
  }
  return info.si_pid == 0;
}

void ChildProcess::CloseHandles() {
  if (output_pipe_ >= 0) close(static_cast<int>(output_pipe_));
  output_pipe_ = -1;
  process_ = -1;
}

}  // namespace velmor::platform
