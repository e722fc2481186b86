#include "base/get_token.h"

namespace velmor {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool AtLineEnd(std::string_view line, size_t pos) {
  if (pos >= line.size() || line[pos] == '\n') return true;
  return line[pos] == '\r' && pos + 1 < line.size() && line[pos + 1] == '\n';
}

// Reads one token starting at pos; returns the position after it.
size_t ReadToken(std::string_view line, size_t pos, std::string* token) {
  token->clear();
  bool quoted = false;
  for (; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if ((!quoted && IsBlank(c)) || AtLineEnd(line, pos)) break;
    if (c == '\r') continue;  // a CR without its LF is dropped
    token->push_back(c);
  }
  return pos;
}

}  // namespace

bool GetToken(std::string_view line, int n, std::string* token, size_t* next_position) {
  size_t pos = 0;
  std::string text;
  for (int index = 1; index <= n; ++index) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (AtLineEnd(line, pos)) return false;
    pos = ReadToken(line, pos, &text);
  }
  if (n < 1) return false;
  *token = std::move(text);
  if (next_position != nullptr) *next_position = pos;
  return true;
}

std::string TokenAt(std::string_view line, int n) {
  std::string token;
  GetToken(line, n, &token);
  return token;
}

}  // namespace velmor
