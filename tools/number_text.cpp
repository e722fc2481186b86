#include "number_text.h"

#include <limits>

namespace velmor::player {

std::optional<int64_t> ParseInteger(std::string_view text, int64_t min, int64_t max) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 19) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || value > (std::numeric_limits<int64_t>::max() - 9) / 10) {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace velmor::player
