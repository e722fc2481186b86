#include "platform/child_process.h"

namespace velmor::platform {

// The rules CommandLineToArgvW and the C runtime read a command line by:
// backslashes are literal unless a quote follows; then each pair is one
// backslash, and an odd one escapes the quote.
std::string QuoteWindowsArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    return argument;
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  // The closing quote follows, so trailing backslashes are doubled.
  quoted.append(backslashes * 2, '\\');
  quoted.push_back('"');
  return quoted;
}

}  // namespace velmor::platform
