#include "colour_modes.h"

namespace tarnwick {
namespace {

struct Coefficients {
  float range_offset_y, range_coeff_y, rv, gu, gv, bu;
};

constexpr float kLimitedBlack = 16.0f / 255.0f;

constexpr Coefficients kModes[] = {
    {kLimitedBlack, 1.1643f, 1.596f, 0.3917f, 0.8128f, 2.0172f},   // BT.601 limited
    {0.0f, 1.0f, 1.402f, 0.3441f, 0.714f, 1.772f},                 // BT.601 full
    {kLimitedBlack, 1.1643f, 1.7927f, 0.2131f, 0.5328f, 2.1124f},  // BT.709 limited
    {0.0f, 1.0f, 1.5748f, 0.1872f, 0.468f, 1.8556f},               // BT.709 full
};

}  // namespace

ShaderConstants ConstantsForVideo(int width, int height) {
  ShaderConstants constants;
  constants.srcImageW = static_cast<float>(width) * 0.5f;
  constants.srcImageH = static_cast<float>(height);
  constants.dstImageW = static_cast<float>(width);
  constants.dstImageH = static_cast<float>(height);
  constants.srcImageAddX = 1.0f / (static_cast<float>(width) * 0.5f);
  constants.srcImageAddY = 1.0f / static_cast<float>(height);
  SetColourMode(&constants, kBt709Limited);
  return constants;
}

bool SetColourMode(ShaderConstants* constants, int mode) {
  if (mode < kBt601Limited || mode > kBt709Full) return false;
  const Coefficients& c = kModes[mode];
  constants->fRangeOffsetY = c.range_offset_y;
  constants->fRangeCoeffY = c.range_coeff_y;
  constants->fCoeffRV = c.rv;
  constants->fCoeffGU = c.gu;
  constants->fCoeffGV = c.gv;
  constants->fCoeffBU = c.bu;
  return true;
}

}  // namespace tarnwick
