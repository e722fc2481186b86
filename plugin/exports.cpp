// The plug-in's exports: plain C functions over an opaque player handle.
// Every call accepts a null handle and then does nothing and returns 0,
// false or null, except the four opens, which return true.
#include <windows.h>

#include <atomic>

#include "ansi_text.h"
#include "playback_instance.h"
#include "unity_interfaces.h"

using tarnwick::EngineInterfaces;
using tarnwick::PlaybackInstance;

namespace {

std::atomic<EngineInterfaces*> g_engine{nullptr};
// The player that the last Tarn_Create returned: the render event updates it.
std::atomic<PlaybackInstance*> g_engine_player{nullptr};

PlaybackInstance* Player(void* handle) { return static_cast<PlaybackInstance*>(handle); }

void __stdcall OnRenderEvent(int) {
  if (PlaybackInstance* player = g_engine_player.load()) player->renderer().Update();
}

}  // namespace

#define TARN_EXPORT extern "C" __declspec(dllexport)

TARN_EXPORT void __stdcall UnityPluginLoad(EngineInterfaces* engine) { g_engine = engine; }

TARN_EXPORT void __stdcall UnityPluginUnload() {
  if (PlaybackInstance* player = g_engine_player.load()) player->CloseDevice();
}

TARN_EXPORT tarnwick::RenderEventCallback __stdcall GetRenderEventFunc() { return OnRenderEvent; }

TARN_EXPORT int Tarn_GetVersion() { return 122; }

TARN_EXPORT void* Tarn_Create() {
  EngineInterfaces* engine = g_engine.load();
  PlaybackInstance* player = engine != nullptr ? new PlaybackInstance(engine) : nullptr;
  g_engine_player = player;
  return player;
}

TARN_EXPORT void* Tarn_CreateNoUnity() { return new PlaybackInstance(nullptr); }

TARN_EXPORT void Tarn_Release(void* handle) {
  if (handle == nullptr) return;
  PlaybackInstance* expected = Player(handle);
  g_engine_player.compare_exchange_strong(expected, nullptr);
  delete Player(handle);
}

TARN_EXPORT bool Tarn_Open(void* handle, const wchar_t* path) {
  return handle == nullptr || Player(handle)->Open(path, nullptr, false);
}

TARN_EXPORT bool Tarn_OpenA(void* handle, const char* path, HWND window) {
  if (handle == nullptr) return true;
  return Player(handle)->Open(tarnwick::FromAnsi(path, 261).c_str(), window, false);
}

TARN_EXPORT bool Tarn_OpenInfo(void* handle, const wchar_t* path) {
  return handle == nullptr || Player(handle)->Open(path, nullptr, true);
}

TARN_EXPORT bool Tarn_OpenInfoA(void* handle, const char* path) {
  if (handle == nullptr) return true;
  return Player(handle)->Open(tarnwick::FromAnsi(path, 261).c_str(), nullptr, true);
}

TARN_EXPORT void Tarn_Close(void* handle) {
  if (handle != nullptr) Player(handle)->Close();
}

TARN_EXPORT bool Tarn_OpenDevice(void* handle) {
  return handle != nullptr && Player(handle)->OpenDevice();
}

TARN_EXPORT void Tarn_CloseDevice(void* handle) {
  if (handle != nullptr) Player(handle)->CloseDevice();
}

TARN_EXPORT int Tarn_GetVideoW(void* handle) {
  return handle != nullptr ? Player(handle)->VideoWidth() : 0;
}

TARN_EXPORT int Tarn_GetVideoH(void* handle) {
  return handle != nullptr ? Player(handle)->VideoHeight() : 0;
}

TARN_EXPORT int Tarn_GetAspectW(void* handle) {
  return handle != nullptr ? Player(handle)->AspectWidth() : 0;
}

TARN_EXPORT int Tarn_GetAspectH(void* handle) {
  return handle != nullptr ? Player(handle)->AspectHeight() : 0;
}

TARN_EXPORT float Tarn_GetFps(void* handle) {
  return handle != nullptr ? Player(handle)->Fps() : 0.0f;
}

