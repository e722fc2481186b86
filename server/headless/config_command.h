// velmorvr-server [--home DIR] config ...: the settings file edited from a
// shell, for a server without a window. It reads and writes the file as the
// server does (every other key and byte stays as it is) and asks a server
// running with the same home to apply what changed.
#pragma once

#include <string>
#include <vector>

namespace velmor {

// The usage lines of the config subcommands.
extern const char kConfigUsage[];

// Runs "list", "get KEY", "set KEY VALUE" or "channel N TYPE [PATH]" on the
// settings of the program folder (set before); the exit code: 0 done, 1 the
// file cannot be read or written, 2 a wrong command or value.
int RunConfigCommand(const std::vector<std::string>& words);

// The running server's process id is kept in this file beside its settings.
std::string RunningServerFile();
// The process id of a server running with this home, or 0 when none is
// (or none can be told, on Windows).
int RunningServerProcess();

}  // namespace velmor
