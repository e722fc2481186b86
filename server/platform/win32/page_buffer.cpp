#include "platform/page_buffer.h"

#include <windows.h>

namespace velmor::platform {

// VirtualAlloc gives page-aligned memory; large pages would need a user
// right that ordinary accounts lack.
bool PageBuffer::Allocate(size_t size) {
  Free();
  if (size == 0) return false;
  void* mapping = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (mapping == nullptr) return false;
  data_ = static_cast<uint8_t*>(mapping);
  size_ = size;
  mapping_ = mapping;
  mapping_size_ = size;
  return true;
}

void PageBuffer::Free() {
  if (mapping_ != nullptr) VirtualFree(mapping_, 0, MEM_RELEASE);
  data_ = nullptr;
  size_ = 0;
  mapping_ = nullptr;
  mapping_size_ = 0;
}

}  // namespace velmor::platform
