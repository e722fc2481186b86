#include "library/data_table_file.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/parallel_tasks.h"

namespace velmor {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kRecordMark = "#dat";
constexpr int kFieldCount = 6;

// The first '"' from `from` on, or the line's size. The quote that opens a
// field is mostly the next byte but one (after the tab), which needs no
// search; a path runs on for tens of bytes, where memchr is quickest.
size_t NextQuote(std::string_view line, size_t from) {
  for (const size_t near_end = std::min(from + 2, line.size()); from < near_end; ++from) {
    if (line[from] == '"') return from;
  }
  if (from >= line.size()) return line.size();
  const void* found = std::memchr(line.data() + from, '"', line.size() - from);
  return found == nullptr ? line.size()
                          : static_cast<size_t>(static_cast<const char*>(found) - line.data());
}

// The next field from *pos on; false when its quotes are missing or open.
bool TakeField(std::string_view line, size_t* pos, std::string_view* field) {
  *field = {};
  const size_t open = NextQuote(line, *pos);
  if (open == line.size()) {
    *pos = line.size();
    return false;
  }
  size_t run = 0;
  while (open + run < line.size() && line[open + run] == '"') ++run;
  if (run == 2 || run == 6) {
    *pos = open + run;
    return true;
  }
  const size_t close = NextQuote(line, open + 1);
  if (close == line.size()) {
    *field = line.substr(open + 1);
    *pos = line.size();
    return false;
  }
  *field = line.substr(open + 1, close - open - 1);
  *pos = close + 1;
  return true;
}

int64_t ParseLowercaseHex(std::string_view text) {
  uint64_t value = 0;
  for (const char c : text) {
    if (c == ' ' || c == '\t') continue;
    if (c >= '0' && c <= '9') {
      value = (value << 4) | static_cast<uint64_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      value = (value << 4) | static_cast<uint64_t>(c - 'a' + 10);
    } else {
      break;
    }
  }
  return static_cast<int64_t>(value);
}

void AppendRightAligned(std::string_view digits, size_t width, std::string* out) {
  if (digits.size() < width) out->append(width - digits.size(), ' ');
  out->append(digits);
}

void AppendDecimal(int64_t value, size_t width, std::string* out) {
  char digits[24];
  size_t start = sizeof digits;
  // Unsigned, so the most negative value prints too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[--start] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits[--start] = '-';
  AppendRightAligned(std::string_view(digits + start, sizeof digits - start), width, out);
}

void AppendHex(int64_t value, size_t width, std::string* out) {
  char digits[16];
  size_t start = sizeof digits;
  uint64_t bits = static_cast<uint64_t>(value);
  do {
    digits[--start] = "0123456789abcdef"[bits & 15];
    bits >>= 4;
  } while (bits != 0);
  AppendRightAligned(std::string_view(digits + start, sizeof digits - start), width, out);
}

void AppendQuotedField(std::string_view text, std::string* out) {
  out->append("\t\"");
  // One pass over the bytes: find_first_of with two characters would call
  // memchr on the pair for every byte of every field.
  size_t kept = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '"' && text[i] != '\n') continue;
    out->append(text.substr(kept, i - kept));
    kept = i + 1;
  }
  out->append(text.substr(kept));
  out->push_back('"');
}

void AppendNumberField(int64_t value, size_t width, bool hex, std::string* out) {
  out->append("\t\"");
  if (hex) {
    AppendHex(value, width, out);
  } else {
    AppendDecimal(value, width, out);
  }
  out->push_back('"');
}

bool HasLineBreaker(std::string_view text) {
  return std::memchr(text.data(), '"', text.size()) != nullptr ||
         std::memchr(text.data(), '\n', text.size()) != nullptr;
}

// Right-aligned digits (and sign) of a number field, written backwards
// from `end`; returns where they begin.
char* FormatNumberField(int64_t value, size_t width, bool hex, char* end) {
  char* at = end;
  if (hex) {
    uint64_t bits = static_cast<uint64_t>(value);
    do {
      *--at = "0123456789abcdef"[bits & 15];
      bits >>= 4;
    } while (bits != 0);
  } else {
    // Unsigned, so the most negative value prints too.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
      *--at = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--at = '-';
  }
  while (static_cast<size_t>(end - at) < width) *--at = ' ';
  return at;
}

