#include "frame_renderer.h"

#include <cstdio>
#include <cstring>

#include "ansi_text.h"
#include "com_objects.h"
#include "yuy2_pixel_shader.h"
#include "yuy2_vertex_shader.h"

namespace tarnwick {
namespace {

// Two triangles over the whole target; v = 0 at the bottom, so the first
// picture row lands in the texture's bottom row, as the engine reads it.
constexpr float kQuad[6][5] = {
    {-1, -1, 0, 0, 0}, {-1, 1, 0, 0, 1}, {1, -1, 0, 1, 0},
    {1, -1, 0, 1, 0},  {-1, 1, 0, 0, 1}, {1, 1, 0, 1, 1},
};

constexpr int64_t kSecond = 10000000;  // in 100 ns units

}  // namespace

void FrameRenderer::Rate::Measure(int64_t now, int count, std::atomic<int>* per_second) {
  if (now < deadline) return;
  *per_second = static_cast<int>(static_cast<int64_t>(count - last_count) * kSecond /
                                 (now - deadline + kSecond));
  last_count = count;
  deadline = now + kSecond;
}

FrameRenderer::FrameRenderer(EngineInterfaces* engine) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  counter_frequency_ = static_cast<double>(frequency.QuadPart);
  if (engine == nullptr || engine->GetInterface == nullptr) return;
  auto* graphics =
      reinterpret_cast<EngineGraphicsD3D11*>(engine->GetInterface(kEngineGraphicsD3D11Id));
  if (graphics == nullptr || graphics->GetDevice == nullptr) return;
  engine_device_ = graphics->GetDevice();
  if (engine_device_ != nullptr) engine_device_->GetImmediateContext(&engine_context_);
}

FrameRenderer::~FrameRenderer() {
  CloseDevice();
  ReleaseAndClear(engine_context_);
}

int64_t FrameRenderer::Now() const {
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<int64_t>(static_cast<double>(count.QuadPart) * 1e7 / counter_frequency_);
}

bool FrameRenderer::Fail(const char* format, HRESULT result) {
  char text[520];
  std::snprintf(text, sizeof(text), format, static_cast<unsigned long>(result));
  std::lock_guard<std::mutex> hold(status_lock_);
  status_text_ = text;
  return false;
}

bool FrameRenderer::OpenDevice(int width, int height) {
  CloseDevice();
  std::lock_guard<std::mutex> producer(producer_lock_);
  std::lock_guard<std::mutex> consumer(lock_);
  width_ = width;
  height_ = height;
  if (!CreateDevice() || !CreateTextures() || !CreateExchange() || !CreatePipeline()) {
    ReleaseAll();
    return false;
  }
  opened_at_ = last_producer_line_ = last_consumer_line_ = Now();
  next_presentation_time_ = 0;
  producer_rate_ = Rate();
  update_rate_ = Rate();
  frames_written_ = frames_skipped_ = frames_presented_ = update_calls_ = 0;
  producer_per_second_ = updates_per_second_ = 0;
  WriteExchangeLine();
  return true;
}

bool FrameRenderer::CreateDevice() {
  const D3D_DRIVER_TYPE kinds[] = {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP,
                                   D3D_DRIVER_TYPE_REFERENCE};
  const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1,
                                      D3D_FEATURE_LEVEL_10_0, D3D_FEATURE_LEVEL_9_1};
  HRESULT result = E_FAIL;
  for (D3D_DRIVER_TYPE kind : kinds) {
    result = D3D11CreateDevice(nullptr, kind, nullptr, 0, levels, 4, D3D11_SDK_VERSION, &device_,
                               nullptr, &context_);
    if (SUCCEEDED(result)) return true;
  }
  return Fail("D3D11CreateDevice : %08lx", result);
}

