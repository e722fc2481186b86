// Small helpers for the COM and Direct3D objects the plug-in holds.
#pragma once

#include <d3d11.h>

#include <cstdio>
#include <string>

namespace tarnwick {

// Releases the object, if any, and forgets it.
template <typename Interface>
void ReleaseAndClear(Interface*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// "call : 80070057", as the status text and the error log show failures.
inline std::string CallFailed(const char* call, HRESULT result) {
  char text[160];
  std::snprintf(text, sizeof(text), "%s : %08lx", call, static_cast<unsigned long>(result));
  return text;
}

// A width x height BGRA texture the GPU draws into (usage default, one mip
// level, no sampling).
inline D3D11_TEXTURE2D_DESC BgraTexture(int width, int height, UINT bind_flags) {
  D3D11_TEXTURE2D_DESC description = {};
  description.Width = static_cast<UINT>(width);
  description.Height = static_cast<UINT>(height);
  description.MipLevels = 1;
  description.ArraySize = 1;
  description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  description.SampleDesc.Count = 1;
  description.Usage = D3D11_USAGE_DEFAULT;
  description.BindFlags = bind_flags;
  return description;
}

}  // namespace tarnwick
