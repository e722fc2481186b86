// Marker files of the older server version (".trm" in the marker folder):
// INI text with the sections "ITRM.0" to "ITRM.7" (A-B segments: "yEnable",
// "rtA", "rtB") and "POINT.0" to "POINT.7" (points: "yEnable", "rtA"), the
// positions in 100 ns units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "library/markers.h"

namespace velmor {

// The markers of an old file, positions in milliseconds. A missing key, or
// a value that is not a number, reads 0; positions that would be negative
// are stored as 0, ones beyond the int range as its largest value. A file
// that cannot be read gives an empty set.
MarkerSet ReadOldMarkerFile(const std::string& path);

// An old position (100 ns units, as the file holds it) in milliseconds.
int OldPositionMs(std::string_view value);

}  // namespace velmor
