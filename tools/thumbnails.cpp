#include "thumbnails.h"

#include <algorithm>
#include <utility>

#include "byte_io.h"

namespace velmor::player {
namespace {

// The room for chunks in one packet, and for a piece's payload.
constexpr size_t kPacketRoom = kMaxPacketBytes - kPacketHeaderBytes;
constexpr size_t kLargestPiece = kPacketRoom - kChunkHeaderBytes;

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

// A piece still owed to the last answer: its image is not yet whole.
bool Owed(const std::vector<FetchedThumbnail>& thumbnails) {
  return !thumbnails.empty() &&
         thumbnails.back().image.size() <
             static_cast<size_t>(std::max(0, thumbnails.back().answer.image_size));
}

}  // namespace

std::optional<Chunk> MakeThumbnailFetchChunk(uint16_t kind, const std::vector<ThumbnailItem>& items,
                                             std::string* error) {
  if (items.size() > UINT16_MAX) {
    SetError(error, "a fetch carries at most 65535 items");
    return std::nullopt;
  }
  Chunk chunk{"THUM", {}};
  AppendU16(&chunk.payload, kind);
  AppendU16(&chunk.payload, static_cast<uint16_t>(items.size()));
  for (const ThumbnailItem& item : items) {
    AppendU16(&chunk.payload, item.flags);
    AppendI64(&chunk.payload, item.record_id);
  }
  return chunk;
}

std::optional<Chunk> MakeThumbnailPathChunk(uint16_t flags, std::string_view path,
                                            std::string* error) {
  const std::string text = EncodeWireText(path);
  if (text.size() > UINT16_MAX) {
    SetError(error, "the path is too long for its 16-bit byte count");
    return std::nullopt;
  }
  Chunk chunk{"THUM", {}};
  AppendU16(&chunk.payload, kThumbnailByPath);
  AppendU16(&chunk.payload, 1);
  AppendU16(&chunk.payload, flags);
  AppendU16(&chunk.payload, static_cast<uint16_t>(text.size()));
  chunk.payload += text;
  return chunk;
}

std::optional<std::vector<std::vector<Chunk>>> MakeUploadPackets(int64_t record_id,
                                                                 std::string_view info_text,
                                                                 std::string_view data,
                                                                 std::string* error) {
  const std::string text = EncodeWireText(info_text);
  if (text.size() > UINT16_MAX) {
    SetError(error, "the info text is too long for its 16-bit byte count");
    return std::nullopt;
  }
  if (data.size() > static_cast<size_t>(INT32_MAX)) {
    SetError(error, "the picture is too large for its 32-bit size");
    return std::nullopt;
  }
  Chunk header{"MKTH", {}};
  AppendI64(&header.payload, record_id);
  AppendU16(&header.payload, static_cast<uint16_t>(text.size()));
  header.payload += text;
  AppendI32(&header.payload, static_cast<int32_t>(data.size()));

  std::vector<std::vector<Chunk>> packets(1);
  packets[0].push_back(header);
  size_t room = kPacketRoom - kChunkHeaderBytes - header.payload.size();
  while (!data.empty()) {
    if (room <= kChunkHeaderBytes) {
      packets.emplace_back();
      room = kPacketRoom;
    }
    const size_t piece = std::min({data.size(), room - kChunkHeaderBytes, kLargestPiece});
    packets.back().push_back({"DATA", std::string(data.substr(0, piece))});
    data.remove_prefix(piece);
    room -= kChunkHeaderBytes + piece;
  }
  return packets;
}

std::optional<std::vector<FetchedThumbnail>> CollectThumbnails(const std::vector<Chunk>& chunks,
                                                               std::string* error) {
  std::vector<FetchedThumbnail> thumbnails;
  for (const Chunk& chunk : chunks) {
    if (chunk.code == "RTDT") {
      if (Owed(thumbnails)) {
        SetError(error, "an answer came before the last image was whole");
        return std::nullopt;
      }
      auto answer = DecodeThumbnailAnswer(chunk.payload, error);
      if (!answer) return std::nullopt;
      thumbnails.push_back({*answer, {}});
      continue;
    }
    if (chunk.code != "RTDA") continue;
    if (!Owed(thumbnails)) {
      SetError(error, "image data that no answer announced");
      return std::nullopt;
    }
    FetchedThumbnail& last = thumbnails.back();
    if (last.image.size() + chunk.payload.size() > static_cast<size_t>(last.answer.image_size)) {
      SetError(error, "image data beyond the announced size");
      return std::nullopt;
    }
    last.image += chunk.payload;
  }
  if (Owed(thumbnails)) {
    SetError(error, "the last image ended early");
    return std::nullopt;
  }
  return thumbnails;
}

}  // namespace velmor::player
