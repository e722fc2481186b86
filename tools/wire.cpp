#include "wire.h"

#include <algorithm>
#include <utility>

#include "base/utf.h"
#include "byte_io.h"

namespace velmor::player {
namespace {

constexpr char kPacketCode[] = "PACK";

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

void AppendChunkHeader(std::string* out, std::string_view code, size_t payload_bytes) {
  out->append(code.substr(0, 4));
  out->append(4 - std::min<size_t>(code.size(), 4), ' ');
  AppendU32(out, static_cast<uint32_t>(payload_bytes));
}

// One counted text of the command layout: 16-bit byte count, then the text.
bool AppendCountedText(std::string* out, std::string_view utf8, std::string_view what,
                       std::string* error) {
  const std::string bytes = EncodeWireText(utf8);
  if (bytes.size() > UINT16_MAX) {
    SetError(error, std::string(what) + " is too long for its 16-bit byte count");
    return false;
  }
  AppendU16(out, static_cast<uint16_t>(bytes.size()));
  out->append(bytes);
  return true;
}

std::optional<std::string> ReadCountedText(ByteReader* reader, std::string_view what,
                                           std::string* error) {
  uint16_t count = 0;
  std::string_view bytes;
  if (!reader->ReadU16(&count) || !reader->ReadBytes(count, &bytes)) {
    SetError(error, std::string(what) + " runs past the end of the command");
    return std::nullopt;
  }
  std::string text_error;
  auto text = DecodeWireText(bytes, &text_error);
  if (!text) SetError(error, std::string(what) + ": " + text_error);
  return text;
}

}  // namespace

std::string EncodeWireText(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  std::string bytes;
  bytes.reserve(units.size() * 2 + 2);
  for (char16_t unit : units) AppendU16(&bytes, static_cast<uint16_t>(unit));
  AppendU16(&bytes, 0);
  return bytes;
}

std::optional<std::string> DecodeWireText(std::string_view bytes, std::string* error) {
  if (bytes.size() % 2 != 0) {
    SetError(error, "text has an odd byte count " + std::to_string(bytes.size()));
    return std::nullopt;
  }
  std::u16string units;
  ByteReader reader(bytes);
  uint16_t unit = 1;
  while (reader.ReadU16(&unit) && unit != 0) units.push_back(static_cast<char16_t>(unit));
  if (unit != 0) {
    SetError(error, "text lacks its terminating zero");
    return std::nullopt;
  }
  if (!reader.AtEnd()) {
    SetError(error, "text has " + std::to_string(reader.remaining()) +
                        " bytes after its terminating zero");
    return std::nullopt;
  }
  return Utf16ToUtf8(units);
}

Chunk MakeTextChunk(std::string_view utf8) { return Chunk{"STRG", EncodeWireText(utf8)}; }

std::optional<Chunk> MakeCommandChunk(const Command& command, std::string* error) {
  if (command.fields.size() > kMaxCommandFields) {
    SetError(error,
             "a command carries at most 4 fields, not " + std::to_string(command.fields.size()));
    return std::nullopt;
  }
  Chunk chunk{"MSGE", {}};
  if (!AppendCountedText(&chunk.payload, command.name, "command name", error)) return std::nullopt;
  AppendU16(&chunk.payload, static_cast<uint16_t>(command.fields.size()));
  for (size_t i = 0; i < command.fields.size(); ++i) {
    const std::string what = "field " + std::to_string(i + 1);
    if (!AppendCountedText(&chunk.payload, command.fields[i], what, error)) return std::nullopt;
  }
  return chunk;
}

std::optional<Command> DecodeCommand(std::string_view payload, std::string* error) {
  ByteReader reader(payload);
  Command command;
  auto name = ReadCountedText(&reader, "command name", error);
  if (!name) return std::nullopt;
  command.name = std::move(*name);
  uint16_t count = 0;
  if (!reader.ReadU16(&count)) {
    SetError(error, "command lacks its field count");
    return std::nullopt;
  }
  if (count > kMaxCommandFields) {
    SetError(error, "command has " + std::to_string(count) + " fields, at most 4 are allowed");
    return std::nullopt;
  }
  for (uint16_t i = 0; i < count; ++i) {
    auto field = ReadCountedText(&reader, "field " + std::to_string(i + 1), error);
    if (!field) return std::nullopt;
    command.fields.push_back(std::move(*field));
  }
  if (!reader.AtEnd()) {
    SetError(error,
             "command has " + std::to_string(reader.remaining()) + " bytes after its fields");
    return std::nullopt;
  }
  return command;
}

std::string EncodePacket(const std::vector<Chunk>& chunks) {
  std::string body;
  for (const Chunk& chunk : chunks) {
    AppendChunkHeader(&body, chunk.code, chunk.payload.size());
    body.append(chunk.payload);
  }
  std::string packet(kPacketCode, 4);
  AppendI32(&packet, static_cast<int32_t>(body.size()));
  packet.append(body);
  return packet;
}

Frame FramePacket(std::string_view buffered) {
  Frame frame;
  if (buffered.size() < kPacketHeaderBytes) return frame;
  if (buffered.substr(0, 4) != std::string_view(kPacketCode, 4)) {
    frame.state = FrameState::kInvalid;
    frame.error = "packet does not begin with \"PACK\"";
    return frame;
  }
  ByteReader reader(buffered.substr(4, 4));
  int32_t length = 0;
  reader.ReadI32(&length);
  if (length < 0 || static_cast<size_t>(length) > kMaxPacketBytes - kPacketHeaderBytes) {
    frame.state = FrameState::kInvalid;
    frame.error = "packet length " + std::to_string(length) + " is outside 0 to " +
                  std::to_string(kMaxPacketBytes - kPacketHeaderBytes);
    return frame;
  }
  const size_t total = kPacketHeaderBytes + static_cast<size_t>(length);
  if (buffered.size() < total) return frame;
  frame.state = FrameState::kComplete;
  frame.packet_bytes = total;
  return frame;
}

std::optional<std::vector<Chunk>> SplitChunks(std::string_view body, std::string* error) {
  std::vector<Chunk> chunks;
  ByteReader reader(body);
  while (!reader.AtEnd()) {
    const size_t offset = body.size() - reader.remaining();
    std::string_view code;
    uint32_t length = 0;
    std::string_view payload;
    if (!reader.ReadBytes(4, &code) || !reader.ReadU32(&length)) {
      SetError(error, "chunk header at offset " + std::to_string(offset) +
                          " runs past the end of the packet");
      return std::nullopt;
    }
    if (!reader.ReadBytes(length, &payload)) {
      SetError(error, "chunk \"" + std::string(code) + "\" of " + std::to_string(length) +
                          " bytes at offset " + std::to_string(offset) +
                          " runs past the end of the packet");
      return std::nullopt;
    }
    chunks.push_back(Chunk{std::string(code), std::string(payload)});
  }
  return chunks;
}

}  // namespace velmor::player
