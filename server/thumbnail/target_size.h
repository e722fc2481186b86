// The size a thumbnail is made at: the short side 240 pixels with the
// source's aspect ratio kept, square sources 360 x 360.
#pragma once

namespace velmor {

struct ThumbnailSize {
  int width = 0;
  int height = 0;
  bool operator==(const ThumbnailSize&) const = default;
};

// The long side never exceeds this, so a source of absurd proportions (or a
// damaged report) cannot ask ffmpeg for a picture it cannot encode.
inline constexpr int kMaxThumbnailSide = 8192;

// From the source's width and height, in integers with truncation. An
// unknown (zero or negative) side gives 360 x 360, as a square does.
ThumbnailSize TargetSize(int width, int height);

}  // namespace velmor
