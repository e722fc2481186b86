// The frame exchange through a pair of textures shared between the two
// devices, each guarded by a keyed mutex.
#include <dxgi.h>

#include "com_objects.h"
#include "texture_exchange.h"

namespace tarnwick {
namespace {

class SharedTextureExchange : public TextureExchange {
 public:
  SharedTextureExchange(ID3D11Device* engine, int width, int height)
      : width_(width), height_(height) {
    engine->GetImmediateContext(&engine_context_);
  }

  ~SharedTextureExchange() override {
    for (Entry& entry : entries_) {
      ReleaseAndClear(entry.engine_mutex);
      ReleaseAndClear(entry.engine_texture);
      ReleaseAndClear(entry.own_mutex);
      ReleaseAndClear(entry.own_texture);
    }
    ReleaseAndClear(engine_context_);
  }

  // Makes both entries; the reason in *status when one cannot be made.
  bool Create(ID3D11Device* own, ID3D11Device* engine, std::string* status) {
    D3D11_TEXTURE2D_DESC description = BgraTexture(width_, height_, D3D11_BIND_RENDER_TARGET);
    description.MiscFlags = D3D11_RESOURCE_MISC_SHARED_KEYEDMUTEX;
    for (Entry& entry : entries_) {
      HRESULT result = own->CreateTexture2D(&description, nullptr, &entry.own_texture);
      if (FAILED(result)) return Fail(status, "CreateTexture2D(shared)", result);
      result = entry.own_texture->QueryInterface(__uuidof(IDXGIKeyedMutex),
                                                 reinterpret_cast<void**>(&entry.own_mutex));
      if (FAILED(result)) return Fail(status, "QueryInterface(IDXGIKeyedMutex)", result);
      IDXGIResource* resource = nullptr;
      HANDLE shared = nullptr;
      result = entry.own_texture->QueryInterface(__uuidof(IDXGIResource),
                                                 reinterpret_cast<void**>(&resource));
      if (SUCCEEDED(result)) {
        result = resource->GetSharedHandle(&shared);
        resource->Release();
      }
      if (FAILED(result)) return Fail(status, "GetSharedHandle", result);
      result = engine->OpenSharedResource(shared, __uuidof(ID3D11Texture2D),
                                          reinterpret_cast<void**>(&entry.engine_texture));
      if (FAILED(result)) return Fail(status, "OpenSharedResource", result);
      result = entry.engine_texture->QueryInterface(__uuidof(IDXGIKeyedMutex),
                                                    reinterpret_cast<void**>(&entry.engine_mutex));
      if (FAILED(result)) return Fail(status, "QueryInterface(IDXGIKeyedMutex)", result);
    }
    return true;
  }

  const char* name() const override { return "shared textures with keyed mutexes"; }

  bool AcquireForProducer(int entry, uint32_t wait_ms) override {
    return entries_[entry].own_mutex->AcquireSync(0, wait_ms) == S_OK;
  }
  ID3D11Texture2D* ProducerTarget(int entry) override { return entries_[entry].own_texture; }
  void ReleaseFromProducer(int entry, bool to_consumer) override {
    entries_[entry].own_mutex->ReleaseSync(to_consumer ? 1 : 0);
  }
  bool AcquireForConsumer(int entry) override {
    return entries_[entry].engine_mutex->AcquireSync(1, 0) == S_OK;
  }
  void CopyToTarget(int entry, ID3D11Texture2D* target) override {
    const D3D11_BOX whole = {0, 0, 0, static_cast<UINT>(width_), static_cast<UINT>(height_), 1};
    engine_context_->CopySubresourceRegion(target, 0, 0, 0, 0, entries_[entry].engine_texture, 0,
                                           &whole);
  }
  void ReleaseFromConsumer(int entry, bool to_producer) override {
    entries_[entry].engine_mutex->ReleaseSync(to_producer ? 0 : 1);
  }

 private:
  struct Entry {
    ID3D11Texture2D* own_texture = nullptr;
    IDXGIKeyedMutex* own_mutex = nullptr;
    ID3D11Texture2D* engine_texture = nullptr;
    IDXGIKeyedMutex* engine_mutex = nullptr;
  };

  static bool Fail(std::string* status, const char* call, HRESULT result) {
    *status = CallFailed(call, result);
    return false;
  }

  int width_;
  int height_;
  ID3D11DeviceContext* engine_context_ = nullptr;
  Entry entries_[2];
};

}  // namespace

std::unique_ptr<TextureExchange> MakeSharedTextureExchange(ID3D11Device* own, ID3D11Device* engine,
                                                           int width, int height,
                                                           std::string* status) {
  auto exchange = std::make_unique<SharedTextureExchange>(engine, width, height);
  if (!exchange->Create(own, engine, status)) return nullptr;
  return exchange;
}

}  // namespace tarnwick