bool FrameRenderer::CreateTextures() {
  // One texel per YUY2 pixel pair: its four bytes Y0 U Y1 V.
  D3D11_TEXTURE2D_DESC description = BgraTexture(width_ / 2, height_, 0);
  description.Usage = D3D11_USAGE_STAGING;
  description.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
  HRESULT result = device_->CreateTexture2D(&description, nullptr, &texture_cpu_);
  if (FAILED(result)) {
    return Fail("m_Device->CreateTexture2D( &desc, NULL, &m_TextureCpu ) : %08lx", result);
  }
  description.Usage = D3D11_USAGE_DEFAULT;
  description.CPUAccessFlags = 0;
  description.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  result = device_->CreateTexture2D(&description, nullptr, &texture_temp_);
  if (FAILED(result)) {
    return Fail("m_Device->CreateTexture2D( &desc, NULL, &m_TextureTemp ) : %08lx", result);
  }
  return true;
}

bool FrameRenderer::CreateExchange() {
  if (engine_device_ == nullptr) return true;  // no engine: every frame is refused
  std::string shared_failure;
  exchange_ = MakeSharedTextureExchange(device_, engine_device_, width_, height_, &shared_failure);
  if (exchange_) return true;
  // Systems that cannot share textures between devices (Wine among them)
  // hand the picture over through memory instead.
  std::string failure;
  exchange_ = MakeReadbackExchange(device_, engine_device_, width_, height_, &failure);
  if (exchange_) return true;
  std::lock_guard<std::mutex> hold(status_lock_);
  status_text_ = shared_failure + ", " + failure;
  return false;
}

