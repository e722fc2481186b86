// Arbitrary bytes as a player's info text: applying it never leaves the
// text, the info it gives prints within 527 bytes as a text a record's tag
// text takes, and that printed text reads back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/tag_text.h"
#include "thumbnail/thumbnail_info.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  velmor::ThumbnailInfo info;
  velmor::ApplyInfoText(input, &info);
  Check(info.extra_lines.size() <= velmor::ThumbnailInfo::kExtraLinesMax);
  const std::string text = velmor::FormatInfoText(info);
  Check(text.size() <= velmor::ThumbnailInfo::kTextMax);
  std::string tags;
  Check(velmor::SetTagValue(&tags, "<thum>", &text, 4096));

  velmor::ThumbnailInfo back;
  velmor::ApplyInfoText(text, &back);
  Check(velmor::FormatInfoText(back) == text);
  return 0;
}
