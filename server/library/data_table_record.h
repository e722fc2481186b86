// One record of the library data table and the arithmetic of its
// identifiers, dates and names.
//
// A record id is (date × 100 + device) × 100,000,000 + sequence, with the
// local date as YYYYMMDD and the two-digit device number of the server that
// made it; its text form "%08d_%02d_%06d" is also the base name of the
// record's thumbnail files. Ids up to 99,999,999 are temporary ids of items
// that have no record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace velmor {

inline constexpr int64_t kSizeUnknown = -1;
inline constexpr int64_t kSizeFolder = -2;

inline constexpr int64_t kFlagHasMarkers = 1;
inline constexpr int64_t kFlagChapterFolder = 4;

inline constexpr int64_t kIdSequenceRange = 100000000;
inline constexpr int64_t kMaxTemporaryId = 99999999;
inline constexpr int kMaxDeviceId = 99;

struct S_DATATABLE {
  int64_t id_int = 0;
  int64_t file_size = 0;  // bytes; kSizeUnknown, kSizeFolder
  int64_t date_time = 0;  // local time of the last change, YYYYMMDDhhmmss
  int64_t flags = 0;      // kFlag... and bits of the player's own
  int32_t modified = 0;   // 1 when changed since the last save
  std::string id_text;    // ASCII
  std::string path;       // UTF-8; change through SetPath (or the table's path calls)
  size_t name_pos = 0;    // start of the last path component in `path`
  std::string tags;       // nested tag text (library/tag_text.h)

  std::string_view name() const { return std::string_view(path).substr(name_pos); }
  void SetPath(std::string_view new_path);
};

// Start of the last component: after the last '/' or '\'.
size_t NamePosition(std::string_view path);
// The longest path a record takes: 32,767 UTF-16 characters, Windows'
// limit, at three bytes each.
inline constexpr size_t kMaxPathBytes = 3 * 32767;
// A path the data file can hold: not empty, not longer than kMaxPathBytes,
// and no '"', line break or zero byte, which would cut its line.
bool IsStorablePath(std::string_view path);

// Orders names as UTF-16 code units would, case-sensitively, without
// converting them: byte order of UTF-8 is code point order, which differs
// from UTF-16 order only between characters above U+FFFF (surrogate pairs in
// UTF-16) and those from U+E000 to U+FFFF.
int CompareNames(std::string_view a, std::string_view b);
// The place of a name byte in that order: UTF-8 lead bytes of U+E000 to
// U+FFFF (EE, EF) move above those of U+10000 and up (F0 to F4), which is
// where UTF-16 puts them; every other byte keeps its order. A permutation of
// all byte values, so any byte string still has one place in the order.
inline uint8_t NameByteRank(uint8_t byte) {
  if (byte >= 0xF0) return static_cast<uint8_t>(byte - 2);
  if (byte == 0xEE || byte == 0xEF) return static_cast<uint8_t>(byte + 0x10);
  return byte;
}

// YYYYMMDD and YYYYMMDDhhmmss of a local time.
int DateNumber(const platform::LocalTime& time);
int64_t DateTimeNumber(const platform::LocalTime& time);

int64_t MakeRecordId(int date, int device, int64_t sequence);
std::string FormatIdText(int date, int device, int64_t sequence);
// "%08d_%02d": how the id texts (and thumbnail names) of one date and
// device begin.
std::string IdTextPrefix(int date, int device);
// The id of an id text: the date from its characters 1 to 8, the device from
// character 10 and the sequence from character 13 on. 0 for texts too short
// to hold them.
int64_t RecordIdFromText(std::string_view id_text);
inline bool IsRecordId(int64_t id) { return id > kMaxTemporaryId; }

// A decimal number as the data file and the id texts hold it: blanks and
// tabs are skipped, a '-' before the first digit negates, any other
// character ends it. Out-of-range input wraps instead of failing.
int64_t ParseLenientDecimal(std::string_view text);

}  // namespace velmor