bool FrameRenderer::CreatePipeline() {
  D3D11_SAMPLER_DESC sampling = {};
  sampling.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
  sampling.AddressU = sampling.AddressV = sampling.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
  sampling.ComparisonFunc = D3D11_COMPARISON_NEVER;
  sampling.MinLOD = 0;
  sampling.MaxLOD = D3D11_FLOAT32_MAX;
  HRESULT result = device_->CreateSamplerState(&sampling, &sampler_);
  if (FAILED(result)) return Fail("CreateSamplerState : %08lx", result);
  D3D11_BLEND_DESC blending = {};
  blending.RenderTarget[0].BlendEnable = FALSE;
  blending.RenderTarget[0].RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
  result = device_->CreateBlendState(&blending, &blend_);
  if (FAILED(result)) return Fail("CreateBlendState : %08lx", result);
  viewport_ = {0.0f, 0.0f, static_cast<float>(width_), static_cast<float>(height_), 0.0f, 1.0f};

  D3D11_SHADER_RESOURCE_VIEW_DESC view = {};
  view.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  view.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  view.Texture2D.MipLevels = 1;
  result = device_->CreateShaderResourceView(texture_temp_, &view, &source_view_);
  if (FAILED(result)) return Fail("CreateShaderResourceView : %08lx", result);

  result = device_->CreateVertexShader(kYuy2VertexShader, sizeof(kYuy2VertexShader), nullptr,
                                       &vertex_shader_);
  if (FAILED(result)) return Fail("CreateVertexShader : %08lx", result);
  const D3D11_INPUT_ELEMENT_DESC layout[] = {
      {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
      {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 12, D3D11_INPUT_PER_VERTEX_DATA, 0},
  };
  result = device_->CreateInputLayout(layout, 2, kYuy2VertexShader, sizeof(kYuy2VertexShader),
                                      &input_layout_);
  if (FAILED(result)) return Fail("CreateInputLayout : %08lx", result);
  context_->IASetInputLayout(input_layout_);
  result = device_->CreatePixelShader(kYuy2PixelShader, sizeof(kYuy2PixelShader), nullptr,
                                      &pixel_shader_);
  if (FAILED(result)) return Fail("CreatePixelShader : %08lx", result);

  constants_ = ConstantsForVideo(width_, height_);
  UploadConstants();
  return true;
}

// The whole 64-byte block as the pixel shader's constant buffer 0 (the
// context keeps the buffer).
void FrameRenderer::UploadConstants() {
  if (device_ == nullptr) return;
  D3D11_BUFFER_DESC description = {};
  description.ByteWidth = sizeof(ShaderConstants);
  description.Usage = D3D11_USAGE_DEFAULT;
  description.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
  D3D11_SUBRESOURCE_DATA data = {&constants_, 0, 0};
  ID3D11Buffer* buffer = nullptr;
  if (FAILED(device_->CreateBuffer(&description, &data, &buffer))) return;
  context_->PSSetConstantBuffers(0, 1, &buffer);
  buffer->Release();
}

void FrameRenderer::CloseDevice() {
  std::lock_guard<std::mutex> producer(producer_lock_);
  std::lock_guard<std::mutex> consumer(lock_);
  ReleaseAll();
  target_texture_ = nullptr;
  std::lock_guard<std::mutex> hold(status_lock_);
  status_text_.clear();
}

void FrameRenderer::ReleaseAll() {
  ReleaseAndClear(sampler_);
  ReleaseAndClear(blend_);
  ReleaseAndClear(source_view_);
  ReleaseAndClear(vertex_shader_);
  ReleaseAndClear(input_layout_);
  ReleaseAndClear(pixel_shader_);
  exchange_.reset();
  ReleaseAndClear(texture_temp_);
  ReleaseAndClear(texture_cpu_);
  ReleaseAndClear(context_);
  ReleaseAndClear(device_);
}

bool FrameRenderer::DeliverFrame(const uint8_t* data, long length, int64_t duration,
                                 IMediaSample* sample) {
  std::lock_guard<std::mutex> producer(producer_lock_);
  if (!exchange_) return false;
  const int64_t now = Now();
  if (!Upload(data, length)) return false;
  const int entry = frames_written_ % 2;
  if (exchange_->AcquireForProducer(entry, 1)) {
    if (!Draw(entry)) return false;
    next_presentation_time_ += duration;
    exchange_->presentation_time[entry] = next_presentation_time_;
    if (now >= next_presentation_time_) next_presentation_time_ = now + duration;
    exchange_->ReleaseFromProducer(entry, true);
    ++frames_written_;
  } else {
    ++frames_skipped_;  // the consumer still has the entry: this frame is dropped
  }
  WriteProducerLine(now, duration, sample);
  producer_rate_.Measure(now, frames_written_, &producer_per_second_);
  return true;
}

// Copies the frame's rows into the upload texture and on into the
// conversion's source. A short frame fills what it has; nothing is read
// past its end.
bool FrameRenderer::Upload(const uint8_t* data, long length) {
  D3D11_MAPPED_SUBRESOURCE mapped;
  const HRESULT result = context_->Map(texture_cpu_, 0, D3D11_MAP_WRITE, 0, &mapped);
  if (FAILED(result)) return Fail("Map : %08lx", result);
  const size_t source_pitch = length > 0 ? static_cast<size_t>(length) / height_ : 0;
  const size_t row = static_cast<size_t>(width_) * 2;
  const size_t copy = row < source_pitch ? row : source_pitch;
  for (int y = 0; y < height_ && copy > 0; ++y) {
    std::memcpy(static_cast<uint8_t*>(mapped.pData) + mapped.RowPitch * y,
                data + source_pitch * static_cast<size_t>(y), copy);
  }
  context_->Unmap(texture_cpu_, 0);
  const D3D11_BOX whole = {0, 0, 0, static_cast<UINT>(width_ / 2), static_cast<UINT>(height_), 1};
  context_->CopySubresourceRegion(texture_temp_, 0, 0, 0, 0, texture_cpu_, 0, &whole);
  return true;
}

bool FrameRenderer::Draw(int entry) {
  context_->RSSetViewports(1, &viewport_);
  ID3D11RenderTargetView* target = nullptr;
  HRESULT result =
      device_->CreateRenderTargetView(exchange_->ProducerTarget(entry), nullptr, &target);
  if (FAILED(result)) {
    exchange_->ReleaseFromProducer(entry, false);
    return Fail("CreateRenderTargetView : %08lx", result);
  }
  context_->OMSetBlendState(blend_, nullptr, 0xffffffff);
  context_->OMSetRenderTargets(1, &target, nullptr);
  context_->VSSetShader(vertex_shader_, nullptr, 0);
  context_->PSSetShader(pixel_shader_, nullptr, 0);
  context_->PSSetShaderResources(0, 1, &source_view_);
  context_->PSSetSamplers(0, 1, &sampler_);
  context_->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
  D3D11_BUFFER_DESC description = {};
  description.ByteWidth = sizeof(kQuad);
  description.Usage = D3D11_USAGE_DEFAULT;
  description.BindFlags = D3D11_BIND_VERTEX_BUFFER;
  D3D11_SUBRESOURCE_DATA vertices = {kQuad, 0, 0};
  ID3D11Buffer* buffer = nullptr;
  result = device_->CreateBuffer(&description, &vertices, &buffer);
  if (FAILED(result)) {
    target->Release();
    exchange_->ReleaseFromProducer(entry, false);
    return Fail("CreateBuffer : %08lx", result);
  }
  const UINT stride = sizeof(kQuad[0]);
  const UINT offset = 0;
  context_->IASetVertexBuffers(0, 1, &buffer, &stride, &offset);
  context_->Draw(6, 0);
  buffer->Release();
  target->Release();
  return true;
}

bool FrameRenderer::Update() {
  const int64_t now = Now();
  int64_t presentation_time = 0;
  bool presented = false;
  {
    std::lock_guard<std::mutex> consumer(lock_);
    ID3D11Texture2D* target = target_texture_;
    const int entry = frames_presented_ % 2;
    if (target != nullptr && exchange_ && exchange_->AcquireForConsumer(entry)) {
      presentation_time = exchange_->presentation_time[entry];
      if (now < presentation_time) {
        exchange_->ReleaseFromConsumer(entry, false);  // waits for a later update
      } else {
        exchange_->CopyToTarget(entry, target);
        exchange_->ReleaseFromConsumer(entry, true);
        ++frames_presented_;
        presented = true;
      }
    }
    ++update_calls_;
    WriteConsumerLine(now, presentation_time, presented);
    update_rate_.Measure(now, update_calls_, &updates_per_second_);
  }
  return presented;
}

void FrameRenderer::SetFilterMode(int mode) {
  std::lock_guard<std::mutex> producer(producer_lock_);
  if (SetColourMode(&constants_, mode)) UploadConstants();
}

bool FrameRenderer::StartTimingLog(const std::string& file_name) {
  const bool opened = timing_log_.Open(ToUtf8(FromAnsi(file_name.c_str(), 261)));
  timing_log_open_ = opened;
  std::lock_guard<std::mutex> producer(producer_lock_);
  WriteExchangeLine();
  return opened;
}

void FrameRenderer::WriteExchangeLine() {
  if (device_ == nullptr) return;
  timing_log_.Write(std::string("exchange: ") + exchange_name() + "\r\n");
}

void FrameRenderer::WriteProducerLine(int64_t now, int64_t duration, IMediaSample* sample) {
  if (!timing_log_open_) {
    last_producer_line_ = now;
    return;
  }
  REFERENCE_TIME start = 0;
  REFERENCE_TIME end = 0;
  LONGLONG media_start = 0;
  LONGLONG media_end = 0;
  if (sample != nullptr) {
    sample->GetTime(&start, &end);
    sample->GetMediaTime(&media_start, &media_end);
  }
  char line[256];
  std::snprintf(line, sizeof(line),
                "%33s%8dms(%2d) : frame_time = %8dms,  pt=%6d-%6d(%6d),  mt=%6d-%6d(%6d)\r\n", "",
                Ms(now - opened_at_), Ms(now - last_producer_line_), Ms(duration), Ms(start),
                Ms(end), Ms(end - start), Ms(media_start), Ms(media_end),
                Ms(media_end - media_start));
  last_producer_line_ = now;
  timing_log_.Write(line);
}

void FrameRenderer::WriteConsumerLine(int64_t now, int64_t presentation_time, bool presented) {
  if (!timing_log_open_) {
    last_consumer_line_ = now;
    return;
  }
  char line[160];
  std::snprintf(line, sizeof(line), "%8dms(%2d) : llPresentTime = %8dms, now = %8dms %s\r\n",
                Ms(now - opened_at_), Ms(now - last_consumer_line_), Ms(presentation_time), Ms(now),
                presented ? "o" : ".");
  last_consumer_line_ = now;
  timing_log_.Write(line);
}

std::string FrameRenderer::status_text() const {
  std::lock_guard<std::mutex> hold(status_lock_);
  return status_text_;
}

const char* FrameRenderer::exchange_name() const { return exchange_ ? exchange_->name() : "none"; }

}  // namespace tarnwick
