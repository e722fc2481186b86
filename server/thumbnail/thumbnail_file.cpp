#include "thumbnail/thumbnail_file.h"

#include "core/paths.h"
#include "platform/clock.h"

namespace velmor {
namespace {

constexpr int kMarkBaseYear = 1990;
constexpr int kLastMarkedMake = 4;

bool IsIdTextCharacter(char c) { return (c >= '0' && c <= '9') || c == '_'; }

// Pictures made from the media (by the server, or by a player that says so)
// give way to whatever file is there.
bool KeepsExistingFile(int make) { return make == 1 || make == 2; }

}  // namespace

bool ThumbnailPathFor(const std::string& folder, std::string_view id_text, std::string* path) {
  if (folder.empty() || id_text.empty()) return false;
  for (const char c : id_text) {
    if (!IsIdTextCharacter(c)) return false;
  }
  *path = JoinPath(folder, std::string(id_text) + ".jpg");
  return true;
}

bool ThumbnailFileExists(const std::string& path) {
  return platform::GetPathType(path) == platform::PathType::kFile;
}

platform::FileTime CreationMarkOf(int make) {
  return platform::FileTimeOfLocalTime({kMarkBaseYear + make, 1, 1, 0, 0, 0, 0});
}

ThumbnailWrite WriteThumbnailFile(const std::string& path, std::string_view picture, int make) {
  if (KeepsExistingFile(make) && ThumbnailFileExists(path)) return ThumbnailWrite::kKept;
  if (!platform::WriteFileAtomically(path, picture)) {
    // The thumbnail folder may have been deleted while the server ran.
    if (!EnsureFolder(SplitPath(path).folder) || !platform::WriteFileAtomically(path, picture)) {
      return ThumbnailWrite::kFailed;
    }
  }
  // Where the creation time cannot be set (POSIX, Wine) the make stays
  // readable from the record's info text alone.
  if (make >= 0 && make <= kLastMarkedMake && platform::CanSetCreationTime()) {
    platform::SetFileTimes(path, CreationMarkOf(make), 0);
  }
  return ThumbnailWrite::kWritten;
}

}  // namespace velmor
