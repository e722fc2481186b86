#include "thumbnail/old_markers.h"

#include <climits>
#include <string>

#include "base/decimal_text.h"
#include "platform/ini_store.h"

namespace velmor {
namespace {

constexpr long long kUnitsPerMs = 10000;

std::string ReadValue(const std::string& path, const std::string& section, const char* key) {
  return platform::ReadIniString(path, section, key, "");
}

bool IsEnabled(std::string_view value) {
  long long number = 0;
  return ParseDecimalInt64(value, &number) && number == 1;
}

}  // namespace

int OldPositionMs(std::string_view value) {
  long long units = 0;
  if (!ParseDecimalInt64(value, &units)) return 0;
  // 64-bit all the way: positions past 3.6 minutes overflow 32 bits.
  const long long ms = units / kUnitsPerMs;
  if (ms < 0) return 0;
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

MarkerSet ReadOldMarkerFile(const std::string& path) {
  MarkerSet markers;
  for (int slot = 0; slot < kMarkerSlots; ++slot) {
    const std::string segment = "ITRM." + std::to_string(slot);
    MarkerSet::Segment& to = markers.segments[static_cast<size_t>(slot)];
    to.enabled = IsEnabled(ReadValue(path, segment, "yEnable")) ? 1 : 0;
    to.a = OldPositionMs(ReadValue(path, segment, "rtA"));
    to.b = OldPositionMs(ReadValue(path, segment, "rtB"));
    const std::string point = "POINT." + std::to_string(slot);
    MarkerSet::Point& at = markers.points[static_cast<size_t>(slot)];
    at.enabled = IsEnabled(ReadValue(path, point, "yEnable")) ? 1 : 0;
    at.a = OldPositionMs(ReadValue(path, point, "rtA"));
  }
  return markers;
}

}  // namespace velmor
