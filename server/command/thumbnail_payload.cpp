#include "command/thumbnail_payload.h"

#include <utility>

#include "base/utf.h"
#include "command/packet_format.h"

namespace velmor {
namespace {

// Reads little-endian fields front to back; every read checks the room
// left first.
class PayloadReader {
 public:
  PayloadReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool U16(uint16_t* value) {
    if (!Has(2)) return false;
    *value = LoadLe16(data_ + position_);
    position_ += 2;
    return true;
  }
  bool I32(int32_t* value) {
    if (!Has(4)) return false;
    *value = static_cast<int32_t>(LoadLe32(data_ + position_));
    position_ += 4;
    return true;
  }
  bool I64(int64_t* value) {
    if (!Has(8)) return false;
    *value = static_cast<int64_t>(LoadLe64(data_ + position_));
    position_ += 8;
    return true;
  }
  // A UTF-16LE text of `bytes` bytes, as UTF-8 up to its first zero.
  bool Text(size_t bytes, std::string* text) {
    if (bytes % 2 != 0 || !Has(bytes)) return false;
    std::u16string units = LoadUtf16Le(data_ + position_, bytes);
    const size_t zero = units.find(u'\0');
    if (zero != std::u16string::npos) units.resize(zero);
    *text = Utf16ToUtf8(units);
    position_ += bytes;
    return true;
  }

 private:
  bool Has(size_t n) const { return size_ - position_ >= n; }

  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

bool ParseItem(bool by_path, PayloadReader* reader, ThumbnailFetchItem* item) {
  if (!reader->U16(&item->flags)) return false;
  if (!by_path) return reader->I64(&item->record_id);
  uint16_t path_bytes = 0;
  return reader->U16(&path_bytes) && reader->Text(path_bytes, &item->path);
}

}  // namespace

bool ParseThumbnailFetch(const uint8_t* payload, size_t size, ThumbnailFetchRequest* request) {
  *request = ThumbnailFetchRequest();
  PayloadReader reader(payload, size);
  uint16_t count = 0;
  if (!reader.U16(&request->kind) || !reader.U16(&count)) return false;
  // Items are taken one by one, so a count the payload cannot hold costs
  // nothing before it is refused.
  for (uint16_t i = 0; i < count; ++i) {
    ThumbnailFetchItem item;
    if (!ParseItem(request->by_path(), &reader, &item)) {
      request->items.clear();
      return false;
    }
    request->items.push_back(std::move(item));
  }
  return true;
}

bool ParseThumbnailUpload(const uint8_t* payload, size_t size, ThumbnailUploadHeader* header) {
  *header = ThumbnailUploadHeader();
  PayloadReader reader(payload, size);
  uint16_t text_bytes = 0;
  return reader.I64(&header->record_id) && reader.U16(&text_bytes) &&
         reader.Text(text_bytes, &header->info_text) && reader.I32(&header->data_size);
}

std::vector<uint8_t> EncodeThumbnailAnswer(uint16_t index, uint16_t status, std::string_view info,
                                           int32_t image_size) {
  info = info.substr(0, info.find('\0'));
  // The count includes the zero.
  info = info.substr(0, UINT16_MAX - 1);
  const size_t info_bytes = info.size() + 1;
  std::vector<uint8_t> answer(2 + 2 + 2 + info_bytes + 4);
  uint8_t* out = answer.data();
  StoreLe16(index, out);
  StoreLe16(status, out + 2);
  StoreLe16(static_cast<uint16_t>(info_bytes), out + 4);
  for (size_t i = 0; i < info.size(); ++i) out[6 + i] = static_cast<uint8_t>(info[i]);
  out[6 + info.size()] = 0;
  StoreLe32(static_cast<uint32_t>(image_size), out + 6 + info_bytes);
  return answer;
}

}  // namespace velmor
