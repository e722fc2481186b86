// The send buffer: queues chunks behind room for the packet header and frames
// them as one packet. The socket is the session's: it hands in a sink that
// sends one framed packet (with its time-out and status event).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "command/packet_format.h"

namespace velmor {

// Sends one framed packet; false when it could not be sent (the packet is
// dropped either way).
using PacketSink = std::function<bool(std::span<const uint8_t> packet)>;

// Result slot texts are cut to this many UTF-16 units, so that one record
// always fits the 2,048-byte scratch buffer of the server.
inline constexpr size_t kResultSlotTextMax = 780;

// Raw data goes in pieces of 64 KiB to players older than protocol 220,
// which cannot take more at once, and of 1 MiB to newer ones.
size_t RawPieceSize(int protocol_version);

class PacketWriter {
 public:
  explicit PacketWriter(size_t capacity = kPacketBufferCapacity);
  // The writer, or null when its buffer cannot be allocated (the
  // constructor would throw std::bad_alloc).
  static std::unique_ptr<PacketWriter> Create(size_t capacity = kPacketBufferCapacity);

  // Where Flush, and an append that does not fit behind the queued chunks,
  // send the packet.
  void SetSink(PacketSink sink) { sink_ = std::move(sink); }

  // Whether a chunk of n payload bytes fits behind what is queued, and
  // whether it fits an empty buffer at all.
  bool Fits(size_t n) const;
  bool CanEverFit(size_t n) const;

  // Queues one chunk and returns its payload room of n bytes (zeroed) for
  // the caller to fill. When the chunk does not fit behind what is queued,
  // the queued chunks are flushed first (the chunk is queued even when that
  // send fails: the failure is the sink's to report). Null when the chunk
  // can never fit, or when it needs a flush and there is no sink.
  uint8_t* ReserveChunk(uint32_t code, size_t n);
  // ReserveChunk and copy the n bytes in. False as ReserveChunk's null.
  bool AppendChunk(uint32_t code, const void* bytes, size_t n);

  // "STRG": the text as UTF-16LE with its terminating zero.
  bool AppendText(std::string_view utf8);
  // "RTMS": slot index (16-bit), value, text byte count with the zero
  // (16-bit), the text as UTF-16LE cut to kResultSlotTextMax units.
  bool AppendResultSlot(int slot, int64_t value, std::string_view utf8);
  // "RTDA": one piece of raw data.
  bool AppendRawPiece(const void* bytes, size_t n);

  // Writes "PACK" and the length into the first 8 bytes and returns the
  // whole packet; the chunks stay queued. Empty when nothing is queued.
  std::span<const uint8_t> FramedPacket();
  // Frames the queued chunks, hands them to the sink and empties the buffer
  // (also when the send fails). True when nothing was queued or the sink
  // sent it; false without a sink (the chunks then stay queued).
  bool Flush();
  // Sends a block as "RTDA" pieces of at most piece_size bytes, each in a
  // packet of its own, after flushing what is queued. Every piece is tried
  // even when one fails; true when all were sent.
  bool SendRawData(const void* bytes, size_t size, size_t piece_size);

  // Drops the queued chunks.
  void Reset() { write_position_ = kPacketHeaderSize; }
  bool empty() const { return write_position_ == kPacketHeaderSize; }
  // Bytes of chunks queued (without the packet header).
  size_t queued_size() const { return write_position_ - kPacketHeaderSize; }
  size_t capacity() const { return buffer_.size(); }

 private:
  std::vector<uint8_t> buffer_;
  size_t write_position_ = kPacketHeaderSize;
  PacketSink sink_;
};

}  // namespace velmor
