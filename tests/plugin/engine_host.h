// A stand-in for the game engine: a Direct3D 11 device offered through the
// engine's interface registry, and a BGRA texture of its own for the
// plug-in to present into, read back through a staging copy.
#pragma once

#include <d3d11.h>

#include <cstdint>
#include <vector>

#include "plugin/com_objects.h"
#include "plugin/unity_interfaces.h"

namespace tarnwick::test {

class EngineHost {
 public:
  EngineHost(int width, int height) : width_(width), height_(height) {
    D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_WARP, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                      &device_, nullptr, &context_);
    current_ = this;
    registry_.GetInterface = &GetInterface;
    graphics_.GetDevice = &Device;
    if (device_ == nullptr) return;
    D3D11_TEXTURE2D_DESC description = BgraTexture(width, height, D3D11_BIND_SHADER_RESOURCE);
    device_->CreateTexture2D(&description, nullptr, &target_);
    description.Usage = D3D11_USAGE_STAGING;
    description.BindFlags = 0;
    description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    device_->CreateTexture2D(&description, nullptr, &staging_);
  }
  ~EngineHost() {
    for (IUnknown* object : {static_cast<IUnknown*>(staging_), static_cast<IUnknown*>(target_),
                             static_cast<IUnknown*>(context_), static_cast<IUnknown*>(device_)}) {
      if (object != nullptr) object->Release();
    }
    current_ = nullptr;
  }

  bool ok() const { return target_ != nullptr && staging_ != nullptr; }
  EngineInterfaces* registry() { return &registry_; }
  ID3D11Texture2D* target() { return target_; }

  // The target's pixels, BGRA, rows as the texture holds them.
  std::vector<uint8_t> Read() {
    std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
    context_->CopyResource(staging_, target_);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(context_->Map(staging_, 0, D3D11_MAP_READ, 0, &mapped))) return {};
    for (int y = 0; y < height_; ++y) {
      const auto* row = static_cast<const uint8_t*>(mapped.pData) + mapped.RowPitch * y;
      std::copy(row, row + width_ * 4, pixels.begin() + static_cast<ptrdiff_t>(y) * width_ * 4);
    }
    context_->Unmap(staging_, 0);
    return pixels;
  }

 private:
  static EngineInterface* __stdcall GetInterface(EngineInterfaceId id) {
    const bool d3d11 =
        id.high == kEngineGraphicsD3D11Id.high && id.low == kEngineGraphicsD3D11Id.low;
    return d3d11 ? reinterpret_cast<EngineInterface*>(&current_->graphics_) : nullptr;
  }
  static ID3D11Device* __stdcall Device() { return current_->device_; }

  static inline EngineHost* current_ = nullptr;
  int width_;
  int height_;
  ID3D11Device* device_ = nullptr;
  ID3D11DeviceContext* context_ = nullptr;
  ID3D11Texture2D* target_ = nullptr;
  ID3D11Texture2D* staging_ = nullptr;
  EngineInterfaces registry_ = {};
  EngineGraphicsD3D11 graphics_ = {};
};

}  // namespace tarnwick::test
