// The system clocks: the 32-bit millisecond counter every timeout of the
// server is measured on, sleeping, and the PC's local date and time.
#pragma once

#include <cstdint>

namespace velmor::platform {

// Milliseconds since an arbitrary start; wraps every 49.7 days, so compare
// two readings by their 32-bit signed difference.
uint32_t TickCount();

// Signed difference later - earlier, correct across one wrap of the counter.
inline int32_t TickDiff(uint32_t later, uint32_t earlier) {
  return static_cast<int32_t>(later - earlier);
}

void SleepMs(uint32_t milliseconds);

struct LocalTime {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

LocalTime CurrentLocalTime();

// A file time (100 ns units since 1601-01-01 UTC, as file_system.h gives
// them) in the PC's local time.
LocalTime LocalTimeOfFileTime(uint64_t file_time);
// The file time of a moment of the PC's local time (its milliseconds
// included); 0 when the time cannot be converted.
uint64_t FileTimeOfLocalTime(const LocalTime& local);

}  // namespace velmor::platform
