#include "thumbnail/grab_schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "thumbnail/marker_times.h"
#include "thumbnail/target_size.h"

namespace velmor {
namespace {

constexpr int kTwoHoursMs = 2 * 3600 * 1000;

TEST(TargetSizeTest, TheShortSideBecomes240AndTheShapeIsKept) {
  EXPECT_EQ(TargetSize(1920, 1080), (ThumbnailSize{426, 240}));
  EXPECT_EQ(TargetSize(1080, 1920), (ThumbnailSize{240, 426}));
  EXPECT_EQ(TargetSize(320, 180), (ThumbnailSize{426, 240}));
  EXPECT_EQ(TargetSize(3840, 1920), (ThumbnailSize{480, 240}));
}

TEST(TargetSizeTest, SquareAndUnknownSourcesGive360) {
  EXPECT_EQ(TargetSize(1000, 1000), (ThumbnailSize{360, 360}));
  EXPECT_EQ(TargetSize(0, 0), (ThumbnailSize{360, 360}));
  EXPECT_EQ(TargetSize(640, 0), (ThumbnailSize{360, 360}));
  EXPECT_EQ(TargetSize(0, 480), (ThumbnailSize{360, 360}));
  EXPECT_EQ(TargetSize(-640, 480), (ThumbnailSize{360, 360}));
}

TEST(TargetSizeTest, AbsurdProportionsStayWithinWhatAJpegCanHold) {
  EXPECT_EQ(TargetSize(2147483647, 1), (ThumbnailSize{kMaxThumbnailSide, 240}));
  EXPECT_EQ(TargetSize(1, 100000), (ThumbnailSize{240, kMaxThumbnailSide}));
}

TEST(GrabScheduleTest, TheFirstSeekDependsOnTheLength) {
  EXPECT_EQ(GrabSchedule(30000, 1080, {}, 1).seek_seconds(), 15);
  EXPECT_EQ(GrabSchedule(20000, 180, {}, 1).seek_seconds(), 10);
  EXPECT_EQ(GrabSchedule(59999, 180, {}, 1).seek_seconds(), 29);
  EXPECT_EQ(GrabSchedule(60000, 180, {}, 1).seek_seconds(), 0);
  EXPECT_EQ(GrabSchedule(100000, 180, {}, 1).seek_seconds(), 40);
  EXPECT_EQ(GrabSchedule(239999, 180, {}, 1).seek_seconds(), 179);
  EXPECT_EQ(GrabSchedule(kTwoHoursMs, 1080, {}, 1).seek_seconds(), 180);
  EXPECT_EQ(GrabSchedule(0, 1080, {}, 1).seek_seconds(), 0);
  EXPECT_EQ(GrabSchedule(-5000, 1080, {}, 1).seek_seconds(), 0);
}

TEST(GrabScheduleTest, TallVideosCompareFewerFrames) {
  EXPECT_EQ(GrabSchedule(kTwoHoursMs, 1080, {}, 1).frame_count(), 5);
  EXPECT_EQ(GrabSchedule(kTwoHoursMs, 1088, {}, 1).frame_count(), 3);
  EXPECT_EQ(GrabSchedule(kTwoHoursMs, 2160, {}, 1).frame_count(), 3);
}

TEST(GrabScheduleTest, AMarkerPastTheFirstMinuteLeadsTheWay) {
  // Marker positions are milliseconds: 300 s and 50 s.
  const GrabSchedule marked(kTwoHoursMs, 2160, {50000, 300000}, 1);
  EXPECT_TRUE(marked.marker_mode());
  EXPECT_EQ(marked.seek_seconds(), 310);
  EXPECT_EQ(marked.frame_count(), 10);

  const GrabSchedule early(kTwoHoursMs, 1080, {50000, 60999}, 1);
  EXPECT_FALSE(early.marker_mode());
  EXPECT_EQ(early.seek_seconds(), 180);
  EXPECT_EQ(early.frame_count(), 5);

  // The earliest marker past a minute counts, and never past a minute
  // before the end.
  EXPECT_EQ(GrabSchedule(kTwoHoursMs, 1080, {900000, 120000}, 1).seek_seconds(), 130);
  EXPECT_EQ(GrabSchedule(100000, 1080, {90000}, 1).seek_seconds(), 50);
  // A marker past the end of a short video never asks for a negative time.
  EXPECT_EQ(GrabSchedule(30000, 1080, {70000}, 1).seek_seconds(), 0);
}

TEST(GrabScheduleTest, TheBarForAPictureDropsEveryFiveAttempts) {
  const ThumbnailSize size{100, 100};  // 30,000 bytes raw
  GrabSchedule schedule(kTwoHoursMs, 1080, {}, 1);
  for (int attempt = 0; attempt < GrabSchedule::kMaxAttempts; ++attempt) {
    ASSERT_EQ(schedule.attempt(), attempt);
    const int bar = attempt < 5 ? 7 : attempt < 10 ? 5 : attempt < 15 ? 3 : 0;
    if (bar > 0) {
      // bar % of the raw size, and one byte less.
      EXPECT_TRUE(schedule.Accepts(static_cast<size_t>(300 * bar), size)) << attempt;
      EXPECT_FALSE(schedule.Accepts(static_cast<size_t>(300 * bar - 1), size)) << attempt;
    }
    EXPECT_TRUE(schedule.Accepts(1, size) == (bar == 0)) << attempt;
    EXPECT_FALSE(schedule.Accepts(0, size)) << attempt;
    EXPECT_EQ(schedule.Next(), attempt + 1 < GrabSchedule::kMaxAttempts);
  }
}

TEST(GrabScheduleTest, RetriesGoToRandomPointsInTheFirst80Percent) {
  for (uint32_t seed = 0; seed < 20; ++seed) {
    GrabSchedule schedule(100000, 1080, {}, seed);
    std::vector<int> seeks;
    while (schedule.Next()) {
      EXPECT_EQ(schedule.frame_count(), 5);
      EXPECT_GE(schedule.seek_seconds(), 0);
      EXPECT_LT(schedule.seek_seconds(), 80);
      seeks.push_back(schedule.seek_seconds());
    }
    EXPECT_EQ(seeks.size(), static_cast<size_t>(GrabSchedule::kMaxAttempts - 1));
    // Not one point again and again.
    EXPECT_NE(*std::min_element(seeks.begin(), seeks.end()),
              *std::max_element(seeks.begin(), seeks.end()));
  }
}

TEST(GrabScheduleTest, MarkerRetriesStepAMinuteThenGoRandom) {
  // 10 minutes, a marker at 2 minutes: 130, 190, ..., 490, 550 > 540.
  GrabSchedule schedule(600000, 1080, {120000}, 7);
  std::vector<int> seeks = {schedule.seek_seconds()};
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(schedule.Next());
    seeks.push_back(schedule.seek_seconds());
    EXPECT_EQ(schedule.frame_count(), 10);
  }
  EXPECT_EQ(std::vector<int>(seeks.begin(), seeks.begin() + 7),
            (std::vector<int>{130, 190, 250, 310, 370, 430, 490}));
  EXPECT_LT(seeks[7], 480);  // random, in the first 80 %
}

TEST(GrabScheduleTest, TheSameSeedGivesTheSamePoints) {
  GrabSchedule a(kTwoHoursMs, 1080, {}, 12345);
  GrabSchedule b(kTwoHoursMs, 1080, {}, 12345);
  while (a.Next() && b.Next()) EXPECT_EQ(a.seek_seconds(), b.seek_seconds());
}

TEST(MarkerPositionsTest, ReadsSegmentStartsAndPoints) {
  EXPECT_EQ(MarkerPositions("<t0>100,200<t3>5000,9000<p1>70000<p7>3"),
            (std::vector<int>{100, 5000, 70000, 3}));
  EXPECT_TRUE(MarkerPositions("").empty());
}

TEST(MarkerPositionsTest, SkipsDamagedEntries) {
  // A segment without its end, slots beyond 7, other tags and junk.
  EXPECT_EQ(MarkerPositions("<t0>100<t8>1,2<p9>4<x1>5<p2>abc<t1>7,<p3>-8<<t2>10,20>"),
            (std::vector<int>{-8, 10}));
  EXPECT_EQ(MarkerPositions("<p0>99999999999"), (std::vector<int>{1215752191}));  // wraps
}

}  // namespace
}  // namespace velmor
