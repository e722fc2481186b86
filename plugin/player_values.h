// Values a host reads from a player with Tarn_GetValue that are computed
// from the open file.
#pragma once

#include <cstdint>

#include "local_time.h"

namespace tarnwick {

// Bits per second of a file of file_size bytes playing for duration (100 ns
// units); 0 when the duration is 0. A file that cannot be opened counts as
// size -1.
int64_t AverageBitRate(int64_t file_size, int64_t duration);
// year * 10000 + month * 100 + day
int64_t DateNumber(const LocalTime& time);

}  // namespace tarnwick
