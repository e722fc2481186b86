#include "platform/clock.h"

#include <windows.h>
// After <windows.h>, which it needs.
#include <mmsystem.h>

namespace velmor::platform {

uint32_t TickCount() { return timeGetTime(); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

LocalTime CurrentLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  result.millisecond = now.wMilliseconds;
  return result;
}

}  // namespace velmor::platform
