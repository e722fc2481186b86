#include "frame_rate.h"

namespace tarnwick {
namespace {

struct RateRange {
  int64_t low;
  int64_t high;
  FrameRate rate;
};

// Each usual rate with the time-per-frame values that round to it.
constexpr RateRange kRanges[] = {
    {166617, 166717, {60, 1}}, {166783, 166883, {60000, 1001}},
    {333283, 333383, {30, 1}}, {333617, 333717, {30000, 1001}},
    {416617, 416717, {24, 1}}, {417033, 417133, {24000, 1001}},
    {666617, 666717, {15, 1}}, {667283, 667383, {15000, 1001}},
};

}  // namespace

FrameRate FrameRateFromTimePerFrame(int64_t time_per_frame) {
  if (time_per_frame == 0) return {30, 1};
  for (const RateRange& range : kRanges) {
    if (time_per_frame >= range.low && time_per_frame <= range.high) return range.rate;
  }
  // Any other rate to a thousandth of a frame; a negative time (a broken
  // file) is taken by its size.
  const int64_t magnitude = time_per_frame < 0 ? -time_per_frame : time_per_frame;
  const int64_t thousandths = 10000000000LL / magnitude;
  if (thousandths > 2147483647) return {2147483647, 1000};
  return {static_cast<int>(thousandths), 1000};
}

int DurationSeconds(int64_t duration) { return static_cast<int>(duration / 10000000); }

int FrameCount(int64_t duration, FrameRate rate) {
  if (rate.denominator == 0) return 0;
  const double frames_times_denominator =
      static_cast<double>(duration) / 10000000.0 * static_cast<double>(rate.numerator);
  if (frames_times_denominator >= 9.2e18 || frames_times_denominator <= -9.2e18) return 0;
  const int64_t frames = static_cast<int64_t>(frames_times_denominator) / rate.denominator;
  if (frames > 2147483647 || frames < -2147483647) return 0;
  return static_cast<int>(frames);
}

}  // namespace tarnwick
