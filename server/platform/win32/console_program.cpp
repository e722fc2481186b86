#include "platform/console_program.h"

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <cstdio>

#include "platform/win32/wide.h"

namespace velmor::platform {

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {};
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

void WriteConsoleText(ConsoleStream stream, std::string_view text) {
  std::FILE* file = stream == ConsoleStream::kOutput ? stdout : stderr;
  const HANDLE handle =
      GetStdHandle(stream == ConsoleStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    std::fflush(file);
    const std::wstring wide = Widen(text);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  // Redirected: the bytes as the C library always wrote them.
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

}  // namespace velmor::platform
