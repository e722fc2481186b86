// A child process started from an argument vector (never through a shell),
// with its standard output on a pipe and no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmor::platform {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();  // kills a child that still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] is the program's path. Standard input reads nothing; standard
  // error is discarded. The child runs in the working folder, or in ours
  // when none is given; a relative program path or working folder is taken
  // from our current folder, never from the child's. A working folder that
  // does not exist fails the start.
  bool Start(const std::vector<std::string>& argv, const std::string& working_folder = {});

  // Bytes read into the buffer; 0 at the end of the output; -1 when nothing
  // arrived within the time-out or on error.
  int64_t ReadOutput(void* buffer, size_t size, uint32_t timeout_ms);
  // Reads everything until the child closes its output or the time-out ends.
  bool ReadAllOutput(std::string* output, uint32_t timeout_ms);

  // True with the exit code when the child ended within the time-out.
  bool Wait(uint32_t timeout_ms, int* exit_code);
  void Kill();
  // Asks the child to stop (SIGTERM) or reload its settings (SIGHUP), as a
  // service manager would. False where the host has no such requests
  // (Windows) or the child has ended.
  bool RequestStop();
  bool RequestReload();
  bool IsRunning() const;

 private:
  void CloseHandles();

  intptr_t process_ = -1;      // pid on POSIX, process handle on Windows
  intptr_t output_pipe_ = -1;  // read end of the child's standard output
  bool finished_ = false;
  int exit_code_ = 0;
};

// How a Windows command line quotes one argument, so that no file name can
// add options or commands. Also used by tests on every host.
std::string QuoteWindowsArgument(const std::string& argument);

}  // namespace velmor::platform
