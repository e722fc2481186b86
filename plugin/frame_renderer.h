// Turns the decoded YUY2 frames into pictures in the engine's texture. The
// producer side (DeliverFrame) runs on DirectShow's streaming thread, the
// consumer side (Update) on the engine's render thread. Frames reach the
// engine only through the pair of shared textures, which exist only when
// the player has the engine's device: a player made without the engine
// refuses every frame.
#pragma once

#include <d3d11.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/clogmem.h"
#include "unity_interfaces.h"

namespace tarnwick {

class FrameRenderer {
 public:
  // With the engine's registry the renderer draws into engine textures;
  // without it (null) it has no engine device.
  explicit FrameRenderer(EngineInterfaces* engine);
  ~FrameRenderer();
  FrameRenderer(const FrameRenderer&) = delete;
  FrameRenderer& operator=(const FrameRenderer&) = delete;

  // Makes the renderer's own device for a video of width x height; false
  // with the reason in the status text.
  bool OpenDevice(int width, int height);
  void CloseDevice();

  // Producer: one YUY2 frame (rows top first) lasting duration (100 ns
  // units); false when it was refused.
  bool DeliverFrame(const uint8_t* data, long length, int64_t duration);
  // Consumer: true when a new frame was copied into the target texture.
  bool Update();
  void SetFilterMode(int mode);
  // Starts the timing log in the file (ANSI name), closing any earlier one.
  bool StartTimingLog(const std::string& file_name);
  void set_target_texture(ID3D11Texture2D* texture) { target_texture_ = texture; }

  // The last error message, for the error log.
  std::string status_text() const;
  int skipped_frames() const { return skipped_frames_; }
  int producer_frames_per_second() const { return producer_frames_per_second_; }
  int updates_per_second() const { return updates_per_second_; }

 private:
  void SetStatus(const char* format, long result);

  ID3D11Device* engine_device_ = nullptr;
  ID3D11DeviceContext* engine_context_ = nullptr;
  ID3D11Device* device_ = nullptr;
  ID3D11DeviceContext* context_ = nullptr;
  ID3D11Texture2D* target_texture_ = nullptr;
  std::atomic<bool> has_shared_pair_{false};
  int width_ = 0;
  int height_ = 0;
  int filter_mode_ = 2;
  int skipped_frames_ = 0;
  int producer_frames_per_second_ = 0;
  int updates_per_second_ = 0;
  mutable std::mutex lock_;
  std::string status_text_;
  velmor::CLOGMEM timing_log_;
};

}  // namespace tarnwick
