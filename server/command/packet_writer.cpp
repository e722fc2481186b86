#include "command/packet_writer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/utf.h"

namespace velmor {
namespace {

constexpr size_t kSmallPieceSize = 65536;
constexpr size_t kLargePieceSize = 1048576;
constexpr int kLargePieceProtocol = 220;

}  // namespace

size_t RawPieceSize(int protocol_version) {
  return protocol_version < kLargePieceProtocol ? kSmallPieceSize : kLargePieceSize;
}

PacketWriter::PacketWriter(size_t capacity)
    : buffer_(std::max(capacity, kPacketHeaderSize + kChunkHeaderSize)) {}

std::unique_ptr<PacketWriter> PacketWriter::Create(size_t capacity) {
  try {
    return std::make_unique<PacketWriter>(capacity);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool PacketWriter::Fits(size_t n) const {
  const size_t room = buffer_.size() - write_position_;
  return room >= kChunkHeaderSize && n <= room - kChunkHeaderSize;
}

bool PacketWriter::CanEverFit(size_t n) const {
  return n <= buffer_.size() - kPacketHeaderSize - kChunkHeaderSize;
}

uint8_t* PacketWriter::ReserveChunk(uint32_t code, size_t n) {
  if (!CanEverFit(n)) return nullptr;
  if (!Fits(n)) {
    if (!sink_) return nullptr;
    Flush();
  }
  uint8_t* header = buffer_.data() + write_position_;
  StoreLe32(code, header);
  StoreLe32(static_cast<uint32_t>(n), header + 4);
  std::memset(header + kChunkHeaderSize, 0, n);
  write_position_ += kChunkHeaderSize + n;
  return header + kChunkHeaderSize;
}

bool PacketWriter::AppendChunk(uint32_t code, const void* bytes, size_t n) {
  uint8_t* payload = ReserveChunk(code, n);
  if (payload == nullptr) return false;
  if (n > 0) std::memcpy(payload, bytes, n);
  return true;
}

bool PacketWriter::AppendText(std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  uint8_t* payload = ReserveChunk(kCodeStrg, 2 * (text.size() + 1));
  if (payload == nullptr) return false;
  StoreUtf16Le(text, payload);  // the zero is already there
  return true;
}

bool PacketWriter::AppendResultSlot(int slot, int64_t value, std::string_view utf8) {
  const std::u16string text = Utf8ToUtf16(CutToUtf16Units(utf8, kResultSlotTextMax));
  const size_t text_bytes = 2 * (text.size() + 1);
  uint8_t* payload = ReserveChunk(kCodeRtms, 2 + 8 + 2 + text_bytes);
  if (payload == nullptr) return false;
  StoreLe16(static_cast<uint16_t>(slot), payload);
  StoreLe64(static_cast<uint64_t>(value), payload + 2);
  StoreLe16(static_cast<uint16_t>(text_bytes), payload + 10);
  StoreUtf16Le(text, payload + 12);
  return true;
}

bool PacketWriter::AppendRawPiece(const void* bytes, size_t n) {
  return AppendChunk(kCodeRtda, bytes, n);
}

std::span<const uint8_t> PacketWriter::FramedPacket() {
  if (empty()) return {};
  StoreLe32(kCodePack, buffer_.data());
  StoreLe32(static_cast<uint32_t>(queued_size()), buffer_.data() + 4);
  return {buffer_.data(), write_position_};
}

bool PacketWriter::Flush() {
  if (empty()) return true;
  if (!sink_) return false;
  const bool sent = sink_(FramedPacket());
  Reset();
  return sent;
}

bool PacketWriter::SendRawData(const void* bytes, size_t size, size_t piece_size) {
  if (!sink_) return false;
  bool all_sent = Flush();
  // A piece must fit an empty buffer; a size of 0 would never end.
  const size_t largest = buffer_.size() - kPacketHeaderSize - kChunkHeaderSize;
  piece_size = std::clamp<size_t>(piece_size, 1, largest);
  const auto* data = static_cast<const uint8_t*>(bytes);
  for (size_t offset = 0; offset < size; offset += piece_size) {
    AppendRawPiece(data + offset, std::min(piece_size, size - offset));
    all_sent = Flush() && all_sent;
  }
  return all_sent;
}

}  // namespace velmor
