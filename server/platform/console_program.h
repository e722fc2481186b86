// The edge of a console program: its arguments and the text it writes for
// the person watching. Both are UTF-8 inside the program. On Windows the
// arguments come from the wide command line (the narrow argv holds only the
// ANSI code page, so a Japanese folder name would arrive as "???"), and a
// console window gets the text as UTF-16, whatever its code page; a file or
// pipe gets the UTF-8 bytes as before.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmor::platform {

// The arguments after the program's own name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

enum class ConsoleStream { kOutput, kError };
// Writes the text (with its line ends) and flushes it.
void WriteConsoleText(ConsoleStream stream, std::string_view text);

}  // namespace velmor::platform
