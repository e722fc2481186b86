#include "command/packet_reader.h"

#include "base/utf.h"

#include <cstring>

namespace velmor {

FrameResult FramePacket(const uint8_t* data, size_t size, size_t capacity, PacketView* packet) {
  if (size < kPacketHeaderSize) return FrameResult::kIncomplete;
  if (LoadLe32(data) != kCodePack) return FrameResult::kNotPack;
  const int32_t length = static_cast<int32_t>(LoadLe32(data + 4));
  if (length < 0) return FrameResult::kBadLength;
  const size_t total = kPacketHeaderSize + static_cast<size_t>(length);
  if (total > capacity) return FrameResult::kTooLong;
  if (size < total) return FrameResult::kIncomplete;
  packet->payload = data + kPacketHeaderSize;
  packet->payload_size = static_cast<size_t>(length);
  packet->total_size = total;
  return FrameResult::kReady;
}

size_t ConsumePacket(uint8_t* data, size_t fill, size_t packet_size) {
  if (packet_size >= fill) return 0;
  const size_t rest = fill - packet_size;
  std::memmove(data, data + packet_size, rest);
  return rest;
}

bool ChunkCursor::Next(Chunk* chunk) {
  if (error_ != ChunkError::kNone || AtEnd()) return false;
  const size_t left = size_ - position_;
  if (left < kChunkHeaderSize) {
    error_ = ChunkError::kCutHeader;
    return false;
  }
  const uint8_t* header = data_ + position_;
  const uint32_t length = LoadLe32(header + 4);
  if (length > left - kChunkHeaderSize) {
    error_ = ChunkError::kPastEnd;
    return false;
  }
  chunk->code = LoadLe32(header);
  chunk->payload = header + kChunkHeaderSize;
  chunk->size = length;
  position_ += kChunkHeaderSize + length;
  return true;
}

std::string ChunkText(const Chunk& chunk) {
  std::u16string text = LoadUtf16Le(chunk.payload, chunk.size);
  const size_t zero = text.find(u'\0');
  if (zero != std::u16string::npos) text.resize(zero);
  return Utf16ToUtf8(text);
}

}  // namespace velmor
