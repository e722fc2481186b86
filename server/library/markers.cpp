#include "library/markers.h"

#include "base/tagged_fields.h"

namespace velmor {
namespace {

std::string Tag(const char* name, int slot) {
  return std::string("<") + name + "." + std::to_string(slot) + ">";
}

int NumberAfter(std::string_view text, const std::string& tag) {
  int value = 0;
  FindNumber(text, tag, &value);
  return value;
}

}  // namespace

bool MarkerSet::Any() const {
  for (int i = 0; i < kMarkerSlots; ++i) {
    if (segments[i].enabled != 0 || points[i].enabled != 0) return true;
  }
  return false;
}

MarkerSet MarkerSet::FromWire(std::string_view segment_text, std::string_view point_text) {
  MarkerSet set;
  for (int i = 0; i < kMarkerSlots; ++i) {
    Segment& segment = set.segments[i];
    segment.enabled = NumberAfter(segment_text, Tag("en", i));
    if (segment.enabled == 1) {
      segment.a = NumberAfter(segment_text, Tag("a", i));
      segment.b = NumberAfter(segment_text, Tag("b", i));
    }
    Point& point = set.points[i];
    point.enabled = NumberAfter(point_text, Tag("en", i));
    if (point.enabled == 1) point.a = NumberAfter(point_text, Tag("a", i));
  }
  return set;
}

std::string MarkerSet::SegmentWireText() const {
  std::string text;
  for (int i = 0; i < kMarkerSlots; ++i) {
    text += Tag("en", i) + std::to_string(segments[i].enabled) + "," + Tag("a", i) +
            std::to_string(segments[i].a) + "," + Tag("b", i) + std::to_string(segments[i].b) + ",";
  }
  return text;
}

std::string MarkerSet::PointWireText() const {
  std::string text;
  for (int i = 0; i < kMarkerSlots; ++i) {
    if (i > 0) text += ",";
    text += Tag("en", i) + std::to_string(points[i].enabled) + "," + Tag("a", i) +
            std::to_string(points[i].a);
  }
  return text;
}

std::string MarkerSet::StoredText() const {
  std::string text;
  for (int i = 0; i < kMarkerSlots; ++i) {
    if (segments[i].enabled != 0) {
      text += "<t" + std::to_string(i) + ">" + std::to_string(segments[i].a) + "," +
              std::to_string(segments[i].b);
    }
    if (points[i].enabled != 0) {
      text += "<p" + std::to_string(i) + ">" + std::to_string(points[i].a);
    }
  }
  return text;
}

MarkerSet MarkerSet::FromStored(std::string_view stored) {
  MarkerSet set;
  for (int i = 0; i < kMarkerSlots; ++i) {
    const std::string segment_tag = "<t" + std::to_string(i) + ">";
    const size_t at = stored.find(segment_tag);
    if (at != std::string_view::npos) {
      // "<tN>a,b": the comma right after a's digits enables the segment
      // (a segment without its own comma never takes another one's b).
      std::string_view rest = stored.substr(at + segment_tag.size());
      size_t digits = 0;
      if (digits < rest.size() && (rest[digits] == '-' || rest[digits] == '+')) ++digits;
      while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
      FindNumber(stored.substr(at), segment_tag, &set.segments[i].a);
      if (digits < rest.size() && rest[digits] == ',') {
        set.segments[i].enabled = 1;
        FindNumber(rest.substr(digits), ",", &set.segments[i].b);
      }
    }
    const std::string point_tag = "<p" + std::to_string(i) + ">";
    if (FindNumber(stored, point_tag, &set.points[i].a)) set.points[i].enabled = 1;
  }
  return set;
}

}  // namespace velmor
