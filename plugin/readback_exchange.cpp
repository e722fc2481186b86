// The frame exchange for systems that cannot share textures between two
// devices (Wine among them): the producer reads the converted picture back
// from its own device into memory, and the consumer uploads it into the
// engine's texture. The two entries and their keys are kept with atomics,
// with the same strict turns as the keyed mutexes.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "com_objects.h"
#include "texture_exchange.h"

namespace tarnwick {
namespace {

class ReadbackExchange : public TextureExchange {
 public:
  ReadbackExchange(ID3D11Device* own, ID3D11Device* engine, int width, int height)
      : width_(width), height_(height) {
    own->GetImmediateContext(&own_context_);
    engine->GetImmediateContext(&engine_context_);
  }

  ~ReadbackExchange() override {
    for (Entry& entry : entries_) ReleaseAndClear(entry.target);
    ReleaseAndClear(staging_);
    ReleaseAndClear(engine_context_);
    ReleaseAndClear(own_context_);
  }

  bool Create(ID3D11Device* own, std::string* status) {
    D3D11_TEXTURE2D_DESC description = BgraTexture(width_, height_, D3D11_BIND_RENDER_TARGET);
    for (Entry& entry : entries_) {
      const HRESULT result = own->CreateTexture2D(&description, nullptr, &entry.target);
      if (FAILED(result)) return Fail(status, "CreateTexture2D(exchange)", result);
      entry.picture.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    }
    description.Usage = D3D11_USAGE_STAGING;
    description.BindFlags = 0;
    description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    const HRESULT result = own->CreateTexture2D(&description, nullptr, &staging_);
    if (FAILED(result)) return Fail(status, "CreateTexture2D(readback)", result);
    return true;
  }

  const char* name() const override { return "read back and upload"; }

  bool AcquireForProducer(int entry, uint32_t wait_ms) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
      int expected = kProducers;
      if (entries_[entry].owner.compare_exchange_strong(expected, kProducerHolds)) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::yield();
    }
  }
  ID3D11Texture2D* ProducerTarget(int entry) override { return entries_[entry].target; }
  void ReleaseFromProducer(int entry, bool to_consumer) override {
    if (to_consumer) ReadBack(entries_[entry]);
    entries_[entry].owner = to_consumer ? kConsumers : kProducers;
  }

  bool AcquireForConsumer(int entry) override {
    int expected = kConsumers;
    return entries_[entry].owner.compare_exchange_strong(expected, kConsumerHolds);
  }
  void CopyToTarget(int entry, ID3D11Texture2D* target) override {
    const D3D11_BOX whole = {0, 0, 0, static_cast<UINT>(width_), static_cast<UINT>(height_), 1};
    engine_context_->UpdateSubresource(target, 0, &whole, entries_[entry].picture.data(),
                                       static_cast<UINT>(width_) * 4, 0);
  }
  void ReleaseFromConsumer(int entry, bool to_producer) override {
    entries_[entry].owner = to_producer ? kProducers : kConsumers;
  }

 private:
  // The keys, and who holds an entry between acquire and release.
  enum Owner : int { kProducers = 0, kConsumers = 1, kProducerHolds = 2, kConsumerHolds = 3 };

  struct Entry {
    ID3D11Texture2D* target = nullptr;
    std::vector<uint8_t> picture;  // BGRA rows, width x 4 bytes each
    std::atomic<int> owner{kProducers};
  };

  void ReadBack(Entry& entry) {
    own_context_->CopyResource(staging_, entry.target);
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(own_context_->Map(staging_, 0, D3D11_MAP_READ, 0, &mapped))) return;
    const size_t row = static_cast<size_t>(width_) * 4;
    for (int y = 0; y < height_; ++y) {
      std::memcpy(entry.picture.data() + row * static_cast<size_t>(y),
                  static_cast<const uint8_t*>(mapped.pData) + mapped.RowPitch * y, row);
    }
    own_context_->Unmap(staging_, 0);
  }

  static bool Fail(std::string* status, const char* call, HRESULT result) {
    *status = CallFailed(call, result);
    return false;
  }

  int width_;
  int height_;
  ID3D11DeviceContext* own_context_ = nullptr;
  ID3D11DeviceContext* engine_context_ = nullptr;
  ID3D11Texture2D* staging_ = nullptr;
  Entry entries_[2];
};

}  // namespace

std::unique_ptr<TextureExchange> MakeReadbackExchange(ID3D11Device* own, ID3D11Device* engine,
                                                      int width, int height, std::string* status) {
  auto exchange = std::make_unique<ReadbackExchange>(own, engine, width, height);
  if (!exchange->Create(own, status)) return nullptr;
  return exchange;
}

}  // namespace tarnwick
