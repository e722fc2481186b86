// Wire facts shared by the packet reader and writer: buffer sizes, chunk
// codes and little-endian loads and stores. Every integer on the command
// connection is little-endian; there is no padding anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmor {

// The receive and the send buffer each hold one packet with its header:
// 1 MiB of chunks plus 32 bytes.
inline constexpr size_t kPacketBufferCapacity = 1048608;
inline constexpr size_t kPacketHeaderSize = 8;  // "PACK" and the length
inline constexpr size_t kChunkHeaderSize = 8;   // the code and the length

// A chunk code as one number: the four ASCII bytes as they stand on the wire,
// read little-endian, so "PACK" is 0x4B434150.
constexpr uint32_t FourCc(std::string_view code) {
  if (code.size() != 4) return 0;
  return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

// The four bytes of a code, first character first (for logs and tests).
inline std::string FourCcText(uint32_t code) {
  return {static_cast<char>(code & 0xFF), static_cast<char>(code >> 8 & 0xFF),
          static_cast<char>(code >> 16 & 0xFF), static_cast<char>(code >> 24 & 0xFF)};
}

inline constexpr uint32_t kCodePack = FourCc("PACK");
inline constexpr uint32_t kCodeStrg = FourCc("STRG");  // a text command or a reply line
inline constexpr uint32_t kCodeMsge = FourCc("MSGE");  // a binary command
inline constexpr uint32_t kCodeThum = FourCc("THUM");  // a thumbnail fetch request
inline constexpr uint32_t kCodeMkth = FourCc("MKTH");  // the header of a thumbnail upload
inline constexpr uint32_t kCodeData = FourCc("DATA");  // a piece of uploaded data
inline constexpr uint32_t kCodeRtms = FourCc("RTMS");  // one result slot
inline constexpr uint32_t kCodeRtfl = FourCc("RTFL");  // listing records
inline constexpr uint32_t kCodeRtdt = FourCc("RTDT");  // the answer to one thumbnail item
inline constexpr uint32_t kCodeRtda = FourCc("RTDA");  // a piece of raw data

inline uint16_t LoadLe16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline uint32_t LoadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline uint64_t LoadLe64(const uint8_t* bytes) {
  return static_cast<uint64_t>(LoadLe32(bytes)) | static_cast<uint64_t>(LoadLe32(bytes + 4)) << 32;
}

inline void StoreLe16(uint16_t value, uint8_t* bytes) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreLe32(uint32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void StoreLe64(uint64_t value, uint8_t* bytes) {
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Wire texts are UTF-16LE. Reads the `size / 2` whole units of the bytes (an
// odd last byte is ignored).
inline std::u16string LoadUtf16Le(const uint8_t* bytes, size_t size) {
  std::u16string text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(LoadLe16(bytes + 2 * i));
  return text;
}

// Writes the units of the text, 2 bytes each, without a terminating zero.
inline void StoreUtf16Le(std::u16string_view text, uint8_t* bytes) {
  for (size_t i = 0; i < text.size(); ++i) StoreLe16(text[i], bytes + 2 * i);
}

}  // namespace velmor
