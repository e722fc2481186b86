// Little-endian byte reading and writing for the command connection's
// layouts. The reader never reads past its view: every read reports whether
// the bytes were there, so a truncated chunk from the server is refused
// instead of read beyond its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmor::player {

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  size_t remaining() const { return bytes_.size() - position_; }
  bool AtEnd() const { return remaining() == 0; }

  bool ReadU16(uint16_t* value) { return ReadLittleEndian(value); }
  bool ReadU32(uint32_t* value) { return ReadLittleEndian(value); }
  bool ReadI16(int16_t* value) { return ReadSigned<uint16_t>(value); }
  bool ReadI32(int32_t* value) { return ReadSigned<uint32_t>(value); }
  bool ReadI64(int64_t* value) { return ReadSigned<uint64_t>(value); }

  bool ReadBytes(size_t count, std::string_view* bytes) {
    if (count > remaining()) return false;
    *bytes = bytes_.substr(position_, count);
    position_ += count;
    return true;
  }

 private:
  template <typename Unsigned>
  bool ReadLittleEndian(Unsigned* value) {
    if (remaining() < sizeof(Unsigned)) return false;
    Unsigned result = 0;
    for (size_t i = 0; i < sizeof(Unsigned); ++i) {
      const auto byte = static_cast<uint8_t>(bytes_[position_ + i]);
      result |= static_cast<Unsigned>(static_cast<Unsigned>(byte) << (8 * i));
    }
    position_ += sizeof(Unsigned);
    *value = result;
    return true;
  }

  template <typename Unsigned, typename Signed>
  bool ReadSigned(Signed* value) {
    Unsigned raw = 0;
    if (!ReadLittleEndian(&raw)) return false;
    *value = static_cast<Signed>(raw);  // two's complement, as on the wire
    return true;
  }

  std::string_view bytes_;
  size_t position_ = 0;
};

template <typename Unsigned>
void AppendLittleEndian(std::string* out, Unsigned value) {
  for (size_t i = 0; i < sizeof(Unsigned); ++i) {
    out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

inline void AppendU16(std::string* out, uint16_t value) { AppendLittleEndian(out, value); }
inline void AppendU32(std::string* out, uint32_t value) { AppendLittleEndian(out, value); }
inline void AppendI16(std::string* out, int16_t value) {
  AppendLittleEndian(out, static_cast<uint16_t>(value));
}
inline void AppendI32(std::string* out, int32_t value) {
  AppendLittleEndian(out, static_cast<uint32_t>(value));
}
inline void AppendI64(std::string* out, int64_t value) {
  AppendLittleEndian(out, static_cast<uint64_t>(value));
}

}  // namespace velmor::player
