// How a converted frame passes from the renderer's own device (the
// producer, on DirectShow's streaming thread) to the engine's device (the
// consumer, on the engine's render thread): two entries used strictly in
// turn, each owned by one side at a time. Key 0 hands an entry to the
// producer, key 1 to the consumer; neither side ever waits for the other
// longer than the producer's 1 ms.
#pragma once

#include <d3d11.h>

#include <cstdint>
#include <memory>
#include <string>

namespace tarnwick {

class TextureExchange {
 public:
  virtual ~TextureExchange() = default;
  // What the timing log and status text call it.
  virtual const char* name() const = 0;

  // Producer: takes the entry (key 0) within wait_ms; false when the
  // consumer still has it.
  virtual bool AcquireForProducer(int entry, uint32_t wait_ms) = 0;
  // The entry's render target on the own device.
  virtual ID3D11Texture2D* ProducerTarget(int entry) = 0;
  // Gives the drawn entry to the consumer (key 1), or back to the producer
  // (key 0) after a failed draw.
  virtual void ReleaseFromProducer(int entry, bool to_consumer) = 0;

  // Consumer: takes the entry (key 1) without waiting.
  virtual bool AcquireForConsumer(int entry) = 0;
  // Copies the entry's picture into the engine's texture.
  virtual void CopyToTarget(int entry, ID3D11Texture2D* target) = 0;
  // Gives the entry back to the producer (key 0), or keeps it for a later
  // update (key 1) when its time has not come.
  virtual void ReleaseFromConsumer(int entry, bool to_producer) = 0;

  // The entry's presentation time (100 ns units): written by the producer
  // before it hands the entry over, read by the consumer after it took it.
  int64_t presentation_time[2] = {0, 0};
};

// The shared textures with keyed mutexes, opened on the engine's device;
// null with the reason in *status when the system cannot share them.
std::unique_ptr<TextureExchange> MakeSharedTextureExchange(ID3D11Device* own, ID3D11Device* engine,
                                                           int width, int height,
                                                           std::string* status);
// The same two entries without sharing: the producer reads the converted
// picture back and the consumer uploads it into the engine's texture.
std::unique_ptr<TextureExchange> MakeReadbackExchange(ID3D11Device* own, ID3D11Device* engine,
                                                      int width, int height, std::string* status);

}  // namespace tarnwick
