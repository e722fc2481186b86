#include "records.h"

#include <limits>
#include <utility>

#include "byte_io.h"
#include "wire.h"

namespace velmor::player {
namespace {

// Bytes of a listing record without its two texts.
constexpr size_t kListRecordFixedBytes = 36;

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The C library's decimal conversion, clamped instead of overflowing.
int64_t ConvertDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate negatively so that the smallest value fits as well.
  int64_t value = 0;
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value < (kMin + digit) / 10) {
      value = kMin;
      continue;
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A zero-terminated UTF-16 text inside a record, with its 16-bit count.
std::optional<std::string> ReadRecordText(ByteReader* reader, uint16_t count, std::string_view what,
                                          std::string* error) {
  std::string_view bytes;
  if (!reader->ReadBytes(count, &bytes)) {
    SetError(error, std::string(what) + " runs past the end of its record");
    return std::nullopt;
  }
  std::string text_error;
  auto text = DecodeWireText(bytes, &text_error);
  if (!text) SetError(error, std::string(what) + ": " + text_error);
  return text;
}

bool ReadRecordNumbers(ByteReader* reader, ListRecord* record) {
  return reader->ReadI64(&record->id) && reader->ReadI32(&record->date) &&
         reader->ReadI64(&record->file_size) && reader->ReadI16(&record->group_no) &&
         reader->ReadI16(&record->parent) && reader->ReadU16(&record->chapter);
}

// Decodes the record that `bytes` holds exactly (its own length field first).
std::optional<ListRecord> DecodeOneRecord(std::string_view bytes, const ListRecord* previous,
                                          std::string* error) {
  ByteReader reader(bytes.substr(2));
  ListRecord record;
  uint16_t folder_bytes = 0;
  if (!reader.ReadU32(&record.word) || !reader.ReadU16(&folder_bytes)) {
    SetError(error, "record is shorter than its fixed fields");
    return std::nullopt;
  }
  if (folder_bytes == 0) {
    if (previous == nullptr) {
      SetError(error, "the first record of a chunk leaves out its folder");
      return std::nullopt;
    }
    record.folder_repeated = true;
    record.folder = previous->folder;
  } else {
    auto folder = ReadRecordText(&reader, folder_bytes, "folder", error);
    if (!folder) return std::nullopt;
    record.folder = std::move(*folder);
  }
  uint16_t name_bytes = 0;
  if (!reader.ReadU16(&name_bytes)) {
    SetError(error, "record ends before its name");
    return std::nullopt;
  }
  auto name = ReadRecordText(&reader, name_bytes, "name", error);
  if (!name) return std::nullopt;
  record.name = std::move(*name);
  if (!ReadRecordNumbers(&reader, &record)) {
    SetError(error, "record ends inside its numbers");
    return std::nullopt;
  }
  if (!reader.AtEnd()) {
    SetError(error, "record length is " + std::to_string(reader.remaining()) +
                        " bytes more than 36 + folder bytes + name bytes");
    return std::nullopt;
  }
  return record;
}

}  // namespace

std::optional<int64_t> FlatNumber(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  return ConvertDecimal(text.substr(at + key.size()));
}

std::optional<std::string> FlatString(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const size_t open = text.find('"', at + key.size());
  if (open == std::string_view::npos) return std::string();
  const size_t close = text.find('"', open + 1);
  const size_t end = close == std::string_view::npos ? text.size() : close;
  return std::string(text.substr(open + 1, end - open - 1));
}

bool IsResultLine(std::string_view text) {
  return StartsWith(text, "#RET_OK(") || StartsWith(text, "#RET_ERR(");
}

std::optional<ResultLine> ParseResultLine(std::string_view text) {
  if (!IsResultLine(text)) return std::nullopt;
  ResultLine result;
  result.ok = StartsWith(text, "#RET_OK(");
  if (result.ok) return result;
  result.code = FlatNumber(text, "<code>").value_or(0);
  result.message = FlatString(text, "<message>").value_or("");
  return result;
}

std::optional<ResultSlot> DecodeResultSlot(std::string_view payload, std::string* error) {
  ByteReader reader(payload);
  ResultSlot slot;
  uint16_t text_bytes = 0;
  std::string_view bytes;
  if (!reader.ReadU16(&slot.slot) || !reader.ReadI64(&slot.value) || !reader.ReadU16(&text_bytes)) {
    SetError(error, "RTMS chunk of " + std::to_string(payload.size()) +
                        " bytes is shorter than its 12 fixed bytes");
    return std::nullopt;
  }
  if (!reader.ReadBytes(text_bytes, &bytes) || !reader.AtEnd()) {
    SetError(error, "RTMS text count " + std::to_string(text_bytes) + " does not match the " +
                        std::to_string(payload.size() - 12) + " bytes that follow");
    return std::nullopt;
  }
  std::string text_error;
  auto text = DecodeWireText(bytes, &text_error);
  if (!text) {
    SetError(error, "RTMS text: " + text_error);
    return std::nullopt;
  }
  slot.text = std::move(*text);
  return slot;
}

ItemWord SplitItemWord(uint32_t word) {
  ItemWord parts;
  parts.state_flags = word & 0xFFFF;
  parts.not_found = (word & (1u << 16)) != 0;
  parts.folder = (word & (1u << 17)) != 0;
  parts.chapter = (word & (1u << 18)) != 0;
  parts.media_type = (word >> 20) & 0xF;
  parts.kind = (word >> 24) & 0xF;
  return parts;
}

std::optional<std::vector<ListRecord>> DecodeListRecords(std::string_view payload,
                                                         std::string* error) {
  ByteReader reader(payload);
  uint16_t count = 0;
  if (!reader.ReadU16(&count)) {
    SetError(error, "RTFL chunk lacks its record count");
    return std::nullopt;
  }
  std::vector<ListRecord> records;
  for (uint16_t i = 0; i < count; ++i) {
    const std::string where = "RTFL record " + std::to_string(i) + ": ";
    uint16_t length = 0;
    std::string_view bytes;
    ByteReader peek = reader;
    if (!peek.ReadU16(&length) || length < kListRecordFixedBytes ||
        !reader.ReadBytes(length, &bytes)) {
      SetError(error, where + "length " + std::to_string(length) +
                          " is below 36 or runs past the end of the chunk");
      return std::nullopt;
    }
    std::string record_error;
    auto record =
        DecodeOneRecord(bytes, records.empty() ? nullptr : &records.back(), &record_error);
    if (!record) {
      SetError(error, where + record_error);
      return std::nullopt;
    }
    records.push_back(std::move(*record));
  }
  if (!reader.AtEnd()) {
    SetError(error, "RTFL chunk has " + std::to_string(reader.remaining()) + " bytes after its " +
                        std::to_string(count) + " records");
    return std::nullopt;
  }
  return records;
}

std::optional<ThumbnailAnswer> DecodeThumbnailAnswer(std::string_view payload, std::string* error) {
  ByteReader reader(payload);
  ThumbnailAnswer answer;
  uint16_t info_bytes = 0;
  std::string_view info;
  if (!reader.ReadU16(&answer.index) || !reader.ReadU16(&answer.status) ||
      !reader.ReadU16(&info_bytes) || !reader.ReadBytes(info_bytes, &info)) {
    SetError(error, "RTDT chunk of " + std::to_string(payload.size()) +
                        " bytes ends before its info text does");
    return std::nullopt;
  }
  if (info.empty() || info.back() != '\0' || info.find('\0') != info.size() - 1) {
    SetError(error, "RTDT info text is not one zero-terminated text of " +
                        std::to_string(info_bytes) + " bytes");
    return std::nullopt;
  }
  if (!reader.ReadI32(&answer.image_size) || !reader.AtEnd()) {
    SetError(error, "RTDT chunk does not end with exactly its 4-byte image size");
    return std::nullopt;
  }
  answer.info = std::string(info.substr(0, info.size() - 1));
  return answer;
}

}  // namespace velmor::player
