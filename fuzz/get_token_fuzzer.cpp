// Arbitrary bytes as a line of a list, tag or word file: walking its tokens
// must end, never read outside the line, and every token must be a piece of
// the line without quotes, blanks or line ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/get_token.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  size_t position = 0;
  std::string token;
  size_t next = 0;
  int tokens = 0;
  while (position <= line.size() && velmor::GetToken(line.substr(position), 1, &token, &next)) {
    if (next == 0 || position + next > line.size()) abort();  // no progress, or past the end
    if (token.find_first_of("\"\n") != std::string::npos) abort();
    position += next;
    if (++tokens > static_cast<int>(size) + 1) abort();
  }
  // The n-th token agrees with walking token by token.
  if (tokens > 0) {
    std::string last;
    if (!velmor::GetToken(line, tokens, &last) || last != token) abort();
  }
  return 0;
}
