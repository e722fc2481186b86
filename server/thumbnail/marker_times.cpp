#include "thumbnail/marker_times.h"

#include "thumbnail/text_scan.h"

namespace velmor {
namespace {

// "<t3>" or "<p3>" at the start of the text: the kind letter, or 0.
char EntryAt(std::string_view text, size_t* after) {
  if (text.size() < 4 || text[0] != '<' || (text[1] != 't' && text[1] != 'p')) return 0;
  if (text[2] < '0' || text[2] >= '0' + kMarkerSlots || text[3] != '>') return 0;
  *after = 4;
  return text[1];
}

}  // namespace

std::vector<int> MarkerPositions(std::string_view mark_value) {
  std::vector<int> positions;
  size_t pos = mark_value.find('<');
  while (pos != std::string_view::npos) {
    size_t after = 0;
    const char kind = EntryAt(mark_value.substr(pos), &after);
    if (kind != 0) {
      TextScanner scanner(mark_value.substr(pos + after));
      int start = 0;
      int end = 0;
      if (kind == 'p' && scanner.Int(&start)) positions.push_back(start);
      if (kind == 't' && scanner.Int(&start) && scanner.Literal(',') && scanner.Int(&end)) {
        positions.push_back(start);
      }
    }
    pos = mark_value.find('<', pos + 1);
  }
  return positions;
}

}  // namespace velmor
