// Where in a video the frame maker looks for a thumbnail, and which frames
// it accepts. The first try is at a fixed point (3 minutes in, a minute
// before the end, or the middle of a short video), or just after the first
// marked scene past the first minute. Nearly uniform frames (black, fades)
// compress small, so a JPEG too small for its size is rejected and the next
// try goes to a random point in the first 80 % of the video; the bar drops
// every five tries, and from the sixteenth on any picture is taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "thumbnail/target_size.h"

namespace velmor {

// One run of ffmpeg and what came of it.
struct GrabAttempt {
  int seek_seconds = 0;
  int frame_count = 0;
  size_t jpeg_size = 0;
  bool accepted = false;
};

class GrabSchedule {
 public:
  static constexpr int kMaxAttempts = 21;
  // Marker positions are in milliseconds.
  static constexpr int kMarkerUnitsPerSecond = 1000;

  // The duration and height of the video's first video stream, the
  // positions of its record's markers, and a seed for the random points.
  GrabSchedule(int duration_ms, int video_height, const std::vector<int>& marker_positions,
               uint32_t random_seed);

  int attempt() const { return attempt_; }
  int seek_seconds() const { return static_cast<int>(seek_); }
  // The frames ffmpeg's thumbnail filter chooses among.
  int frame_count() const { return frame_count_; }
  bool marker_mode() const { return marker_mode_; }

  // Whether this attempt takes a JPEG of that size made at that size.
  bool Accepts(size_t jpeg_size, ThumbnailSize size) const;
  // Moves on to the next attempt; false when there is none left.
  bool Next();

 private:
  // 0 to 32767, the C library's generator as Windows has it; each schedule
  // has its own, so threads do not share one.
  int NextRandom();

  int64_t duration_s_ = 0;
  bool marker_mode_ = false;
  int frame_count_ = 5;
  int64_t seek_ = 0;
  int attempt_ = 0;
  uint32_t random_state_ = 0;
};

}  // namespace velmor
