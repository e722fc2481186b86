// The plug-in's frame output in process: the producer's time per 1080p
// frame (map, copy of the rows, conversion draw, hand-over) and the
// consumer's time per update that shows a frame, against the 16.7 ms a
// frame has at 60 updates a second.
//   bench_frame_output [FRAMES]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "plugin/com_objects.h"
#include "plugin/frame_renderer.h"

namespace {

using tarnwick::EngineInterface;
using tarnwick::EngineInterfaceId;

ID3D11Device* g_device = nullptr;

ID3D11Device* __stdcall Device() { return g_device; }
tarnwick::EngineGraphicsD3D11 g_graphics = {Device};
EngineInterface* __stdcall GetInterface(EngineInterfaceId) {
  return reinterpret_cast<EngineInterface*>(&g_graphics);
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 120;
  constexpr int kWidth = 1920;
  constexpr int kHeight = 1080;
  if (FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                               D3D11_SDK_VERSION, &g_device, nullptr, nullptr)) &&
      FAILED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_WARP, nullptr, 0, nullptr, 0,
                               D3D11_SDK_VERSION, &g_device, nullptr, nullptr))) {
    std::fprintf(stderr, "no Direct3D 11 device\n");
    return 1;
  }
  const D3D11_TEXTURE2D_DESC description =
      tarnwick::BgraTexture(kWidth, kHeight, D3D11_BIND_SHADER_RESOURCE);
  ID3D11Texture2D* target = nullptr;
  g_device->CreateTexture2D(&description, nullptr, &target);

  tarnwick::EngineInterfaces registry = {};
  registry.GetInterface = GetInterface;
  double producer_ms = 0;
  double consumer_ms = 0;
  {
    tarnwick::FrameRenderer renderer(&registry);
    if (!renderer.OpenDevice(kWidth, kHeight)) {
      std::fprintf(stderr, "OpenDevice: %s\n", renderer.status_text().c_str());
      return 1;
    }
    renderer.set_target_texture(target);
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 2);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7);
    for (int i = 0; i < frames; ++i) {
      LARGE_INTEGER start, produced, consumed;
      QueryPerformanceCounter(&start);
      renderer.DeliverFrame(frame.data(), static_cast<long>(frame.size()), 1, nullptr);
      QueryPerformanceCounter(&produced);
      renderer.Update();
      QueryPerformanceCounter(&consumed);
      producer_ms += Milliseconds(start, produced);
      consumer_ms += Milliseconds(produced, consumed);
    }
    std::printf("frame output, 1920x1080, %d frames, exchange: %s, presented %d, skipped %d\n",
                frames, renderer.exchange_name(), renderer.frames_presented(),
                renderer.skipped_frames());
  }
  producer_ms /= frames;
  consumer_ms /= frames;
  std::printf(
      "producer %.2f ms per frame (%.0f %% of 16.7 ms), consumer %.2f ms per update "
      "(%.0f %% of 16.7 ms)\n",
      producer_ms, producer_ms * 100 / 16.7, consumer_ms, consumer_ms * 100 / 16.7);
  target->Release();
  g_device->Release();
  return 0;
}
