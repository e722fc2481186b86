// Arbitrary bytes as what a stream connection sends: cut into pieces as TCP
// might deliver them, collected into header blocks, parsed, split and
// decoded. Nothing may read outside the input, and every result must be a
// piece of it that keeps its promises.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/utf.h"
#include "stream/http_request.h"
#include "stream/percent_decode.h"
#include "stream/request_buffer.h"

namespace {

void CheckRequest(std::string_view block) {
  const auto request = velmor::ParseHttpRequest(block);
  if (!request) return;
  if (block.substr(0, 4) != "GET ") abort();
  if (request->target.size() > block.size()) abort();
  if (request->target.find(' ') != std::string::npos ||
      request->target.find("\r\n") != std::string::npos) {
    abort();
  }
  if (request->range && request->range->value() < 0) abort();
  const velmor::RequestTarget target = velmor::SplitRequestTarget(request->target);
  if (target.path.find('?') != std::string_view::npos) abort();
  if (request->target.compare(0, target.path.size(), target.path) != 0) abort();
  if (target.stream < -1) abort();
  if (velmor::PercentDecode(target.path).size() > target.path.size()) abort();
  const auto path = velmor::DecodeRequestPath(target.path);
  if (path && (path->find('\0') != std::string::npos ||
               velmor::Utf16Length(*path) > velmor::kMaxRequestPathUnits)) {
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte sets the piece size the bytes arrive in.
  const size_t piece = 1 + data[0] % 64;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  velmor::RequestBuffer buffer;
  std::string taken;
  std::string block;
  for (size_t offset = 0; offset < input.size();) {
    const size_t count = std::min({piece, input.size() - offset, buffer.free_size()});
    memcpy(buffer.free_space(), input.data() + offset, count);
    buffer.Commit(count);
    offset += count;
    for (;;) {
      const velmor::RequestBuffer::Next next = buffer.TakeRequest(&block);
      if (next == velmor::RequestBuffer::Next::kTooLong) return 0;  // the connection closes
      if (next == velmor::RequestBuffer::Next::kNeedMore) break;
      if (block.size() < 4 || block.compare(block.size() - 4, 4, "\r\n\r\n") != 0) abort();
      if (block.find("\r\n\r\n") != block.size() - 4) abort();
      taken += block;
      CheckRequest(block);
    }
    // Every byte is either handed out or still held, in order.
    if (taken.size() + buffer.size() != offset || input.compare(0, taken.size(), taken) != 0) {
      abort();
    }
  }
  CheckRequest(input);
  return 0;
}
