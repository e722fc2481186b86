#include "reply_printer.h"

#include <cinttypes>
#include <cstdio>

#include "records.h"

namespace velmor::player {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Bad(const Chunk& chunk, const std::string& error) {
  return "bad " + PrintableCode(chunk.code) + " chunk (" + std::to_string(chunk.payload.size()) +
         " bytes): " + error;
}

std::string DescribeWord(uint32_t word) {
  const ItemWord parts = SplitItemWord(word);
  char text[96];
  std::snprintf(
      text, sizeof text,
      "word 0x%08" PRIX32 " (kind %" PRIu32 ", media %" PRIu32 ", flags 0x%04" PRIX32 "%s%s%s)",
      word, parts.kind, parts.media_type, parts.state_flags, parts.folder ? ", folder" : "",
      parts.not_found ? ", not found" : "", parts.chapter ? ", chapter" : "");
  return text;
}

std::string DescribeRecord(int index, const ListRecord& record) {
  return "record " + std::to_string(index) + ": " + DescribeWord(record.word) + " folder " +
         Quoted(record.folder) + (record.folder_repeated ? " (repeated)" : "") + " name " +
         Quoted(record.name) + " id " + std::to_string(record.id) + " date " +
         std::to_string(record.date) + " size " + std::to_string(record.file_size) + " group " +
         std::to_string(record.group_no) + " parent " + std::to_string(record.parent) +
         " chapter " + std::to_string(record.chapter);
}

}  // namespace

std::string PrintableCode(const std::string& code) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (char c : code) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      text.push_back(c);
      continue;
    }
    text += "\\x";
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 0xF]);
  }
  return text;
}

std::vector<std::string> ReplyPrinter::Lines(const Chunk& chunk) {
  std::string error;
  if (chunk.code == "STRG") {
    const auto text = DecodeWireText(chunk.payload, &error);
    if (!text) return {Bad(chunk, error)};
    return {*text};
  }
  if (chunk.code == "RTMS") {
    const auto slot = DecodeResultSlot(chunk.payload, &error);
    if (!slot) return {Bad(chunk, error)};
    return {"slot " + std::to_string(slot->slot) + ": value " + std::to_string(slot->value) +
            " text " + Quoted(slot->text)};
  }
  if (chunk.code == "RTFL") {
    const auto records = DecodeListRecords(chunk.payload, &error);
    if (!records) return {Bad(chunk, error)};
    std::vector<std::string> lines;
    for (const ListRecord& record : *records)
      lines.push_back(DescribeRecord(next_record_++, record));
    return lines;
  }
  if (chunk.code == "RTDT") {
    const auto answer = DecodeThumbnailAnswer(chunk.payload, &error);
    if (!answer) return {Bad(chunk, error)};
    return {"thumbnail item " + std::to_string(answer->index) + ": status " +
            std::to_string(answer->status) + " info " + Quoted(answer->info) + " image " +
            std::to_string(answer->image_size) + " bytes"};
  }
  if (chunk.code == "RTDA") return {"raw data: " + std::to_string(chunk.payload.size()) + " bytes"};
  return {"chunk " + Quoted(PrintableCode(chunk.code)) + ": " +
          std::to_string(chunk.payload.size()) + " bytes"};
}

}  // namespace velmor::player
