// A file's markers: eight A-B repeat segments and eight single points, kept
// in the record's tag text under "<mark>" and sent to the player as two
// texts of tagged fields.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace velmor {

inline constexpr int kMarkerSlots = 8;

struct MarkerSet {
  struct Segment {
    int enabled = 0;
    int a = 0;
    int b = 0;
  };
  struct Point {
    int enabled = 0;
    int a = 0;
  };
  std::array<Segment, kMarkerSlots> segments{};
  std::array<Point, kMarkerSlots> points{};

  bool Any() const;

  // From the player's texts: "<en.N>", "<a.N>" and "<b.N>" per slot (a and b
  // read only when enabled is 1; a missing tag reads 0).
  static MarkerSet FromWire(std::string_view segment_text, std::string_view point_text);
  // The two texts of CM_LOAD_MARKER: "<en.0>%d,<a.0>%d,<b.0>%d," ... and
  // "<en.0>%d,<a.0>%d," ... "<en.7>%d,<a.7>%d".
  std::string SegmentWireText() const;
  std::string PointWireText() const;

  // The "<mark>" value: "<t%d>%d,%d" per enabled segment, then "<p%d>%d" per
  // enabled point, slot by slot.
  std::string StoredText() const;
  static MarkerSet FromStored(std::string_view stored);
};

}  // namespace velmor
