// The frame output on pixels: a YUY2 frame of known values through the
// producer, presented into the engine's texture and read back, against the
// conversion's formulas in every colour mode.
#include "plugin/frame_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine_host.h"

namespace tarnwick {
namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 4;

// Row 0: the corners of the YUV cube in limited and full range; row 1: a
// grey ramp; rows 2 and 3: steep chroma steps for the odd pixels'
// interpolation.
std::vector<uint8_t> TestFrame() {
  const uint8_t rows[kHeight][kWidth * 2] = {
      {16, 16,  235, 16,  16, 240, 235, 240, 0,  0,  255, 0,  0,  255, 255, 255,
       16, 128, 235, 128, 0,  128, 255, 128, 81, 90, 145, 54, 41, 240, 170, 166},
      {16,  128, 30,  128, 45,  128, 60,  128, 75,  128, 90,  128, 105, 128, 120, 128,
       135, 128, 150, 128, 165, 128, 180, 128, 195, 128, 210, 128, 225, 128, 235, 128},
      {128, 16, 128, 240, 128, 240, 128, 16, 128, 16,  128, 240, 128, 240, 128, 16,
       100, 0,  150, 255, 100, 255, 150, 0,  60,  100, 200, 200, 60,  200, 200, 100},
      {200, 30,  50,  220, 50, 220, 200, 30, 90,  128, 90, 128, 90,  0,  90,  255,
       128, 128, 128, 128, 10, 250, 245, 5,  245, 5,   10, 250, 128, 60, 128, 190},
  };
  return std::vector<uint8_t>(&rows[0][0], &rows[0][0] + sizeof(rows));
}

// What the conversion must give for pixel x of image row y, as 0..255.
void Expected(const std::vector<uint8_t>& frame, const ShaderConstants& c, int x, int y,
              double rgb[3]) {
  auto byte = [&](int pair, int index) {
    pair = std::min(pair, kWidth / 2 - 1);  // the sampler clamps at the edge
    return frame[static_cast<size_t>(y * kWidth * 2 + pair * 4 + index)] / 255.0;
  };
  const int pair = x / 2;
  const bool odd = x % 2 == 1;
  const double luma = (odd ? byte(pair, 2) : byte(pair, 0)) - c.fRangeOffsetY;
  const double u = (odd ? (byte(pair, 1) + byte(pair + 1, 1)) / 2 : byte(pair, 1)) - 0.5;
  const double v = (odd ? (byte(pair, 3) + byte(pair + 1, 3)) / 2 : byte(pair, 3)) - 0.5;
  const double unclamped[3] = {
      c.fRangeCoeffY * luma + c.fCoeffRV * v,
      c.fRangeCoeffY * luma - c.fCoeffGU * u - c.fCoeffGV * v,
      c.fRangeCoeffY * luma + c.fCoeffBU * u,
  };
  for (int i = 0; i < 3; ++i) rgb[i] = std::clamp(unclamped[i], 0.0, 1.0) * 255.0;
}

TEST(FrameRendererWin32, ConvertsYuy2InEveryColourModeOnPixels) {
  test::EngineHost host(kWidth, kHeight);
  ASSERT_TRUE(host.ok());
  FrameRenderer renderer(host.registry());
  ASSERT_TRUE(renderer.OpenDevice(kWidth, kHeight)) << renderer.status_text();
  renderer.set_target_texture(host.target());
  std::printf("frame exchange: %s\n", renderer.exchange_name());
  const std::vector<uint8_t> frame = TestFrame();
  // Limited range BT.709 first (the default), then every mode in turn
  // without reopening.
  for (int mode : {-1, 0, 1, 2, 3}) {
    if (mode >= 0) renderer.SetFilterMode(mode);
    ShaderConstants constants = ConstantsForVideo(kWidth, kHeight);
    SetColourMode(&constants, mode >= 0 ? mode : kBt709Limited);
    ASSERT_TRUE(renderer.DeliverFrame(frame.data(), static_cast<long>(frame.size()), 1, nullptr));
    ASSERT_TRUE(renderer.Update()) << "mode " << mode;
    const std::vector<uint8_t> pixels = host.Read();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kWidth * kHeight * 4));
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        double rgb[3];
        Expected(frame, constants, x, y, rgb);
        // The first image row is the texture's bottom row.
        const uint8_t* bgra = &pixels[static_cast<size_t>(((kHeight - 1 - y) * kWidth + x) * 4)];
        EXPECT_NEAR(bgra[2], rgb[0], 1.0) << "mode " << mode << " red at " << x << "," << y;
        EXPECT_NEAR(bgra[1], rgb[1], 1.0) << "mode " << mode << " green at " << x << "," << y;
        EXPECT_NEAR(bgra[0], rgb[2], 1.0) << "mode " << mode << " blue at " << x << "," << y;
        EXPECT_EQ(bgra[3], 255);
      }
    }
  }
  EXPECT_EQ(renderer.frames_written(), 5);
  EXPECT_EQ(renderer.frames_presented(), 5);
}

}  // namespace
}  // namespace tarnwick