char* Put(char* at, std::string_view text) {
  if (!text.empty()) std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

// A record line whose texts hold nothing to leave out, sized first and
// written in place: the save writes one per record.
void AppendCleanRecordLine(const S_DATATABLE& record, std::string* out) {
  char numbers[3][24];
  const char* date_at = FormatNumberField(record.date_time, 14, false, numbers[0] + 24);
  const std::string_view date(date_at, static_cast<size_t>(numbers[0] + 24 - date_at));
  const char* size_at = FormatNumberField(record.file_size, 11, false, numbers[1] + 24);
  const std::string_view size(size_at, static_cast<size_t>(numbers[1] + 24 - size_at));
  const char* flags_at = FormatNumberField(record.flags, 8, true, numbers[2] + 24);
  const std::string_view flags(flags_at, static_cast<size_t>(numbers[2] + 24 - flags_at));
  const std::string_view fields[kFieldCount] = {record.id_text, date,        size,
                                                flags,          record.path, record.tags};
  size_t length = kRecordMark.size() + 2;  // the mark and CR LF
  for (const std::string_view field : fields) length += field.size() + 3;
  const size_t start = out->size();
  out->resize(start + length);
  char* at = Put(out->data() + start, kRecordMark);
  for (const std::string_view field : fields) {
    at = Put(at, "\t\"");
    at = Put(at, field);
    *at++ = '"';
  }
  Put(at, "\r\n");
}

// The fields of a "#dat" line into a fresh record; false when some are
// missing or not closed (the record holds what was there).
bool ReadFields(std::string_view line, S_DATATABLE* record) {
  std::string_view fields[kFieldCount];
  size_t pos = kRecordMark.size();
  bool whole = true;
  for (std::string_view& field : fields) {
    if (!TakeField(line, &pos, &field)) whole = false;
  }
  record->id_text.assign(fields[0]);
  record->id_int = RecordIdFromText(fields[0]);
  record->date_time = ParseLenientDecimal(fields[1]);
  record->file_size = ParseLenientDecimal(fields[2]);
  record->flags = ParseLowercaseHex(fields[3]);
  record->SetPath(fields[4]);
  record->tags.assign(fields[5]);
  return whole;
}

// A line that is not a record is a note of the user's and is ignored,
// unless it may hold a record the reader cannot take: text in another
// encoding (UTF-16 puts a zero byte beside every ASCII character) or a
// record mark moved from the start of its line.
bool MayHideRecord(std::string_view line) {
  return line.find('\0') != std::string_view::npos ||
         line.find(kRecordMark) != std::string_view::npos;
}

// An upper bound of the records: memchr finds line feeds several times
// faster than a byte count does.
size_t CountLines(std::string_view bytes) {
  size_t lines = 1;
  if (bytes.empty()) return lines;
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  while ((at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) !=
         nullptr) {
    ++lines;
    ++at;
  }
  return lines;
}

void ReadLine(std::string_view line, TableText* table) {
  if (line.substr(0, kRecordMark.size()) != kRecordMark) {
    if (MayHideRecord(line)) table->damaged = true;
    return;
  }
  if (line.size() > kMaxRecordLineBytes) {
    table->damaged = true;
    return;
  }
  // Read in place at the end of the records, and taken back when unusable.
  S_DATATABLE& record = table->records.emplace_back();
  if (!ReadFields(line, &record)) table->damaged = true;
  const size_t text_bytes = record.id_text.size() + record.path.size() + record.tags.size();
  if (!IsRecordId(record.id_int) || text_bytes > kMaxRecordLineBytes - kLongestLineOverhead) {
    table->damaged = true;
    table->records.pop_back();
  }
}

void ReadLines(std::string_view bytes, TableText* table) {
  table->records.clear();
  table->damaged = false;
  table->records.reserve(CountLines(bytes));
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ReadLine(line, table);
  }
}

// Up to `parts` pieces of whole lines, none smaller than a few hundred
// kilobytes, where a thread would cost more than it saves.
std::vector<std::string_view> SplitAtLines(std::string_view bytes, size_t parts) {
  constexpr size_t kSmallestPiece = 256 * 1024;
  parts = std::clamp<size_t>(bytes.size() / kSmallestPiece, 1, std::max<size_t>(parts, 1));
  std::vector<std::string_view> pieces;
  for (size_t i = parts; i > 1; --i) {
    const size_t line_end = bytes.find('\n', bytes.size() / i);
    if (line_end == std::string_view::npos) break;
    pieces.push_back(bytes.substr(0, line_end + 1));
    bytes.remove_prefix(line_end + 1);
  }
  pieces.push_back(bytes);
  return pieces;
}

}  // namespace

RecordLineResult ParseRecordLine(std::string_view line, S_DATATABLE* record) {
  *record = S_DATATABLE();
  if (line.substr(0, kRecordMark.size()) != kRecordMark) return RecordLineResult::kNotRecord;
  return ReadFields(line, record) ? RecordLineResult::kWhole : RecordLineResult::kIncomplete;
}

void AppendTableHeader(std::string* out) {
  out->append(kUtf8Bom);
  out->append(kDataTableVersionLine);
  out->append("\r\n");
}

void AppendRecordLine(const S_DATATABLE& record, std::string* out) {
  if (!HasLineBreaker(record.id_text) && !HasLineBreaker(record.path) &&
      !HasLineBreaker(record.tags)) {
    AppendCleanRecordLine(record, out);
    return;
  }
  out->append(kRecordMark);
  AppendQuotedField(record.id_text, out);
  AppendNumberField(record.date_time, 14, false, out);
  AppendNumberField(record.file_size, 11, false, out);
  AppendNumberField(record.flags, 8, true, out);
  AppendQuotedField(record.path, out);
  AppendQuotedField(record.tags, out);
  out->append("\r\n");
}

void ReadTableText(std::string_view bytes, TableText* table) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  ReadLines(bytes, table);
}

std::vector<TableText> ReadTableTextInParts(std::string_view bytes, size_t parts) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  const std::vector<std::string_view> pieces = SplitAtLines(bytes, parts);
  std::vector<TableText> tables(pieces.size());
  std::vector<std::function<void()>> tasks;
  for (size_t i = 0; i < pieces.size(); ++i) {
    tasks.emplace_back([&pieces, &tables, i] { ReadLines(pieces[i], &tables[i]); });
  }
  RunTogether(tasks);
  return tables;
}

}  // namespace velmor
