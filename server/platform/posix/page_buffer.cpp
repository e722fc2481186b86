#include "platform/page_buffer.h"

#include <sys/mman.h>

namespace velmor::platform {
namespace {

// Huge pages are 2 MiB; a buffer that starts on such a boundary can use them.
constexpr size_t kHugePage = 2 * 1024 * 1024;

}  // namespace

bool PageBuffer::Allocate(size_t size) {
  Free();
  if (size == 0) return false;
  const size_t mapping_size = size + kHugePage;
  void* mapping =
      mmap(nullptr, mapping_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return false;
  const auto address = reinterpret_cast<uintptr_t>(mapping);
  const uintptr_t aligned = (address + kHugePage - 1) / kHugePage * kHugePage;
  data_ = reinterpret_cast<uint8_t*>(aligned);
  size_ = size;
  mapping_ = mapping;
  mapping_size_ = mapping_size;
#ifdef MADV_HUGEPAGE
  madvise(data_, size_, MADV_HUGEPAGE);
#endif
  return true;
}

void PageBuffer::Free() {
  if (mapping_ != nullptr) munmap(mapping_, mapping_size_);
  data_ = nullptr;
  size_ = 0;
  mapping_ = nullptr;
  mapping_size_ = 0;
}

}  // namespace velmor::platform
