// The game engine's interface registry as the plug-in receives it in
// UnityPluginLoad, declared from its documented binary layout: tables of
// plain function pointers, interfaces named by 128-bit ids given as two
// 64-bit halves. Only what the plug-in calls is declared.
#pragma once

#include <d3d11.h>

namespace tarnwick {

struct EngineInterfaceId {
  unsigned long long high;
  unsigned long long low;
};

struct EngineInterface;

struct EngineInterfaces {
  EngineInterface*(__stdcall* GetInterface)(EngineInterfaceId id);
  void(__stdcall* RegisterInterface)(EngineInterfaceId id, EngineInterface* interface_pointer);
  EngineInterface*(__stdcall* GetInterfaceSplit)(unsigned long long high, unsigned long long low);
  void(__stdcall* RegisterInterfaceSplit)(unsigned long long high, unsigned long long low,
                                          EngineInterface* interface_pointer);
};

// The engine's Direct3D 11 interface: its first entry hands out the device.
struct EngineGraphicsD3D11 {
  ID3D11Device*(__stdcall* GetDevice)();
};

inline constexpr EngineInterfaceId kEngineGraphicsD3D11Id = {0xAAB37EF87A87D748ULL,
                                                             0xBF76967F07EFB177ULL};

// The render-event callback type: the engine calls it on its render thread.
using RenderEventCallback = void(__stdcall*)(int event_id);

}  // namespace tarnwick
