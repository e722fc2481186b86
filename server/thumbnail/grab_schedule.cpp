#include "thumbnail/grab_schedule.h"

#include <algorithm>

namespace velmor {
namespace {

constexpr int64_t kMinuteS = 60;
constexpr int64_t kLongVideoS = 240;
constexpr int64_t kLongVideoSeekS = 180;
constexpr int64_t kAfterMarkerS = 10;
constexpr int kMarkerFrameCount = 10;

int FrameCountFor(int video_height) { return video_height > 1080 ? 3 : 5; }

int64_t FirstSeek(int duration_ms, int64_t duration_s) {
  if (duration_s < kMinuteS) return duration_ms / 2000;  // the middle
  return duration_s >= kLongVideoS ? kLongVideoSeekS : duration_s - kMinuteS;
}

// The marked time, in seconds, nearest after the first minute; -1 for none.
int64_t FirstMarkerPastAMinute(const std::vector<int>& marker_positions) {
  int64_t first = -1;
  for (const int position : marker_positions) {
    const int64_t seconds = position / GrabSchedule::kMarkerUnitsPerSecond;
    if (seconds > kMinuteS && (first < 0 || seconds < first)) first = seconds;
  }
  return first;
}

// The share of the raw 24-bit frame, in percent, a JPEG must reach on the
// given attempt; 0 takes any picture.
int64_t MinimumRatio(int attempt) {
  if (attempt < 5) return 7;
  if (attempt < 10) return 5;
  if (attempt < 15) return 3;
  return 0;
}

}  // namespace

GrabSchedule::GrabSchedule(int duration_ms, int video_height,
                           const std::vector<int>& marker_positions, uint32_t random_seed)
    : duration_s_(duration_ms / 1000),
      frame_count_(FrameCountFor(video_height)),
      seek_(FirstSeek(duration_ms, duration_ms / 1000)),
      random_state_(random_seed) {
  const int64_t marker = FirstMarkerPastAMinute(marker_positions);
  if (marker >= 0) {
    marker_mode_ = true;
    frame_count_ = kMarkerFrameCount;
    seek_ = std::min(duration_s_ - kMinuteS, marker) + kAfterMarkerS;
  }
  // A marker past the end of a short video, or a damaged duration, must
  // not ask ffmpeg for a time before the start.
  seek_ = std::max<int64_t>(seek_, 0);
}

bool GrabSchedule::Accepts(size_t jpeg_size, ThumbnailSize size) const {
  if (jpeg_size == 0) return false;
  const int64_t raw_size = std::max<int64_t>(int64_t{size.width} * size.height * 3, 1);
  const int64_t ratio = static_cast<int64_t>(jpeg_size) * 100 / raw_size;
  return ratio >= MinimumRatio(attempt_);
}

bool GrabSchedule::Next() {
  if (attempt_ + 1 >= kMaxAttempts) return false;
  ++attempt_;
  if (marker_mode_) seek_ += kMinuteS;
  if (!marker_mode_ || seek_ > duration_s_ - kMinuteS) {
    const double first_80_percent = static_cast<double>(duration_s_) * 0.8;
    seek_ = static_cast<int64_t>(NextRandom() * first_80_percent / 32768);
    seek_ = std::max<int64_t>(seek_, 0);
  }
  return true;
}

int GrabSchedule::NextRandom() {
  random_state_ = random_state_ * 214013u + 2531011u;
  return static_cast<int>((random_state_ >> 16) & 0x7fff);
}

}  // namespace velmor
