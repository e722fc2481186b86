// YUY2 to RGB. The source texture holds one texel per pair of pixels, its
// bytes Y0 U Y1 V read as blue, green, red, alpha. Even pixels take Y0 and
// the pair's chroma; odd pixels take Y1 and chroma halfway to the next pair.
cbuffer Constants : register(b0) {
  float srcImageW;
  float srcImageH;
  float dstImageW;
  float dstImageH;
  float fRangeOffsetY;
  float fRangeCoeffY;
  float fCoeffRV;
  float fCoeffGU;
  float fCoeffGV;
  float fCoeffBU;
  float srcImageAddX;
  float srcImageAddY;
  float fReserve2;
  float fReserve3;
  float fReserve4;
  float fReserve5;
};

Texture2D source : register(t0);
SamplerState nearest : register(s0);

struct PixelInput {
  float4 position : SV_POSITION;
  float2 uv : TEXCOORD0;
};

float4 main(PixelInput input) : SV_TARGET {
  float column = floor(input.uv.x * dstImageW);
  float odd = column - 2.0 * floor(column * 0.5);
  float4 cur = source.Sample(nearest, input.uv);
  float4 next = source.Sample(nearest, float2(input.uv.x + srcImageAddX, input.uv.y));
  float y = lerp(cur.b, cur.r, odd);
  float u = lerp(cur.g, (cur.g + next.g) * 0.5, odd) - 0.5;
  float v = lerp(cur.a, (cur.a + next.a) * 0.5, odd) - 0.5;
  y = y - fRangeOffsetY;
  return float4(fRangeCoeffY * y + fCoeffRV * v,
                fRangeCoeffY * y - fCoeffGU * u - fCoeffGV * v,
                fRangeCoeffY * y + fCoeffBU * u,
                1.0);
}
