// The working record of one thumbnail operation. The worker thread, the
// command session and the batch dialog each have their own; none is shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "library/ext_set.h"
#include "thumbnail/thumbnail_info.h"

namespace velmor {

// What a job works on: the library's media types, and 4 for anything else
// (a folder).
enum ThumbnailMediaType : int {
  kThumbnailVideo = 1,
  kThumbnailAudio = 2,
  kThumbnailImage = 3,
  kThumbnailFolder = 4,
};

// The extension decides, tested video, audio, image in that order.
inline int ThumbnailMediaTypeOf(std::string_view path, const MediaSets& media) {
  const MediaType type = media.TypeOf(path);
  return type == kMediaNone ? kThumbnailFolder : static_cast<int>(type);
}

struct ThumbnailJob {
  // ffprobe's report must stay below this size.
  static constexpr size_t kProbeTextSize = 65536;
  // Room kept above every picture size asked for.
  static constexpr size_t kImageHeadroom = 1556;

  std::string media_path;  // UTF-8
  int64_t record_id = 0;
  int media_type = kThumbnailFolder;
  std::string image;       // the picture's bytes: a JPEG
  std::string probe_text;  // ffprobe's last report
  ThumbnailInfo info;
  std::string client_text;  // the info text a player sent with its picture

  // Empties the picture and makes room for size bytes.
  void EnsureImage(size_t size) {
    image.clear();
    image.reserve(size + kImageHeadroom);
  }
};

}  // namespace velmor
