// The records of a channel listing, as the library builds them, and where
// a listing goes: the command layer writes them to the wire.
#pragma once

#include <cstdint>
#include <string>

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

// Receives a listing in order: each listed folder, its records, its end.
class ListingSink {
 public:
  virtual ~ListingSink() = default;
  // A folder's records follow; indent is its depth below the listed root.
  virtual void BeginFolder(const std::string& folder, int indent) = 0;
  virtual void Add(const S_LIST_RECORD& record) = 0;
  virtual void EndFolder() = 0;
  // Records added so far (positions for "parent").
  virtual int count() const = 0;
};

}  // namespace velmor
