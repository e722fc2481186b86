#include "library/data_table_file.h"

#include <algorithm>

namespace velmor {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kRecordMark = "#dat";
constexpr int kFieldCount = 6;

// The next field from *pos on; false when its quotes are missing or open.
bool TakeField(std::string_view line, size_t* pos, std::string_view* field) {
  *field = {};
  const size_t open = line.find('"', *pos);
  if (open == std::string_view::npos) {
    *pos = line.size();
    return false;
  }
  size_t run = 0;
  while (open + run < line.size() && line[open + run] == '"') ++run;
  if (run == 2 || run == 6) {
    *pos = open + run;
    return true;
  }
  const size_t close = line.find('"', open + 1);
  if (close == std::string_view::npos) {
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
  for (size_t cut = text.find_first_of("\"\n"); cut != std::string_view::npos;
       cut = text.find_first_of("\"\n")) {
    out->append(text.substr(0, cut));
    text.remove_prefix(cut + 1);
  }
  out->append(text);
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

// A line that is not a record is a note of the user's and is ignored,
// unless it may hold a record the reader cannot take: text in another
// encoding (UTF-16 puts a zero byte beside every ASCII character) or a
// record mark moved from the start of its line.
bool MayHideRecord(std::string_view line) {
  return line.find('\0') != std::string_view::npos ||
         line.find(kRecordMark) != std::string_view::npos;
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
  S_DATATABLE record;
  switch (ParseRecordLine(line, &record)) {
    case RecordLineResult::kNotRecord:
      return;
    case RecordLineResult::kIncomplete:
      table->damaged = true;
      break;
    case RecordLineResult::kWhole:
      break;
  }
  const size_t text_bytes = record.id_text.size() + record.path.size() + record.tags.size();
  if (!IsRecordId(record.id_int) || text_bytes > kMaxRecordLineBytes - kLongestLineOverhead) {
    table->damaged = true;
    return;
  }
  table->records.push_back(std::move(record));
}

}  // namespace

RecordLineResult ParseRecordLine(std::string_view line, S_DATATABLE* record) {
  *record = S_DATATABLE();
  if (line.substr(0, kRecordMark.size()) != kRecordMark) return RecordLineResult::kNotRecord;
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
  return whole ? RecordLineResult::kWhole : RecordLineResult::kIncomplete;
}

void AppendTableHeader(std::string* out) {
  out->append(kUtf8Bom);
  out->append(kDataTableVersionLine);
  out->append("\r\n");
}

void AppendRecordLine(const S_DATATABLE& record, std::string* out) {
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
  table->records.clear();
  table->damaged = false;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  table->records.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ReadLine(line, table);
  }
}

}  // namespace velmor
