// Decimal numbers in text, read the way "%d" reads them.
#pragma once

#include <string_view>

namespace velmor {

// Parses the way "%d" does: blanks, a sign, digits; trailing text is
// ignored. False when no digit follows.
bool ParseDecimalInt(std::string_view text, int* value);
bool ParseDecimalInt64(std::string_view text, long long* value);

}  // namespace velmor
