#include "platform/clock.h"

#include <gtest/gtest.h>

namespace velmor::platform {
namespace {

TEST(ClockTest, TickDiffIsSignedAndSurvivesTheWrap) {
  EXPECT_EQ(TickDiff(1500, 1000), 500);
  EXPECT_EQ(TickDiff(1000, 1500), -500);
  // The counter wraps every 49.7 days; the difference must not.
  EXPECT_EQ(TickDiff(5u, 0xFFFFFFFBu), 10);
  EXPECT_EQ(TickDiff(0xFFFFFFFBu, 5u), -10);
  EXPECT_EQ(TickDiff(0x80000000u, 0x7FFFFFFFu), 1);
}

TEST(ClockTest, TickCountNeverGoesBackAndAdvancesWhileSleeping) {
  uint32_t previous = TickCount();
  for (int i = 0; i < 1000; ++i) {
    const uint32_t now = TickCount();
    EXPECT_GE(TickDiff(now, previous), 0);
    previous = now;
  }
  const uint32_t before = TickCount();
  SleepMs(50);
  // A lower bound only: the sleep may take longer, never much shorter.
  EXPECT_GE(TickDiff(TickCount(), before), 40);
}

TEST(ClockTest, LocalTimeFieldsAreInRange) {
  const LocalTime now = CurrentLocalTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_GE(now.hour, 0);
  EXPECT_LE(now.hour, 23);
  EXPECT_GE(now.minute, 0);
  EXPECT_LE(now.minute, 59);
  EXPECT_GE(now.second, 0);
  EXPECT_LE(now.second, 59);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}

// The thumbnail marks are local midnights of 1 January; converting them to
// file times and back must give the same local moment.
TEST(ClockTest, LocalTimesConvertToFileTimesAndBack) {
  for (const LocalTime& local :
       {LocalTime{1990, 1, 1, 0, 0, 0, 0}, LocalTime{1994, 1, 1, 0, 0, 0, 0},
        LocalTime{2023, 7, 15, 13, 45, 30, 250}}) {
    const uint64_t file_time = FileTimeOfLocalTime(local);
    ASSERT_NE(file_time, 0u);
    const LocalTime back = LocalTimeOfFileTime(file_time);
    EXPECT_EQ(back.year, local.year);
    EXPECT_EQ(back.month, local.month);
    EXPECT_EQ(back.day, local.day);
    EXPECT_EQ(back.hour, local.hour);
    EXPECT_EQ(back.minute, local.minute);
    EXPECT_EQ(back.second, local.second);
    EXPECT_EQ(back.millisecond, local.millisecond);
  }
  // A year later is 365 days of 100 ns units later, whatever the time zone.
  const uint64_t start = FileTimeOfLocalTime({1991, 1, 1, 0, 0, 0, 0});
  const uint64_t next = FileTimeOfLocalTime({1992, 1, 1, 0, 0, 0, 0});
  EXPECT_EQ(next - start, 365ull * 24 * 3600 * 10000000);
}

}  // namespace
}  // namespace velmor::platform
