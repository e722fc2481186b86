// Channel listings on the wire: "RTFL" chunks of S_LIST_RECORD records. A
// record repeats its folder only when it differs from the previous record
// of the same chunk; a chunk that is full is sent and a new one begun.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command/packet_writer.h"

namespace velmor {

// Bits of a record's item word.
enum ListItemBits : uint32_t {
  kItemFlagsMask = 0xFFFF,  // the data table state flags
  kItemNotFound = 1u << 16,
  kItemFolder = 1u << 17,
  kItemChapter = 1u << 18,
};

enum ListItemKind : uint32_t {
  kKindFile = 1,
  kKindChapterFolder = 2,
  kKindChapterFile = 3,
  kKindNestedChapterFolder = 4,
  kKindSubfolder = 5,
};

// The word of an item: its state flags, its bits, its media type and kind.
uint32_t ListItemWord(uint64_t state_flags, uint32_t bits, int media_type, uint32_t kind);

struct S_LIST_RECORD {
  uint32_t word = 0;
  std::string folder;  // "/" separators
  std::string name;
  int64_t id_int = -1;
  int32_t date = -1;  // yyyymmdd in local time
  int64_t file_size = -1;
  int16_t group_no = -1;
  int16_t parent = -1;
  uint16_t chapter = 0;
};

class ListingWriter {
 public:
  explicit ListingWriter(PacketWriter* out) : out_(out) {}

  // Sends what is queued and begins a chunk.
  void Begin();
  // Adds a record, sending the chunk first when the record does not fit.
  bool Append(const S_LIST_RECORD& record);
  // Sends the chunk unless it holds no records, then begins a new one.
  bool Flush();

  // Records appended since the writer was made (positions for "parent").
  int count() const { return count_; }

 private:
  static std::vector<uint8_t> Encode(const S_LIST_RECORD& record, bool with_folder);

  PacketWriter* out_;
  std::vector<uint8_t> chunk_;  // the record count followed by the records
  uint16_t chunk_records_ = 0;
  std::string previous_folder_;
  int count_ = 0;
};

}  // namespace velmor
