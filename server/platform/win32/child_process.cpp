#include "platform/child_process.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/file_system.h"
#include "platform/win32/wide.h"

namespace velmor::platform {
namespace {

// Matches what a POSIX shell reports for a killed child.
constexpr UINT kKilledExitCode = 137;

HANDLE Handle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }
bool IsValid(intptr_t value) { return value != -1 && value != 0; }

void CloseIfValid(HANDLE* handle) {
  if (*handle != nullptr && *handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = nullptr;
}

std::wstring CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const auto& argument : argv) {
    if (!line.empty()) line += ' ';
    line += QuoteWindowsArgument(argument);
  }
  return Widen(line);
}

// An anonymous pipe cannot be read with a time-out; a named pipe opened for
// overlapped reads can. The write end is a plain handle the child inherits.
bool CreateOutputPipe(HANDLE* read_end, HANDLE* write_end) {
  static std::atomic<uint32_t> counter{0};
  const std::wstring name = L"\\\\.\\pipe\\velmor-child-" + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(counter++) + L"-" +
                            std::to_wstring(GetTickCount());
  *read_end = CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 64 * 1024, 0, nullptr);
  if (*read_end == INVALID_HANDLE_VALUE) {
    *read_end = nullptr;
    return false;
  }
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  *write_end = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (*write_end == INVALID_HANDLE_VALUE) {
    *write_end = nullptr;
    CloseIfValid(read_end);
    return false;
  }
  return true;
}

HANDLE OpenNul(DWORD access) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE handle = CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// Limits what the child inherits to its three standard handles, so it never
// holds the server's other files or sockets open.
class InheritedHandles {
 public:
  explicit InheritedHandles(HANDLE* handles, size_t count) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (size == 0 || !InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
      list_ = nullptr;
      return;
    }
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                   count * sizeof(HANDLE), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(list_);
      list_ = nullptr;
    }
  }
  ~InheritedHandles() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::string storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

struct StandardHandles {
  HANDLE input;
  HANDLE output;
  HANDLE error;
};

// A detached child has no console at all, so no console window can show
// and no console host process is started for it; its standard handles are
// ours to give. A window it opens starts hidden.
bool Spawn(const std::vector<std::string>& argv, const std::string& working_folder,
           StandardHandles standard, PROCESS_INFORMATION* process) {
  HANDLE handles[3] = {standard.input, standard.output, standard.error};
  const InheritedHandles inherited(handles, 3);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = standard.input;
  startup.StartupInfo.hStdOutput = standard.output;
  startup.StartupInfo.hStdError = standard.error;
  DWORD flags = DETACHED_PROCESS;
  if (inherited.get() != nullptr) {
    startup.lpAttributeList = inherited.get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  // A full path is taken as it is; a bare name is searched for.
  const std::wstring application = IsAbsolutePath(argv[0]) ? WidePath(argv[0]) : L"";
  std::wstring command_line = CommandLine(argv);
  // A relative working folder is taken from ours, as is a relative program.
  const std::wstring folder = WidePath(working_folder);
  return CreateProcessW(application.empty() ? nullptr : application.c_str(), command_line.data(),
                        nullptr, nullptr, TRUE, flags, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, process);
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

  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreateOutputPipe(&read_end, &write_end)) return false;
  HANDLE input = OpenNul(GENERIC_READ);
  HANDLE error = OpenNul(GENERIC_WRITE);
  PROCESS_INFORMATION process{};
  const bool started = input != nullptr && error != nullptr &&
                       Spawn(argv, working_folder, {input, write_end, error}, &process);
  // The child has its copies; ours would keep the pipe from ever ending.
  CloseIfValid(&write_end);
  CloseIfValid(&input);
  CloseIfValid(&error);
  if (!started) {
    CloseIfValid(&read_end);
    return false;
  }
  CloseHandle(process.hThread);
  process_ = reinterpret_cast<intptr_t>(process.hProcess);
  output_pipe_ = reinterpret_cast<intptr_t>(read_end);
  return true;
}

int64_t ChildProcess::ReadOutput(void* buffer, size_t size, uint32_t timeout_ms) {
  if (!IsValid(output_pipe_)) return -1;
  const HANDLE pipe = Handle(output_pipe_);
  OVERLAPPED overlapped{};
  overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (overlapped.hEvent == nullptr) return -1;
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  DWORD got = 0;
  BOOL ok = ReadFile(pipe, buffer, wanted, &got, &overlapped);
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    if (WaitForSingleObject(overlapped.hEvent, timeout_ms) != WAIT_OBJECT_0) {
      CancelIoEx(pipe, &overlapped);
    }
    // Also after a cancel: the read may have finished in the meantime, and
    // the buffer must not be written to once we return.
    ok = GetOverlappedResult(pipe, &overlapped, &got, TRUE);
  }
  const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  CloseHandle(overlapped.hEvent);
  if (ok) return got;
  return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : -1;
}

bool ChildProcess::ReadAllOutput(std::string* output, uint32_t timeout_ms) {
  const DWORD start = GetTickCount();
  char buffer[16384];
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    const uint32_t left = elapsed >= timeout_ms ? 0 : timeout_ms - elapsed;
    const int64_t got = ReadOutput(buffer, sizeof(buffer), left);
    if (got == 0) return true;
    if (got < 0) return false;
    output->append(buffer, static_cast<size_t>(got));
  }
}

bool ChildProcess::Wait(uint32_t timeout_ms, int* exit_code) {
  if (!IsValid(process_)) return false;
  if (!finished_) {
    if (WaitForSingleObject(Handle(process_), timeout_ms) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    if (!GetExitCodeProcess(Handle(process_), &code)) return false;
    finished_ = true;
    exit_code_ = static_cast<int>(code);
  }
  if (exit_code != nullptr) *exit_code = exit_code_;
  return true;
}

// A child shares no signal with us, and a detached one has no console that
// a Ctrl+C could reach; the headless host is stopped with Ctrl+C in a
// console of its own.
bool ChildProcess::RequestStop() { return false; }

bool ChildProcess::RequestReload() { return false; }

void ChildProcess::Kill() {
  if (!IsValid(process_) || finished_) return;
  TerminateProcess(Handle(process_), kKilledExitCode);
  // Termination is asynchronous; the child is gone once its handle signals.
  WaitForSingleObject(Handle(process_), 10000);
  DWORD code = kKilledExitCode;
  GetExitCodeProcess(Handle(process_), &code);
  finished_ = true;
  exit_code_ = static_cast<int>(code);
}

bool ChildProcess::IsRunning() const {
  return IsValid(process_) && !finished_ &&
         WaitForSingleObject(Handle(process_), 0) == WAIT_TIMEOUT;
}

void ChildProcess::CloseHandles() {
  if (IsValid(output_pipe_)) CloseHandle(Handle(output_pipe_));
  if (IsValid(process_)) CloseHandle(Handle(process_));
  output_pipe_ = -1;
  process_ = -1;
}

}  // namespace velmor::platform
