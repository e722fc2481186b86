#include "base/decimal_text.h"

namespace velmor {
namespace {

template <typename Int>
bool ParseDecimal(std::string_view text, Int* value) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
    ++pos;
  }
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
  // Like the C library, out-of-range input wraps instead of failing.
  unsigned long long magnitude = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    magnitude = magnitude * 10 + static_cast<unsigned>(text[pos++] - '0');
  }
  if (negative) magnitude = 0 - magnitude;
  *value = static_cast<Int>(magnitude);
  return true;
}

}  // namespace

bool ParseDecimalInt(std::string_view text, int* value) { return ParseDecimal(text, value); }

bool ParseDecimalInt64(std::string_view text, long long* value) {
  return ParseDecimal(text, value);
}

}  // namespace velmor
