// Turns the decoded YUY2 frames into pictures in the engine's texture. The
// producer side (DeliverFrame) uploads and converts each frame on a device
// of its own, on DirectShow's streaming thread; the consumer side (Update)
// copies the finished picture into the engine's texture on the engine's
// render thread when its time has come. The two meet only through the
// texture exchange's two entries, so neither waits for the other. A player
// made without the engine has no exchange and refuses every frame.
#pragma once

#include <d3d11.h>
#include <strmif.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "colour_modes.h"
#include "core/clogmem.h"
#include "texture_exchange.h"
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

  // Makes the own device and everything the conversion needs for a video of
  // width x height; false with the reason in the status text.
  bool OpenDevice(int width, int height);
  void CloseDevice();

  // Producer: one YUY2 frame (rows top first, length bytes) lasting
  // duration (100 ns units); the sample (may be null) only for the timing
  // log. False when it was refused; a frame skipped because the consumer
  // still has the next entry counts as delivered.
  bool DeliverFrame(const uint8_t* data, long length, int64_t duration, IMediaSample* sample);
  // Consumer: true when a new frame was copied into the target texture.
  bool Update();
  void SetFilterMode(int mode);
  void set_target_texture(ID3D11Texture2D* texture) { target_texture_ = texture; }
  // Starts the timing log in the file (ANSI name), closing any earlier one.
  bool StartTimingLog(const std::string& file_name);

  // The last error message, for the error log.
  std::string status_text() const;
  // The exchange in use, or "none".
  const char* exchange_name() const;
  int frames_written() const { return frames_written_; }
  int skipped_frames() const { return frames_skipped_; }
  int frames_presented() const { return frames_presented_; }
  int producer_frames_per_second() const { return producer_per_second_; }
  int updates_per_second() const { return updates_per_second_; }

 private:
  // A once-a-second rate: count changes per second, measured at deadlines.
  struct Rate {
    int last_count = 0;
    int64_t deadline = 0;
    void Measure(int64_t now, int count, std::atomic<int>* per_second);
  };

  int64_t Now() const;
  static int Ms(int64_t time) { return static_cast<int>(time / 10000); }
  bool Fail(const char* format, HRESULT result);
  bool CreateDevice();
  bool CreateTextures();
  bool CreateExchange();
  bool CreatePipeline();
  void UploadConstants();
  void ReleaseAll();
  bool Upload(const uint8_t* data, long length);
  bool Draw(int entry);
  void WriteExchangeLine();
  void WriteProducerLine(int64_t now, int64_t duration, IMediaSample* sample);
  void WriteConsumerLine(int64_t now, int64_t presentation_time, bool presented);

  ID3D11Device* engine_device_ = nullptr;
  ID3D11DeviceContext* engine_context_ = nullptr;
  ID3D11Device* device_ = nullptr;
  ID3D11DeviceContext* context_ = nullptr;
  ID3D11Texture2D* texture_cpu_ = nullptr;   // "m_TextureCpu": the upload texture
  ID3D11Texture2D* texture_temp_ = nullptr;  // "m_TextureTemp": the conversion's source
  std::unique_ptr<TextureExchange> exchange_;
  std::atomic<ID3D11Texture2D*> target_texture_{nullptr};
  ID3D11SamplerState* sampler_ = nullptr;
  ID3D11BlendState* blend_ = nullptr;
  ID3D11ShaderResourceView* source_view_ = nullptr;
  ID3D11VertexShader* vertex_shader_ = nullptr;
  ID3D11PixelShader* pixel_shader_ = nullptr;
  ID3D11InputLayout* input_layout_ = nullptr;
  D3D11_VIEWPORT viewport_ = {};
  int width_ = 0;
  int height_ = 0;
  ShaderConstants constants_;

  std::atomic<int> frames_written_{0};
  std::atomic<int> frames_skipped_{0};
  std::atomic<int> frames_presented_{0};
  std::atomic<int> update_calls_{0};
  std::atomic<int> producer_per_second_{0};
  std::atomic<int> updates_per_second_{0};
  Rate producer_rate_;
  Rate update_rate_;
  int64_t next_presentation_time_ = 0;
  int64_t opened_at_ = 0;
  int64_t last_producer_line_ = 0;
  int64_t last_consumer_line_ = 0;
  double counter_frequency_ = 1.0;

  // The producer's lock: taken only by the producer and by opening and
  // closing the device, so a device closed during playback is never used
  // half released. The consumer has its own.
  std::mutex producer_lock_;
  std::mutex lock_;
  mutable std::mutex status_lock_;
  std::string status_text_;
  velmor::CLOGMEM timing_log_;
  // Whether the timing log was opened: without it the producer and the
  // consumer format no lines.
  std::atomic<bool> timing_log_open_{false};
};

}  // namespace tarnwick
