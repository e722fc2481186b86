// The positions a record's markers point at, read from the stored "<mark>"
// value: "<t%d>%d,%d" for each A-B segment (slot, start, end) and "<p%d>%d"
// for each point (slot, position), slots 0 to 7. The video frame maker
// seeks near them, since a marked scene is what the user cares about.
#pragma once

#include <string_view>
#include <vector>

namespace velmor {

inline constexpr int kMarkerSlots = 8;

// The start of every segment that has both ends and the position of every
// point, in the order they stand; damaged entries are skipped.
std::vector<int> MarkerPositions(std::string_view mark_value);

}  // namespace velmor
