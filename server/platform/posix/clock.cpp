#include "platform/clock.h"

#include <errno.h>
#include <time.h>

namespace velmor::platform {

uint32_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);  // wraps like the Windows counter
}

void SleepMs(uint32_t milliseconds) {
  timespec rest{};
  rest.tv_sec = milliseconds / 1000;
  rest.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  // A signal cuts nanosleep short; sleep the remainder.
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

namespace {

LocalTime LocalTimeOf(time_t seconds, long nanoseconds) {
  tm parts{};
  localtime_r(&seconds, &parts);
  LocalTime result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;  // Windows has no leap second
  result.millisecond = static_cast<int>(nanoseconds / 1000000L);
  return result;
}

}  // namespace

LocalTime CurrentLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalTimeOf(now.tv_sec, now.tv_nsec);
}

LocalTime LocalTimeOfFileTime(uint64_t file_time) {
  // 1601-01-01 to 1970-01-01 in 100 ns units.
  constexpr uint64_t kUnixEpoch = 116444736000000000ull;
  const int64_t since_epoch = static_cast<int64_t>(file_time - kUnixEpoch);
  int64_t seconds = since_epoch / 10000000;
  int64_t rest = since_epoch % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  return LocalTimeOf(static_cast<time_t>(seconds), static_cast<long>(rest * 100));
}

uint64_t FileTimeOfLocalTime(const LocalTime& local) {
  tm parts{};
  parts.tm_year = local.year - 1900;
  parts.tm_mon = local.month - 1;
  parts.tm_mday = local.day;
  parts.tm_hour = local.hour;
  parts.tm_min = local.minute;
  parts.tm_sec = local.second;
  parts.tm_isdst = -1;  // the rules of that date decide
  const time_t seconds = mktime(&parts);
  if (seconds == static_cast<time_t>(-1)) return 0;
  constexpr uint64_t kUnixEpoch = 116444736000000000ull;
  const int64_t since_epoch =
      static_cast<int64_t>(seconds) * 10000000 + static_cast<int64_t>(local.millisecond) * 10000;
  if (since_epoch < -static_cast<int64_t>(kUnixEpoch)) return 0;
  return kUnixEpoch + static_cast<uint64_t>(since_epoch);
}

}  // namespace velmor::platform
