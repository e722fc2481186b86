// Arbitrary bytes as an ffprobe stream report (the first byte picks the
// media type): parsing never leaves the text, the result says whether the
// info has a size, and the info it gives always prints as a text that a
// record's tag text takes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/tag_text.h"
#include "thumbnail/ffprobe_parser.h"
#include "thumbnail/thumbnail_info.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsCleanValue(const std::string& value, size_t max_size) {
  return value.size() <= max_size && value.find_first_of("<>\"\n\r") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int media_type = 1 + data[0] % 4;
  const std::string_view report(reinterpret_cast<const char*>(data + 1), size - 1);
  velmor::ThumbnailInfo info;
  const bool sized = velmor::ParseStreamReport(report, media_type, &info);
  Check(sized == (info.width != 0 && info.height != 0));
  using velmor::ThumbnailInfo;
  Check(IsCleanValue(info.fcc_v, ThumbnailInfo::kCodecMax));
  Check(IsCleanValue(info.fcc_a, ThumbnailInfo::kCodecMax));
  Check(IsCleanValue(info.range, ThumbnailInfo::kColourMax));
  Check(IsCleanValue(info.color, ThumbnailInfo::kColourMax));
  const std::string text = velmor::FormatInfoText(info);
  Check(text.size() <= ThumbnailInfo::kTextMax);
  std::string tags;
  Check(velmor::SetTagValue(&tags, "<thum>", &text, 4096));
  return 0;
}
