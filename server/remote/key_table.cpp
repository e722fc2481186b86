#include "remote/key_table.h"

#include <atomic>

namespace velmor {
namespace {

std::atomic<int> key_table[256];

std::atomic<int>& Entry(uint32_t virtual_key) { return key_table[virtual_key & 0xff]; }

}  // namespace

bool KeyIsDown(uint32_t virtual_key) {
  return Entry(virtual_key).load(std::memory_order_relaxed) != 0;
}

void SetKeyDown(uint32_t virtual_key, bool down) {
  Entry(virtual_key).store(down ? 1 : 0, std::memory_order_relaxed);
}

void ClearKeyTable() {
  for (std::atomic<int>& entry : key_table) entry.store(0, std::memory_order_relaxed);
}

bool NoteHookedKey(uint32_t virtual_key, HookedKeyMessage message) {
  if (message == HookedKeyMessage::kKeyDown) SetKeyDown(virtual_key, true);
  // A key let go while Alt is held is up all the same: otherwise it would
  // read as held until it is pressed again.
  if (message == HookedKeyMessage::kKeyUp || message == HookedKeyMessage::kSystemKeyUp) {
    SetKeyDown(virtual_key, false);
  }
  for (const uint32_t key : kRemoteKeys) {
    if (key == virtual_key) return true;
  }
  return false;
}

}  // namespace velmor
