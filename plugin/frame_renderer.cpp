#include "frame_renderer.h"

#include <cstdio>

#include "ansi_text.h"

namespace tarnwick {

FrameRenderer::FrameRenderer(EngineInterfaces* engine) {
  if (engine == nullptr || engine->GetInterface == nullptr) return;
  auto* graphics =
      reinterpret_cast<EngineGraphicsD3D11*>(engine->GetInterface(kEngineGraphicsD3D11Id));
  if (graphics == nullptr || graphics->GetDevice == nullptr) return;
  engine_device_ = graphics->GetDevice();
  if (engine_device_ != nullptr) engine_device_->GetImmediateContext(&engine_context_);
}

FrameRenderer::~FrameRenderer() {
  CloseDevice();
  if (engine_context_ != nullptr) engine_context_->Release();
}

void FrameRenderer::SetStatus(const char* format, long result) {
  char text[520];
  std::snprintf(text, sizeof(text), format, static_cast<unsigned long>(result));
  status_text_ = text;
}

bool FrameRenderer::OpenDevice(int width, int height) {
  CloseDevice();
  const D3D_DRIVER_TYPE kinds[] = {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP,
                                   D3D_DRIVER_TYPE_REFERENCE};
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1,
                                      D3D_FEATURE_LEVEL_10_0, D3D_FEATURE_LEVEL_9_1};
  HRESULT result = E_FAIL;
  for (D3D_DRIVER_TYPE kind : kinds) {
    result = D3D11CreateDevice(nullptr, kind, nullptr, 0, levels, 4, D3D11_SDK_VERSION, &device_,
                               nullptr, &context_);
    if (SUCCEEDED(result)) break;
  }
  if (FAILED(result)) {
    std::lock_guard<std::mutex> hold(lock_);
    SetStatus("D3D11CreateDevice : %08lx", result);
    return false;
  }
  width_ = width;
  height_ = height;
  // The shared pair, the textures and the colour conversion come with the
  // engine's device; without it every frame is refused.
  has_shared_pair_ = false;
  return true;
}

void FrameRenderer::CloseDevice() {
  std::lock_guard<std::mutex> hold(lock_);
  if (context_ != nullptr) context_->Release();
  if (device_ != nullptr) device_->Release();
  context_ = nullptr;
  device_ = nullptr;
  has_shared_pair_ = false;
  target_texture_ = nullptr;
  status_text_.clear();
}

bool FrameRenderer::DeliverFrame(const uint8_t*, long, int64_t) { return has_shared_pair_; }

bool FrameRenderer::Update() { return false; }

void FrameRenderer::SetFilterMode(int mode) {
  if (mode >= 0 && mode <= 3) filter_mode_ = mode;
}

bool FrameRenderer::StartTimingLog(const std::string& file_name) {
  return timing_log_.Open(ToUtf8(FromAnsi(file_name.c_str(), 261)));
}

std::string FrameRenderer::status_text() const {
  std::lock_guard<std::mutex> hold(lock_);
  return status_text_;
}

}  // namespace tarnwick
