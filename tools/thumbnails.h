// The player's half of the thumbnail transfer: the "THUM" fetch by record
// id or by path, the answers ("RTDT" followed by the image in "RTDA"
// pieces) put back together, and an upload ("MKTH" and its "DATA" pieces)
// cut into packets the server can receive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records.h"
#include "wire.h"

namespace velmor::player {

// Fetch kinds: the record's thumbnail (2: with priority when bit 0 of the
// item's flags is set; 4: without asking for one to be made), or a picture
// by its path.
inline constexpr uint16_t kThumbnailById = 1;
inline constexpr uint16_t kThumbnailByIdWithPriority = 2;
inline constexpr uint16_t kThumbnailWithoutRequest = 4;
inline constexpr uint16_t kThumbnailByPath = 8;

struct ThumbnailItem {
  uint16_t flags = 0;
  int64_t record_id = 0;
};

// Refuses more than 65,535 items.
std::optional<Chunk> MakeThumbnailFetchChunk(uint16_t kind, const std::vector<ThumbnailItem>& items,
                                             std::string* error);
// One item by path; refuses a path too long for its 16-bit byte count.
std::optional<Chunk> MakeThumbnailPathChunk(uint16_t flags, std::string_view path,
                                            std::string* error);

// The packets of an upload: the header and as many pieces as fit in the
// first, the rest of the pieces in packets of their own.
std::optional<std::vector<std::vector<Chunk>>> MakeUploadPackets(int64_t record_id,
                                                                 std::string_view info_text,
                                                                 std::string_view data,
                                                                 std::string* error);

// One answer and its image.
struct FetchedThumbnail {
  ThumbnailAnswer answer;
  std::string image;
};

// The answers of a reply in order, each image put together from the
// pieces that follow its answer. Refuses pieces that do not add up to the
// announced size and pieces without an answer.
std::optional<std::vector<FetchedThumbnail>> CollectThumbnails(const std::vector<Chunk>& chunks,
                                                               std::string* error);

}  // namespace velmor::player
