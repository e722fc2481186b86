#include "stream/http_request.h"

#include <limits>

namespace velmor {
namespace {

constexpr int64_t kHuge = std::numeric_limits<int64_t>::max();

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal digits at the front of the text; numbers too large for 64 bits
// become kHuge. Nothing when the text does not start with a digit.
std::optional<int64_t> LeadingNumber(std::string_view text) {
  if (text.empty() || !IsDigit(text.front())) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) break;
    const int digit = c - '0';
    if (value > (kHuge - digit) / 10) return kHuge;
    value = value * 10 + digit;
  }
  return value;
}

// "bytes=START-..." or "bytes=-LENGTH"; anything else is not understood and
// the whole file is sent.
std::optional<ByteRange> ParseRange(std::string_view value) {
  const size_t bytes = value.find("bytes=");
  if (bytes == std::string_view::npos) return std::nullopt;
  std::string_view range_text = value.substr(bytes + 6);
  while (!range_text.empty() && range_text.front() == ' ') range_text.remove_prefix(1);
  if (!range_text.empty() && range_text.front() == '-') {
    const auto length = LeadingNumber(range_text.substr(1));
    return length ? std::optional(ByteRange::Suffix(*length)) : std::nullopt;
  }
  const auto start = LeadingNumber(range_text);
  return start ? std::optional(ByteRange::From(*start)) : std::nullopt;
}

// The target of "GET <target> HTTP/1.1", without its first slash.
std::optional<std::string> GetTarget(std::string_view request_line) {
  if (request_line.substr(0, 4) != "GET ") return std::nullopt;
  std::string_view target = request_line.substr(4);
  target = target.substr(0, target.find(' '));
  if (!target.empty() && target.front() == '/') target.remove_prefix(1);
  return std::string(target);
}

}  // namespace

int64_t ByteRange::StartFor(int64_t file_size) const {
  if (!suffix_) return value_;
  return value_ >= file_size ? 0 : file_size - value_;
}

std::optional<HttpRequest> ParseHttpRequest(std::string_view header_block) {
  size_t line_end = header_block.find("\r\n");
  if (line_end == std::string_view::npos) return std::nullopt;
  auto target = GetTarget(header_block.substr(0, line_end));
  if (!target) return std::nullopt;
  HttpRequest request;
  request.target = std::move(*target);
  // Header lines up to the empty line (or the last complete line).
  for (size_t start = line_end + 2;; start = line_end + 2) {
    line_end = header_block.find("\r\n", start);
    if (line_end == std::string_view::npos || line_end == start) break;
    const std::string_view line = header_block.substr(start, line_end - start);
    if (StartsWithNoCase(line, "Range:")) request.range = ParseRange(line.substr(6));
  }
  return request;
}

RequestTarget SplitRequestTarget(std::string_view target) {
  RequestTarget result;
  const size_t question = target.find('?');
  result.path = target.substr(0, question);
  if (question == std::string_view::npos) return result;
  const std::string_view query = target.substr(question + 1);
  const size_t key = query.find("stream=");
  if (key == std::string_view::npos) return result;
  // Read as the player's own server did: no digits count as 0, a sign or a
  // number beyond any slot as no slot.
  const std::string_view value = query.substr(key + 7);
  if (value.size() > 1 && value.front() == '-' && IsDigit(value[1])) {
    result.stream = -1;
    return result;
  }
  const auto number = LeadingNumber(value);
  if (!number) return result;
  result.stream = *number <= std::numeric_limits<int>::max() ? static_cast<int>(*number) : -1;
  return result;
}

}  // namespace velmor
