#include "stream/request_buffer.h"

#include <cstring>
#include <string_view>

namespace velmor {

void RequestBuffer::Commit(size_t count) { fill_ += count <= free_size() ? count : free_size(); }

RequestBuffer::Next RequestBuffer::TakeRequest(std::string* block) {
  const std::string_view held(bytes_.data(), fill_);
  const size_t end = held.find("\r\n\r\n");
  if (end == std::string_view::npos) return fill_ == kCapacity ? Next::kTooLong : Next::kNeedMore;
  const size_t length = end + 4;
  block->assign(held.substr(0, length));
  std::memmove(bytes_.data(), bytes_.data() + length, fill_ - length);
  fill_ -= length;
  return Next::kRequest;
}

}  // namespace velmor