TARN_EXPORT int Tarn_GetDurationSec(void* handle) {
  return handle != nullptr ? Player(handle)->DurationSeconds() : 0;
}

TARN_EXPORT int Tarn_GetFramNum(void* handle) {
  return handle != nullptr ? Player(handle)->FrameCount() : 0;
}

TARN_EXPORT void Tarn_Play(void* handle) {
  if (handle != nullptr) Player(handle)->Play();
}

TARN_EXPORT void Tarn_Stop(void* handle) {
  if (handle != nullptr) Player(handle)->Stop();
}

TARN_EXPORT void Tarn_Pause(void* handle) {
  if (handle != nullptr) Player(handle)->Pause();
}

TARN_EXPORT void Tarn_SetVolume(void* handle, int level) {
  if (handle != nullptr) Player(handle)->SetVolume(level);
}

TARN_EXPORT int Tarn_GetVolume(void* handle) {
  return handle != nullptr ? Player(handle)->volume() : 0;
}

TARN_EXPORT void Tarn_SetMute(void* handle, bool mute) {
  if (handle != nullptr) Player(handle)->set_mute(mute);
}

TARN_EXPORT bool Tarn_IsMute(void* handle) { return handle != nullptr && Player(handle)->mute(); }

TARN_EXPORT int Tarn_GetState(void* handle) {
  return handle != nullptr ? Player(handle)->GetState() : 0;
}

TARN_EXPORT int Tarn_GetCurrentTimeSec(void* handle) {
  return handle != nullptr ? Player(handle)->CurrentTimeSeconds() : 0;
}

TARN_EXPORT void Tarn_SetCurrentTimeSec(void* handle, int seconds) {
  if (handle != nullptr) Player(handle)->SetCurrentTimeSeconds(seconds);
}

TARN_EXPORT long long Tarn_GetValue(void* handle, int key) {
  return handle != nullptr ? Player(handle)->Value(key) : 0;
}

TARN_EXPORT void Tarn_LogStart(void* handle) {
  if (handle != nullptr) Player(handle)->StartTimingLog();
}

TARN_EXPORT void Tarn_GetFrameBuff() {}

TARN_EXPORT void* Tarn_GetTexturePtr() { return nullptr; }

TARN_EXPORT void Tarn_SetTexturePtr(void* handle, void* texture) {
  if (handle != nullptr) {
    Player(handle)->renderer().set_target_texture(static_cast<ID3D11Texture2D*>(texture));
  }
}

TARN_EXPORT bool Tarn_Update(void* handle) {
  return handle != nullptr && Player(handle)->renderer().Update();
}

TARN_EXPORT void Tarn_SetFilterMode(void* handle, int mode) {
  if (handle != nullptr) Player(handle)->SetFilterMode(mode);
}

TARN_EXPORT bool Tarn_SetAudioDeviceName(void* handle, const wchar_t* name) {
  return handle != nullptr && Player(handle)->SetAudioDevice(tarnwick::ToAnsi(name, 260));
}

TARN_EXPORT bool Tarn_SetAudioDeviceNameA(void* handle, const char* name) {
  return handle != nullptr && name != nullptr && Player(handle)->SetAudioDevice(name);
}

TARN_EXPORT const char* Tarn_GetAudioDeviceNameA(void* handle, int index) {
  return handle != nullptr ? Player(handle)->AudioDeviceName(index) : nullptr;
}

TARN_EXPORT const char* Tarn_GetFilterListNameA(void* handle, int index) {
  return handle != nullptr ? Player(handle)->FilterName(index) : nullptr;
}

TARN_EXPORT void Tarn_EnableErrorLog(void* handle, const wchar_t* folder) {
  if (handle != nullptr) Player(handle)->EnableErrorLog(tarnwick::ToAnsi(folder, 260));
}

TARN_EXPORT void Tarn_EnableErrorLogA(void* handle, const char* folder) {
  if (handle != nullptr) Player(handle)->EnableErrorLog(folder != nullptr ? folder : "");
}
