// The PC's local time (time zone and daylight saving applied) for the
// plug-in's log lines and file names.
#pragma once

namespace tarnwick {

struct LocalTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

LocalTime LocalTimeNow();

}  // namespace tarnwick
