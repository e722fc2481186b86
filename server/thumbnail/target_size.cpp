#include "thumbnail/target_size.h"

#include <algorithm>
#include <cstdint>

namespace velmor {
namespace {

constexpr int64_t kShortSide = 240;
constexpr int kSquareSide = 360;

int LongSide(int64_t long_source, int64_t short_source) {
  const int64_t side = long_source * kShortSide / short_source;
  return static_cast<int>(std::clamp<int64_t>(side, 1, kMaxThumbnailSide));
}

}  // namespace

ThumbnailSize TargetSize(int width, int height) {
  if (width <= 0 || height <= 0 || width == height) return {kSquareSide, kSquareSide};
  if (height < width) return {LongSide(width, height), static_cast<int>(kShortSide)};
  return {static_cast<int>(kShortSide), LongSide(height, width)};
}

}  // namespace velmor
