#include "platform/console_program.h"

#include <cstdio>

namespace velmor::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  if (argc <= 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

void WriteConsoleText(ConsoleStream stream, std::string_view text) {
  std::FILE* file = stream == ConsoleStream::kOutput ? stdout : stderr;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fflush(file);
}

}  // namespace velmor::platform
