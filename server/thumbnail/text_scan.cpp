#include "thumbnail/text_scan.h"

#include <charconv>
#include <system_error>

namespace velmor {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Characters that can belong to a decimal fraction or to "inf" and "nan".
bool IsFractionChar(char c) {
  if (IsDigit(c)) return true;
  switch (c) {
    case '.':
    case '-':
    case '+':
    case 'e':
    case 'E':
    case 'i':
    case 'I':
    case 'n':
    case 'N':
    case 'f':
    case 'F':
    case 'a':
    case 'A':
      return true;
    default:
      return false;
  }
}

}  // namespace

void TextScanner::SkipBlanks() {
  while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
}

bool TextScanner::Int(int* value) {
  const size_t start = pos_;
  SkipBlanks();
  size_t pos = pos_;
  bool negative = false;
  if (pos < text_.size() && (text_[pos] == '-' || text_[pos] == '+'))
    negative = text_[pos++] == '-';
  if (pos >= text_.size() || !IsDigit(text_[pos])) {
    pos_ = start;
    return false;
  }
  unsigned long long magnitude = 0;
  while (pos < text_.size() && IsDigit(text_[pos])) {
    magnitude = magnitude * 10 + static_cast<unsigned>(text_[pos++] - '0');
  }
  if (negative) magnitude = 0 - magnitude;
  *value = static_cast<int>(magnitude);  // wraps
  pos_ = pos;
  return true;
}

bool TextScanner::Float(float* value) {
  const size_t start = pos_;
  SkipBlanks();
  size_t pos = pos_;
  // from_chars takes no '+'; the C library does.
  if (pos < text_.size() && text_[pos] == '+') ++pos;
  size_t end = pos;
  while (end < text_.size() && IsFractionChar(text_[end])) ++end;
  float parsed = 0;
  const char* first = text_.data() + pos;
  const auto result = std::from_chars(first, text_.data() + end, parsed);
  if (result.ec != std::errc() || result.ptr == first) {
    pos_ = start;
    return false;
  }
  *value = parsed;
  pos_ = static_cast<size_t>(result.ptr - text_.data());
  return true;
}

bool TextScanner::Literal(char c) {
  if (pos_ >= text_.size() || text_[pos_] != c) return false;
  ++pos_;
  return true;
}

int LeadingInt(std::string_view text) {
  int value = 0;
  TextScanner scanner(text);
  return scanner.Int(&value) ? value : 0;
}

}  // namespace velmor
