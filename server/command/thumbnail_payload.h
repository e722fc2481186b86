// The payloads of the thumbnail transfer on the command connection.
//
// "THUM" (the player fetches thumbnails):
//   kind (16-bit); item count (16-bit); per item, for a kind with bit 3 set
//   (by path): flags (16-bit), byte count (16-bit), the path in UTF-16LE;
//   otherwise (by record id): flags (16-bit), record id (signed 64-bit).
// "RTDT" (the answer to one item, before its image in "RTDA" pieces):
//   item index (16-bit); status (16-bit); byte count of the info text with
//   its zero (16-bit); the 8-bit info text and its zero; image size in bytes
//   (signed 32-bit).
// "MKTH" (the header of a player's upload, whose bytes follow in "DATA"
//   chunks, also in the packets after it):
//   record id (signed 64-bit); byte count n (16-bit); the player's info text
//   in UTF-16LE, n bytes with its zero; data size in bytes (signed 32-bit).
//
// The parsers never read outside the payload and refuse a payload that is
// shorter than its counts say or holds a UTF-16 text of an odd byte count.
// Bytes after the last field are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmor {

inline constexpr uint16_t kThumbnailKindByPathBit = 8;

struct ThumbnailFetchItem {
  uint16_t flags = 0;
  int64_t record_id = 0;  // items by record id
  std::string path;       // items by path, UTF-8
};

struct ThumbnailFetchRequest {
  uint16_t kind = 0;
  std::vector<ThumbnailFetchItem> items;

  bool by_path() const { return (kind & kThumbnailKindByPathBit) != 0; }
};

bool ParseThumbnailFetch(const uint8_t* payload, size_t size, ThumbnailFetchRequest* request);

struct ThumbnailUploadHeader {
  int64_t record_id = 0;
  std::string info_text;  // UTF-8, up to its first zero
  int32_t data_size = 0;
};

bool ParseThumbnailUpload(const uint8_t* payload, size_t size, ThumbnailUploadHeader* header);

// An info text longer than its 16-bit count allows is cut, and one with a
// zero byte ends there, so the answer always reads back as one text.
std::vector<uint8_t> EncodeThumbnailAnswer(uint16_t index, uint16_t status, std::string_view info,
                                           int32_t image_size);

}  // namespace velmor
