// Large buffers taken straight from the system's memory pages: aligned to a
// page (so fit for unbuffered reads, which need 4,096-byte alignment) and,
// where the system offers them, backed by huge pages, which make pinning
// the buffer for each unbuffered read and copying from it cheaper.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmor::platform {

class PageBuffer {
 public:
  PageBuffer() = default;
  ~PageBuffer() { Free(); }
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  // False (and empty) when the memory cannot be had.
  bool Allocate(size_t size);
  void Free();
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  void* mapping_ = nullptr;  // what the system gave, to give back
  size_t mapping_size_ = 0;
};

}  // namespace velmor::platform
