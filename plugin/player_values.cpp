#include "player_values.h"

namespace tarnwick {

int64_t AverageBitRate(int64_t file_size, int64_t duration) {
  if (duration == 0) return 0;
  // In 128 bits: a file of over 115 GB would overflow 64 bits times 80,000,000.
  const __int128 bits = static_cast<__int128>(file_size) * 80000000 / duration;
  if (bits > INT64_MAX) return INT64_MAX;
  if (bits < INT64_MIN) return INT64_MIN;
  return static_cast<int64_t>(bits);
}

int64_t DateNumber(const LocalTime& time) {
  return static_cast<int64_t>(time.year) * 10000 + time.month * 100 + time.day;
}

}  // namespace tarnwick
