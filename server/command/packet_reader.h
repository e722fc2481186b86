// Framing of received bytes into packets and the walk over a packet's
// chunks. Pure byte work: the session owns the buffer and the socket.
//
// Packet: "PACK", length L (signed 32-bit), then L bytes of chunks.
// Chunk: a four-character code, length n (32-bit), then n bytes of payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "command/packet_format.h"

namespace velmor {

enum class FrameResult {
  kIncomplete,  // fewer than 8 + L bytes buffered: wait for more
  kReady,       // one whole packet stands at the front of the buffer
  kNotPack,     // the first four bytes are not "PACK"; the bytes stay as they are
  kTooLong,     // 8 + L exceeds the buffer: this packet can never complete
  kBadLength,   // L is negative
};

struct PacketView {
  const uint8_t* payload = nullptr;  // the chunks, right after the header
  size_t payload_size = 0;           // L
  size_t total_size = 0;             // 8 + L: what consuming the packet removes
};

// Frames the packet at the front of `data` (the `size` bytes buffered so far)
// for a receive buffer of `capacity` bytes. Only kReady fills `packet`. The
// three refusals can never turn into a packet by receiving more, so the
// session has to end the connection (or report it on every pass).
FrameResult FramePacket(const uint8_t* data, size_t size, size_t capacity, PacketView* packet);

// Removes the first `packet_size` bytes of the `fill` buffered ones, moving
// what follows (the start of the next packet) to the front. Returns the new
// fill. Removes everything when `packet_size` exceeds `fill`.
size_t ConsumePacket(uint8_t* data, size_t fill, size_t packet_size);

struct Chunk {
  uint32_t code = 0;  // compare with kCodeStrg etc.
  const uint8_t* payload = nullptr;
  size_t size = 0;
};

enum class ChunkError {
  kNone,
  kCutHeader,  // fewer than 8 bytes left before the packet end
  kPastEnd,    // the chunk's length runs past the packet end
};

// Walks the chunks of one packet's payload in order. A chunk that does not
// lie wholly inside the packet is refused: Next returns false, error() tells
// why, and the walk stays stopped there (the session answers that chunk with
// result 0 and drops the rest of the packet). Nothing outside the payload is
// ever read.
class ChunkCursor {
 public:
  ChunkCursor() = default;  // cleared: at its end, no packet
  ChunkCursor(const uint8_t* payload, size_t size) : data_(payload), size_(size) {}
  explicit ChunkCursor(const PacketView& packet)
      : ChunkCursor(packet.payload, packet.payload_size) {}

  // Gives the next chunk and moves past it. False at the packet end and at a
  // refused chunk.
  bool Next(Chunk* chunk);
  // True when every chunk has been taken (a packet without chunks at once).
  bool AtEnd() const { return position_ == size_; }
  ChunkError error() const { return error_; }
  // Bytes of the payload taken so far.
  size_t position() const { return position_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t position_ = 0;
  ChunkError error_ = ChunkError::kNone;
};

// A "STRG" payload as UTF-8: the UTF-16LE text up to its terminating zero.
std::string ChunkText(const Chunk& chunk);

}  // namespace velmor
