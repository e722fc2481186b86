// The host's natural string order, the one Windows Explorer sorts file names
// by (StrCmpLogicalW): runs of the digits 0-9 compare by their numeric value,
// every other UTF-16 unit compares one by one, case-insensitively, by the
// weight Windows' Japanese locale gives it. Both hosts use this portable
// implementation, so a listing comes out in the same order on Linux, on
// Windows and whatever the PC's own locale is.
#pragma once

#include <string_view>

namespace velmor::platform {

// -1, 0 or 1 as a orders before, with or after b. A text ends at its first
// NUL unit, as the Windows function sees it. Digit runs of any length
// compare by value (32-bit readers of the run would wrap past 2147483647);
// runs of equal value, such as "01" and "1", compare equal and the
// comparison goes on after them.
int CompareLogical(std::u16string_view a, std::u16string_view b);

}  // namespace velmor::platform
