// Arbitrary bytes as an old thumbnail and as an old marker position: the
// info text never reaches past the picture's comment segment, its stored
// form has no line breaks, and a position is never negative.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "thumbnail/old_markers.h"
#include "thumbnail/old_thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = velmor::OldInfoText(bytes);
  // The text is the segment's data: at most its 1026 - 2 bytes, from offset 6.
  if (text.size() > 1024 || (!text.empty() && bytes.substr(6, text.size()) != text)) std::abort();
  const std::string stored = velmor::StoredFormOfOldInfo(text);
  if (stored.find_first_of("\r\n") != std::string::npos) std::abort();
  if (velmor::OldPositionMs(bytes) < 0) std::abort();
  return 0;
}
