// The pixel shader's constants: the picture sizes and the YUV to RGB
// coefficients of the four colour modes (BT.601 or BT.709, limited or full
// range), as one 64-byte block.
#pragma once

namespace tarnwick {

struct ShaderConstants {
  float srcImageW = 0;
  float srcImageH = 0;
  float dstImageW = 0;
  float dstImageH = 0;
  float fRangeOffsetY = 0;
  float fRangeCoeffY = 0;
  float fCoeffRV = 0;
  float fCoeffGU = 0;
  float fCoeffGV = 0;
  float fCoeffBU = 0;
  float srcImageAddX = 0;
  float srcImageAddY = 0;
  float fReserve2 = 0;
  float fReserve3 = 0;
  float fReserve4 = 0;
  float fReserve5 = 0;
};
static_assert(sizeof(ShaderConstants) == 64, "the shader's constant buffer is 64 bytes");

enum ColourMode : int {
  kBt601Limited = 0,
  kBt601Full = 1,
  kBt709Limited = 2,  // the default
  kBt709Full = 3,
};

// The sizes of a video of width x height (the source holds a texel per
// pixel pair) and the default colour mode.
ShaderConstants ConstantsForVideo(int width, int height);
// Sets the mode's coefficients; false (nothing changed) for other modes.
bool SetColourMode(ShaderConstants* constants, int mode);

}  // namespace tarnwick
