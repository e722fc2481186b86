#include "library/data_table_record.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace velmor {
namespace {

// The index of the first byte where a and b differ, or size. Eight bytes at
// a time: sorting a large table compares names millions of times.
size_t FirstDifference(const char* a, const char* b, size_t size) {
  size_t at = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; at + 8 <= size; at += 8) {
      uint64_t word_a = 0;
      uint64_t word_b = 0;
      std::memcpy(&word_a, a + at, 8);
      std::memcpy(&word_b, b + at, 8);
      if (word_a != word_b) return at + static_cast<size_t>(std::countr_zero(word_a ^ word_b)) / 8;
    }
  }
  while (at < size && a[at] == b[at]) ++at;
  return at;
}

}  // namespace

void S_DATATABLE::SetPath(std::string_view new_path) {
  path.assign(new_path);
  name_pos = NamePosition(path);
}

size_t NamePosition(std::string_view path) {
  // A plain loop from the end: find_last_of with two characters calls
  // memchr on the pair for every byte, and loading a table does this for
  // every record.
  size_t at = path.size();
  while (at > 0 && path[at - 1] != '/' && path[at - 1] != '\\') --at;
  return at;
}

bool IsStorablePath(std::string_view path) {
  if (path.empty() || path.size() > kMaxPathBytes) return false;
  // A plain loop: find_first_of with a set calls memchr on the set for
  // every byte, and a listing checks the path of every file it lists.
  for (const char c : path) {
    if (c == '"' || c == '\r' || c == '\n' || c == '\0') return false;
  }
  return true;
}

int CompareNames(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  const size_t at = FirstDifference(a.data(), b.data(), common);
  if (at == common) {
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
  }
  const uint8_t rank_a = NameByteRank(static_cast<uint8_t>(a[at]));
  const uint8_t rank_b = NameByteRank(static_cast<uint8_t>(b[at]));
  return rank_a < rank_b ? -1 : 1;
}

int DateNumber(const platform::LocalTime& time) {
  return time.year * 10000 + time.month * 100 + time.day;
}

int64_t DateTimeNumber(const platform::LocalTime& time) {
  return int64_t{DateNumber(time)} * 1000000 + time.hour * 10000 + time.minute * 100 + time.second;
}

int64_t MakeRecordId(int date, int device, int64_t sequence) {
  return (int64_t{date} * 100 + device) * kIdSequenceRange + sequence;
}

std::string FormatIdText(int date, int device, int64_t sequence) {
  char text[64];
  std::snprintf(text, sizeof text, "%08d_%02d_%06lld", date, device,
                static_cast<long long>(sequence));
  return text;
}

std::string IdTextPrefix(int date, int device) {
  char text[32];
  std::snprintf(text, sizeof text, "%08d_%02d", date, device);
  return text;
}

int64_t RecordIdFromText(std::string_view id_text) {
  const auto part = [&](size_t start, size_t length) -> uint64_t {
    if (id_text.size() <= start) return 0;
    return static_cast<uint64_t>(ParseLenientDecimal(id_text.substr(start, length)));
  };
  // Unsigned arithmetic: a hand-edited text with huge numbers wraps instead
  // of overflowing.
  const uint64_t id = (part(0, 8) * 100 + part(9, std::string_view::npos)) *
                          static_cast<uint64_t>(kIdSequenceRange) +
                      part(12, std::string_view::npos);
  return static_cast<int64_t>(id);
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The usual number: blanks, an optional '-', digits, then the end or a
// character that is none of blank, tab and '-'. False, with nothing
// stored, for anything else (a blank between digits, a second '-').
bool ParsePlainDecimal(std::string_view text, int64_t* result) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  const bool negative = at < text.size() && text[at] == '-';
  if (negative) ++at;
  uint64_t value = 0;
  for (; at < text.size(); ++at) {
    const unsigned digit = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    if (digit > 9) break;
    value = value * 10 + digit;
  }
  if (at < text.size() && (IsBlank(text[at]) || text[at] == '-')) return false;
  *result = static_cast<int64_t>(negative ? 0 - value : value);
  return true;
}

}  // namespace

int64_t ParseLenientDecimal(std::string_view text) {
  int64_t plain = 0;
  if (ParsePlainDecimal(text, &plain)) return plain;
  uint64_t value = 0;
  bool negative = false;
  bool seen_digit = false;
  for (const char c : text) {
    if (IsBlank(c)) continue;
    if (c == '-' && !seen_digit && !negative) {
      negative = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    seen_digit = true;
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

}  // namespace velmor
