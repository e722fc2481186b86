// One block of a stream slot's read ring: a 4,096-aligned stretch of the
// slot's ring memory that the slot's reader fills with a stretch of the
// file and the stream server's sender empties onto the connection.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace velmor {

// The reader and the sender hand a block over without the slot lock, so the
// fields they share are atomic. The reader writes the buffer, then start,
// end and sent offset, then bytes left and ready; the sender reads ready,
// then bytes left, then the rest. A ready block holds the bytes
// [start, end) of the open file, and bytes left = end - (start + sent offset).
struct CacheBlock {
  int number = 0;
  int previous = 0;  // ring neighbours, by number
  int next = 0;
  uint8_t* buffer = nullptr;  // block-size bytes of the slot's ring memory
  std::atomic<int64_t> bytes_left{0};
  std::atomic<int64_t> sent_offset{0};
  std::atomic<int64_t> start{-1};
  std::atomic<int64_t> end{-1};
  std::atomic<bool> ready{false};

  // Holds nothing: not ready, nothing to send, no file range.
  void MarkEmpty();
  // Everything it holds counts as sent (a seek moved away from it); its
  // range stays known, so a later seek can find it again.
  void MarkAllSent();
  bool Holds(int64_t position) const;
};

}  // namespace velmor
