// Arbitrary bytes as a record's "<mark>" value: reading the marker positions
// never leaves the text and finds at most one position per entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "thumbnail/marker_times.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const size_t positions = velmor::MarkerPositions(text).size();
  size_t entries = 0;
  for (const char c : text) entries += c == '<';
  if (positions > entries) std::abort();
  return 0;
}
