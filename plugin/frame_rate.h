// The frame rate of a video as a fraction, from DirectShow's average time
// per frame, and the counts derived from it. The usual rates come out
// exact (29.97 is 30000/1001, not 29.970029...).
#pragma once

#include <cstdint>

namespace tarnwick {

struct FrameRate {
  int numerator = 30;
  int denominator = 1;
  float PerSecond() const {
    return static_cast<float>(numerator) / static_cast<float>(denominator);
  }
};

// From the average time per frame in 100 ns units; 0 (unknown) reads as 30.
FrameRate FrameRateFromTimePerFrame(int64_t time_per_frame);
// Whole seconds of a duration in 100 ns units.
int DurationSeconds(int64_t duration);
// Frames in a duration in 100 ns units at the rate.
int FrameCount(int64_t duration, FrameRate rate);

}  // namespace tarnwick
