#include "command/thumbnail_commands.h"

#include <new>
#include <string>

#include "command/command_context.h"
#include "command/packet_writer.h"
#include "command/thumbnail_payload.h"
#include "library/data_table_record.h"
#include "thumbnail/media_runner.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor {
namespace {

// The player's info text is kept in 1,024 bytes with its zero.
constexpr size_t kClientTextMax = 1023;
// Far above any thumbnail; a larger announcement is refused before any
// memory is set aside for it.
constexpr int32_t kMaxUploadBytes = static_cast<int32_t>(MediaRunner::kMaxPictureBytes);

// The longest start of a UTF-8 text within max_bytes that ends on a whole
// character.
std::string CutUtf8(std::string text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t cut = max_bytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

void AnswerItem(CommandContext& context, ThumbnailManager* thumbnails, uint16_t index,
                const ThumbnailFetchRequest& request, const ThumbnailFetchItem& item) {
  ThumbnailJob* job = thumbnails->session_job();
  if (request.by_path()) {
    job->media_path = item.path;
  } else {
    job->record_id = item.record_id;
  }
  const auto status = thumbnails->Fetch(request.kind, item.flags, job);
  std::string info;
  if (!request.by_path() && status == ThumbnailManager::FetchStatus::kLoaded) {
    info = thumbnails->StoredInfoText(item.record_id);
  }
  PacketWriter* out = context.session.send_buffer();
  const std::vector<uint8_t> answer = EncodeThumbnailAnswer(
      index, static_cast<uint16_t>(status), info, static_cast<int32_t>(job->image.size()));
  out->AppendChunk(kCodeRtdt, answer.data(), answer.size());
  if (job->image.empty()) return;
  out->SendRawData(job->image.data(), job->image.size(),
                   RawPieceSize(context.session.client_protocol_version()));
}

bool ReserveImage(size_t size, std::string* image) {
  image->clear();
  try {
    image->reserve(size + ThumbnailJob::kImageHeadroom);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The announced bytes, from the chunks after the header on.
bool CollectUploadData(CommandContext& context, size_t size, std::string* image) {
  while (image->size() < size) {
    Chunk chunk;
    // The session ended (or the server stops) before the last piece came.
    if (!context.session.TakeFollowingChunk(&chunk)) return false;
    // Another chunk between the pieces leaves the picture unfinished.
    if (chunk.code != kCodeData) return false;
    // More than announced: the pieces cannot be trusted.
    if (chunk.size > size - image->size()) return false;
    image->append(reinterpret_cast<const char*>(chunk.payload), chunk.size);
  }
  return true;
}

}  // namespace

int HandleThumbnailFetch(CommandContext& context, const Chunk& chunk) {
  ThumbnailManager* thumbnails = context.library.thumbnails();
  if (thumbnails == nullptr || context.session.send_buffer() == nullptr) return 0;
  ThumbnailFetchRequest request;
  if (!ParseThumbnailFetch(chunk.payload, chunk.size, &request)) return 0;
  for (size_t index = 0; index < request.items.size(); ++index) {
    AnswerItem(context, thumbnails, static_cast<uint16_t>(index), request, request.items[index]);
  }
  return 1;
}

int HandleThumbnailUpload(CommandContext& context, const Chunk& chunk) {
  ThumbnailManager* thumbnails = context.library.thumbnails();
  if (thumbnails == nullptr) return 0;
  ThumbnailUploadHeader header;
  if (!ParseThumbnailUpload(chunk.payload, chunk.size, &header)) return 0;
  if (header.data_size < 0 || header.data_size > kMaxUploadBytes) return 0;
  ThumbnailJob* job = thumbnails->session_job();
  job->record_id = header.record_id;
  job->client_text = CutUtf8(std::move(header.info_text), kClientTextMax);
  const size_t size = static_cast<size_t>(header.data_size);
  if (!ReserveImage(size, &job->image)) return 0;
  if (!CollectUploadData(context, size, &job->image)) {
    job->image.clear();
    return 0;
  }
  return thumbnails->StoreUpload(job) ? 1 : 0;
}

int CommandMakeThumbnailRequest(CommandContext& context, const CommandRequest& request,
                                CommandReply*) {
  ThumbnailManager* thumbnails = context.library.thumbnails();
  if (thumbnails == nullptr) return 0;
  for (int field = 1; field <= 4; ++field) {
    if (!request.Has(field) || request.Text(field).empty()) break;
    const int64_t id = request.Int64(field);
    if (!IsRecordId(id)) break;
    thumbnails->RequestIfMissing(id);
  }
  return 1;
}

int CommandGetThumbnailRequestNum(CommandContext& context, const CommandRequest&,
                                  CommandReply* reply) {
  ThumbnailManager* thumbnails = context.library.thumbnails();
  if (thumbnails == nullptr) return 0;
  reply->Set(0, static_cast<int64_t>(thumbnails->RequestCount()));
  return 1;
}

int CommandDelThumbnail(CommandContext& context, const CommandRequest& request, CommandReply*) {
  ThumbnailManager* thumbnails = context.library.thumbnails();
  if (thumbnails == nullptr) return 0;
  thumbnails->DeleteThumbnail(request.Int64(1), request.Text(2));
  return 1;
}

}  // namespace velmor
