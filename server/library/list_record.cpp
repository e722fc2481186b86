#include "library/list_record.h"

namespace velmor {

uint32_t ListItemWord(uint64_t state_flags, uint32_t bits, int media_type, uint32_t kind) {
  return static_cast<uint32_t>(state_flags & kItemFlagsMask) | bits |
         (static_cast<uint32_t>(media_type & 0xF) << 20) | ((kind & 0xF) << 24);
}

}  // namespace velmor
