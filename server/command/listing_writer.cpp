#include "command/listing_writer.h"

#include "base/utf.h"

namespace velmor {
namespace {

// A record's fixed part: length, word, the two byte counts and the numbers.
constexpr size_t kRecordFixedSize = 36;

void PutText(std::u16string_view text, std::vector<uint8_t>* out) {
  const size_t at = out->size();
  out->resize(at + 2 * (text.size() + 1));
  StoreUtf16Le(text, out->data() + at);
}

template <typename Int>
void Put(Int value, size_t bytes, std::vector<uint8_t>* out) {
  for (size_t i = 0; i < bytes; ++i) {
    out->push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
  }
}

}  // namespace

void ListingWriter::BeginFolder(const std::string& folder, int indent) {
  out_->AppendText("#RET_DIR(<indent>" + std::to_string(indent) + ",<path>\"" + folder + "\")");
  Begin();
}

std::vector<uint8_t> ListingWriter::Encode(const S_LIST_RECORD& record, bool with_folder) {
  const std::u16string folder = with_folder ? Utf8ToUtf16(record.folder) : std::u16string();
  const std::u16string name = Utf8ToUtf16(record.name);
  const size_t folder_bytes = with_folder ? 2 * (folder.size() + 1) : 0;
  const size_t name_bytes = 2 * (name.size() + 1);
  std::vector<uint8_t> out;
  out.reserve(kRecordFixedSize + folder_bytes + name_bytes);
  Put(kRecordFixedSize + folder_bytes + name_bytes, 2, &out);
  Put(record.word, 4, &out);
  Put(folder_bytes, 2, &out);
  if (with_folder) PutText(folder, &out);
  Put(name_bytes, 2, &out);
  PutText(name, &out);
  Put(record.id_int, 8, &out);
  Put(record.date, 4, &out);
  Put(record.file_size, 8, &out);
  Put(record.group_no, 2, &out);
  Put(record.parent, 2, &out);
  Put(record.chapter, 2, &out);
  return out;
}

void ListingWriter::Begin() {
  out_->Flush();
  chunk_.assign(2, 0);
  chunk_records_ = 0;
  previous_folder_.clear();
}

bool ListingWriter::Append(const S_LIST_RECORD& record) {
  if (chunk_.empty()) Begin();
  const bool same_folder = chunk_records_ > 0 && record.folder == previous_folder_;
  std::vector<uint8_t> bytes = Encode(record, !same_folder);
  // A record's length field is 16 bits; longer texts cannot be sent.
  if (bytes.size() > 0xFFFF) return false;
  if (chunk_records_ == 0xFFFF || !out_->CanEverFit(chunk_.size() + bytes.size())) {
    Flush();
    bytes = Encode(record, true);
  }
  chunk_.insert(chunk_.end(), bytes.begin(), bytes.end());
  ++chunk_records_;
  previous_folder_ = record.folder;
  ++count_;
  return true;
}

bool ListingWriter::Flush() {
  bool sent = true;
  if (chunk_records_ > 0) {
    StoreLe16(chunk_records_, chunk_.data());
    sent = out_->AppendChunk(kCodeRtfl, chunk_.data(), chunk_.size()) && out_->Flush();
  }
  Begin();
  return sent;
}

}  // namespace velmor
