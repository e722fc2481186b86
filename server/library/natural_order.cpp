#include "library/natural_order.h"

namespace velmor {

int CompareNatural(std::string_view a, std::string_view b) {
  return platform::CompareLogical(Utf8ToUtf16(a), Utf8ToUtf16(b));
}

}  // namespace velmor
