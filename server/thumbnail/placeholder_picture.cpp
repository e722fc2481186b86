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
  if (!ProgramFolder().empty() && platform::ReadWholeFile(BesideProgram(name), bytes)) {
    return true;
  }
  bytes->clear();
  // The pictures are installed beside the executable, which is not the
  // program folder when the server runs with a home folder of its own.
  const std::string executable_folder = platform::ExecutableFolder();
  if (executable_folder.empty() || executable_folder == ProgramFolder()) return false;
  return platform::ReadWholeFile(JoinPath(executable_folder, name), bytes);
}

}  // namespace velmor
