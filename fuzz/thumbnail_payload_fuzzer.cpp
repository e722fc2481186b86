// Arbitrary bytes as "THUM" and "MKTH" payloads: the parsers must never read
// outside the payload, and what they accept must encode and parse back to
// itself. The same bytes as an info text must give an "RTDT" answer that
// reads back as one zero-terminated text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf.h"
#include "command/packet_format.h"
#include "command/thumbnail_payload.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void Append16(uint16_t value, std::vector<uint8_t>* out) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

void AppendBytes(uint64_t value, int count, std::vector<uint8_t>* out) {
  for (int i = 0; i < count; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendText(const std::string& utf8, std::vector<uint8_t>* out) {
  const std::u16string units = velmor::Utf8ToUtf16(utf8);
  Append16(static_cast<uint16_t>(units.size() * 2), out);
  for (const char16_t unit : units) Append16(unit, out);
}

// A parsed text holds no zero, and it survives its way back to UTF-16
// (the parser already turned broken units into U+FFFD).
bool TextFits(const std::string& text) {
  return text.find('\0') == std::string::npos && velmor::Utf8ToUtf16(text).size() * 2 <= 65535;
}

void CheckFetch(const uint8_t* data, size_t size) {
  velmor::ThumbnailFetchRequest request;
  if (!velmor::ParseThumbnailFetch(data, size, &request)) {
    Check(request.items.empty());
    return;
  }
  Check(request.items.size() <= 65535);
  std::vector<uint8_t> again;
  Append16(request.kind, &again);
  Append16(static_cast<uint16_t>(request.items.size()), &again);
  for (const velmor::ThumbnailFetchItem& item : request.items) {
    Append16(item.flags, &again);
    if (!request.by_path()) {
      AppendBytes(static_cast<uint64_t>(item.record_id), 8, &again);
      continue;
    }
    Check(TextFits(item.path));
    AppendText(item.path, &again);
  }
  velmor::ThumbnailFetchRequest reparsed;
  Check(velmor::ParseThumbnailFetch(again.data(), again.size(), &reparsed));
  Check(reparsed.kind == request.kind && reparsed.items.size() == request.items.size());
  for (size_t i = 0; i < request.items.size(); ++i) {
    Check(reparsed.items[i].flags == request.items[i].flags);
    Check(reparsed.items[i].record_id == request.items[i].record_id);
    Check(reparsed.items[i].path == request.items[i].path);
  }
}

void CheckUpload(const uint8_t* data, size_t size) {
  velmor::ThumbnailUploadHeader header;
  if (!velmor::ParseThumbnailUpload(data, size, &header)) return;
  Check(TextFits(header.info_text));
  std::vector<uint8_t> again;
  AppendBytes(static_cast<uint64_t>(header.record_id), 8, &again);
  AppendText(header.info_text, &again);
  AppendBytes(static_cast<uint32_t>(header.data_size), 4, &again);
  velmor::ThumbnailUploadHeader reparsed;
  Check(velmor::ParseThumbnailUpload(again.data(), again.size(), &reparsed));
  Check(reparsed.record_id == header.record_id && reparsed.info_text == header.info_text &&
        reparsed.data_size == header.data_size);
}

void CheckAnswer(const uint8_t* data, size_t size) {
  const std::string_view info(reinterpret_cast<const char*>(data), size);
  const std::vector<uint8_t> answer = velmor::EncodeThumbnailAnswer(7, 1, info, 42);
  Check(answer.size() >= 11);
  const size_t text_bytes = velmor::LoadLe16(answer.data() + 4);
  Check(text_bytes >= 1 && answer.size() == 6 + text_bytes + 4);
  const std::string_view text(reinterpret_cast<const char*>(answer.data()) + 6, text_bytes);
  Check(text.find('\0') == text_bytes - 1);
  Check(info.substr(0, text_bytes - 1) == text.substr(0, text_bytes - 1));
  Check(velmor::LoadLe32(answer.data() + 6 + text_bytes) == 42);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckFetch(data, size);
  CheckUpload(data, size);
  CheckAnswer(data, size);
  return 0;
}
