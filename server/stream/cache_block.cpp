#include "stream/cache_block.h"

namespace velmor {

void CacheBlock::MarkEmpty() {
  ready = false;
  bytes_left = 0;
  sent_offset = 0;
  start = -1;
  end = -1;
}

void CacheBlock::MarkAllSent() {
  ready = false;
  bytes_left = 0;
  sent_offset = end - start;
}

bool CacheBlock::Holds(int64_t position) const { return start <= position && position < end; }

}  // namespace velmor
