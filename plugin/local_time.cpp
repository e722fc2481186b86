#include "local_time.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

namespace tarnwick {

LocalTime LocalTimeNow() {
#ifdef _WIN32
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
#else
  const std::time_t seconds = std::time(nullptr);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
#endif
}

}  // namespace tarnwick
