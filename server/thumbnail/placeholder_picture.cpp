#include "thumbnail/placeholder_picture.h"

#include "core/paths.h"
#include "platform/file_system.h"
#include "thumbnail/thumbnail_job.h"

namespace velmor {

const char* PlaceholderFor(int media_type) {
  switch (media_type) {
    case kThumbnailAudio:
      return kPlaceholderAudio;
    case kThumbnailImage:
      return kPlaceholderImage;
    case kThumbnailFolder:
      return kPlaceholderFolder;
    default:
      return kPlaceholderVideo;
  }
}

bool ReadPlaceholderPicture(const char* name, std::string* bytes) {
  bytes->clear();
  if (platform::GetPathType(name) == platform::PathType::kFile &&
      platform::ReadWholeFile(name, bytes)) {
    return true;
  }
  bytes->clear();
  if (ProgramFolder().empty()) return false;
  return platform::ReadWholeFile(BesideProgram(name), bytes);
}

}  // namespace velmor
