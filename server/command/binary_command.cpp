#include "command/binary_command.h"

#include <limits>
#include <string_view>

#include "base/utf.h"
#include "command/packet_format.h"

namespace velmor {
namespace {

// Reads the payload front to back; every read is checked against its end.
class PayloadReader {
 public:
  PayloadReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ReadCount(size_t* count) {
    if (size_ - position_ < 2) return false;
    *count = LoadLe16(data_ + position_);
    position_ += 2;
    return true;
  }

  // A text of `bytes` bytes (even), cut at its first zero unit. `ended`
  // tells whether it had one.
  bool ReadText(size_t bytes, std::string* text, bool* ended) {
    if (bytes % 2 != 0 || size_ - position_ < bytes) return false;
    std::u16string units = LoadUtf16Le(data_ + position_, bytes);
    position_ += bytes;
    const size_t zero = units.find(u'\0');
    *ended = zero != std::u16string::npos;
    if (*ended) units.resize(zero);
    *text = Utf16ToUtf8(units);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

constexpr size_t kMaxTextUnits = std::numeric_limits<uint16_t>::max() / 2 - 1;

void AppendText(std::string_view utf8, std::vector<uint8_t>* out) {
  const std::u16string text = Utf8ToUtf16(utf8);
  const size_t bytes = 2 * (text.size() + 1);
  const size_t start = out->size();
  out->resize(start + 2 + bytes, 0);
  StoreLe16(static_cast<uint16_t>(bytes), out->data() + start);
  StoreUtf16Le(text, out->data() + start + 2);
}

}  // namespace

const std::string& BinaryCommand::Field(size_t number) const {
  static const std::string kAbsent;
  if (number < 1 || number > fields.size()) return kAbsent;
  return fields[number - 1];
}

bool ParseBinaryCommand(const uint8_t* payload, size_t size, BinaryCommand* command) {
  PayloadReader reader(payload, size);
  size_t name_bytes = 0;
  bool ended = false;
  BinaryCommand parsed;
  if (!reader.ReadCount(&name_bytes) || name_bytes == 0) return false;
  if (!reader.ReadText(name_bytes, &parsed.name, &ended) || !ended) return false;
  size_t field_count = 0;
  if (!reader.ReadCount(&field_count) || field_count > kBinaryCommandMaxFields) return false;
  parsed.fields.resize(field_count);
  for (std::string& field : parsed.fields) {
    size_t field_bytes = 0;
    if (!reader.ReadCount(&field_bytes)) return false;
    if (!reader.ReadText(field_bytes, &field, &ended)) return false;
  }
  *command = std::move(parsed);
  return true;
}

bool EncodeBinaryCommand(const BinaryCommand& command, std::vector<uint8_t>* payload) {
  if (command.fields.size() > kBinaryCommandMaxFields) return false;
  if (Utf16Length(command.name) > kMaxTextUnits) return false;
  for (const std::string& field : command.fields) {
    if (Utf16Length(field) > kMaxTextUnits) return false;
  }
  payload->clear();
  AppendText(command.name, payload);
  payload->resize(payload->size() + 2, 0);
  StoreLe16(static_cast<uint16_t>(command.fields.size()), payload->data() + payload->size() - 2);
  for (const std::string& field : command.fields) AppendText(field, payload);
  return true;
}

}  // namespace velmor
