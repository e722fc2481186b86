// The player plug-in's logic that needs no COM: volume and frame-rate
// tables at their edges, the mute fade across buffer edges, the filter
// list, and the error log byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plugin/audio_fade.h"
#include "plugin/error_log.h"
#include "plugin/filter_list.h"
#include "plugin/frame_rate.h"
#include "plugin/player_values.h"
#include "plugin/volume_table.h"

namespace tarnwick {
namespace {

TEST(VolumeTable, LevelsToAttenuationAtEveryEdge) {
  const struct {
    int level, stored, attenuation;
  } cases[] = {
      {-5, 0, -10000}, {0, 0, -10000},  {1, 1, -4000},   {2, 2, -3949},   {3, 3, -3898},
      {40, 40, -2000}, {41, 41, -1967}, {55, 55, -1500}, {70, 70, -1000}, {71, 71, -980},
      {90, 90, -600},  {91, 91, -540},  {100, 100, 0},   {150, 100, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClampVolumeLevel(c.level), c.stored) << c.level;
    EXPECT_EQ(VolumeAttenuation(c.level), c.attenuation) << c.level;
  }
}

TEST(FrameRate, TableRangesAndTheComputedRest) {
  const struct {
    int64_t time_per_frame;
    int numerator, denominator;
  } cases[] = {
      {0, 30, 1},
      {166617, 60, 1},
      {166717, 60, 1},
      {166783, 60000, 1001},
      {333283, 30, 1},
      {333383, 30, 1},
      {333617, 30000, 1001},
      {333667, 30000, 1001},
      {333717, 30000, 1001},
      {333718, 29965, 1000},
      {416617, 24, 1},
      {416667, 24, 1},
      {417083, 24000, 1001},
      {666667, 15, 1},
      {667333, 15000, 1001},
      {400000, 25000, 1000},
      {1, 2147483647, 1000},
      {-400000, 25000, 1000},
  };
  for (const auto& c : cases) {
    const FrameRate rate = FrameRateFromTimePerFrame(c.time_per_frame);
    EXPECT_EQ(rate.numerator, c.numerator) << c.time_per_frame;
    EXPECT_EQ(rate.denominator, c.denominator) << c.time_per_frame;
  }
  EXPECT_FLOAT_EQ(FrameRateFromTimePerFrame(333667).PerSecond(), 30000.0f / 1001.0f);
  // Ten minutes at 29.97: trunc(600 x 30000) / 1001, an integer division.
  EXPECT_EQ(FrameCount(6000000000LL, {30000, 1001}), 17982);
  EXPECT_EQ(FrameCount(30030000, {30000, 1001}), 90);
  EXPECT_EQ(DurationSeconds(30030000), 3);
  EXPECT_EQ(FrameCount(INT64_MAX, {2147483647, 1000}), 0);  // no overflow
}

// Frames of a constant sound, faded in buffers of the given sizes.
std::vector<int16_t> Fade(const std::vector<size_t>& buffers, bool muted, int* gain) {
  std::vector<int16_t> out;
  for (size_t frames : buffers) {
    std::vector<int16_t> buffer(frames * 2, 10000);
    ApplyAudioFade(buffer.data(), frames, muted, gain);
    out.insert(out.end(), buffer.begin(), buffer.end());
  }
  return out;
}

TEST(AudioFade, MuteFadesOutAndUnmuteInOver4800FramesAcrossBuffers) {
  int gain = kFullGain;
  EXPECT_EQ(Fade({1000}, false, &gain), std::vector<int16_t>(2000, 10000));  // untouched

  const std::vector<int16_t> out = Fade({1000, 3000, 333, 2000}, true, &gain);
  EXPECT_EQ(out[0], 10000);                       // the first frame at full gain
  EXPECT_EQ(out[2 * 1000], 10000 * 3800 / 4800);  // continues in the next buffer
  EXPECT_EQ(out[2 * 4799], 10000 * 1 / 4800);     // the last faded frame
  EXPECT_EQ(out[2 * 4799 + 1], 10000 * 1 / 4800);
  EXPECT_EQ(out[2 * 4800], 0);  // silent from frame 4,800 on
  EXPECT_EQ(out.back(), 0);
  EXPECT_EQ(gain, 0);
  EXPECT_EQ(Fade({10}, true, &gain), std::vector<int16_t>(20, 0));

  const std::vector<int16_t> in = Fade({4000, 1000}, false, &gain);
  EXPECT_EQ(in[0], 0);
  EXPECT_EQ(in[2 * 4000], 10000 * 4000 / 4800);
  EXPECT_EQ(in[2 * 4799], 10000 * 4799 / 4800);
  EXPECT_EQ(in[2 * 4800], 10000);  // full again after 4,800 frames
  EXPECT_EQ(gain, kFullGain);
}

TEST(FilterList, SixteenNamesThenErrorMoreData) {
  FilterList list;
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(list.Add("filter " + std::to_string(i)));
  EXPECT_STREQ(list.Name(15), "filter 15");
  EXPECT_FALSE(list.Add("one too many"));
  EXPECT_EQ(list.count(), 16);
  EXPECT_STREQ(list.Name(14), "filter 14");
  EXPECT_STREQ(list.Name(15), "Error More Data");
  EXPECT_EQ(list.Name(16), nullptr);
  EXPECT_EQ(list.Name(-1), nullptr);
  list.Clear();
  EXPECT_TRUE(list.Add(std::string(300, 'x')));
  EXPECT_EQ(std::string(list.Name(0)).size(), FilterList::kMaxNameBytes);
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ErrorLog, HeaderOncePerFolderCountLinesByteExact) {
  const auto folder = std::filesystem::temp_directory_path() / "tarnwick-error-log-test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const LocalTime at{2026, 12, 8, 9, 5, 3};
  ErrorLog log;
  log.SetFolder(folder.string() + "/");
  log.WriteDroppedFrame(at, "C:\\v\\a.mp4", 1, "");
  log.WriteDroppedFrame(at, "C:\\v\\a.mp4", 2, "Map failed");
  log.SetFolder(folder.string() + "/");
  log.WriteDroppedFrame(at, "C:\\v\\a.mp4", 10, "");
  EXPECT_EQ(ReadAll(folder / "TarnwickErrorLog.txt"),
            "2026-12-08 09:05:03 : [C:\\v\\a.mp4]\r\n"
            "2026-12-08 09:05:03 :   count= 1, \r\n"
            "2026-12-08 09:05:03 :   count= 2, Map failed\r\n"
            "2026-12-08 09:05:03 : [C:\\v\\a.mp4]\r\n"
            "2026-12-08 09:05:03 :   count=10, \r\n");

  // A folder that cannot be written loses the line, and the header waits.
  log.SetFolder((folder / "missing" / "").string());
  log.WriteDroppedFrame(at, "b.mp4", 11, "");
  log.SetFolder(folder.string() + "/");
  std::filesystem::remove(folder / "TarnwickErrorLog.txt");
  log.WriteDroppedFrame(at, "b.mp4", 12, "");
  EXPECT_EQ(ReadAll(folder / "TarnwickErrorLog.txt"),
            "2026-12-08 09:05:03 : [b.mp4]\r\n2026-12-08 09:05:03 :   count=12, \r\n");
  std::filesystem::remove_all(folder);
}

TEST(PlayerValues, TimingLogNameBitRateAndDate) {
  const LocalTime at{2026, 1, 2, 3, 4, 5};
  EXPECT_EQ(TimingLogFileName("C:\\v\\a.b.mp4", at), "C:\\v\\a.b(20260102-030405).txt");
  EXPECT_EQ(TimingLogFileName("C:\\v.d\\movie", at), "C:\\v.d\\movie(20260102-030405).txt");
  EXPECT_EQ(AverageBitRate(1000000, 80000000), 1000000);  // 1 MB in 8 s: 1 Mbit/s
  EXPECT_EQ(AverageBitRate(1000000, 0), 0);
  EXPECT_EQ(AverageBitRate(-1, 80000000), -1);
  // 200 GB over two hours: beyond 64 bits before the division.
  EXPECT_EQ(AverageBitRate(200000000000LL, 72000000000LL), 222222222);
  EXPECT_EQ(DateNumber(at), 20260102);
}

}  // namespace
}  // namespace tarnwick
