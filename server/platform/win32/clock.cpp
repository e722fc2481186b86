#include "platform/clock.h"

#include <windows.h>
// After <windows.h>, which it needs.
#include <mmsystem.h>

namespace velmor::platform {

uint32_t TickCount() { return timeGetTime(); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

namespace {

LocalTime LocalTimeOf(const SYSTEMTIME& parts) {
  LocalTime result;
  result.year = parts.wYear;
  result.month = parts.wMonth;
  result.day = parts.wDay;
  result.hour = parts.wHour;
  result.minute = parts.wMinute;
  result.second = parts.wSecond;
  result.millisecond = parts.wMilliseconds;
  return result;
}

}  // namespace

LocalTime CurrentLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalTimeOf(now);
}

LocalTime LocalTimeOfFileTime(uint64_t file_time) {
  FILETIME utc{static_cast<DWORD>(file_time), static_cast<DWORD>(file_time >> 32)};
  SYSTEMTIME utc_parts{};
  SYSTEMTIME local{};
  if (!FileTimeToSystemTime(&utc, &utc_parts) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc_parts, &local)) {
    return LocalTime();
  }
  return LocalTimeOf(local);
}

uint64_t FileTimeOfLocalTime(const LocalTime& local) {
  SYSTEMTIME parts{};
  parts.wYear = static_cast<WORD>(local.year);
  parts.wMonth = static_cast<WORD>(local.month);
  parts.wDay = static_cast<WORD>(local.day);
  parts.wHour = static_cast<WORD>(local.hour);
  parts.wMinute = static_cast<WORD>(local.minute);
  parts.wSecond = static_cast<WORD>(local.second);
  parts.wMilliseconds = static_cast<WORD>(local.millisecond);
  SYSTEMTIME utc{};
  FILETIME file_time{};
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &parts, &utc) ||
      !SystemTimeToFileTime(&utc, &file_time)) {
    return 0;
  }
  return static_cast<uint64_t>(file_time.dwHighDateTime) << 32 | file_time.dwLowDateTime;
}

}  // namespace velmor::platform
