#include "thumbnail/old_thumbnail.h"

#include <cstddef>

#include "core/paths.h"

namespace velmor {
namespace {

constexpr unsigned char kCommentStart[] = {0xFF, 0xD8, 0xFF, 0xFE};
constexpr size_t kLengthAt = sizeof kCommentStart;
constexpr size_t kDataAt = kLengthAt + 2;
// The old server read the segment into a buffer of this many bytes.
constexpr size_t kSegmentLengthLimit = 1027;

const char* SubfolderOf(MediaType type) {
  switch (type) {
    case kMediaVideo:
      return "";
    case kMediaAudio:
      return "audio/";
    case kMediaImage:
      return "image/";
    case kMediaNone:
      break;
  }
  return "folder/";
}

}  // namespace

std::string OldBaseName(std::string_view name, bool is_folder) {
  if (is_folder) return std::string(name);
  const size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

std::string OldThumbnailPath(const std::string& old_folder, std::string_view media_name,
                             bool is_folder, const MediaSets& media) {
  const MediaType type = is_folder ? kMediaNone : media.TypeOf(media_name);
  return JoinPath(old_folder, SubfolderOf(type) + OldBaseName(media_name, is_folder) + ".jpg");
}

std::string OldInfoText(std::string_view jpeg) {
  if (jpeg.size() < kDataAt) return {};
  for (size_t i = 0; i < kLengthAt; ++i) {
    if (static_cast<unsigned char>(jpeg[i]) != kCommentStart[i]) return {};
  }
  const size_t length = static_cast<size_t>(static_cast<unsigned char>(jpeg[kLengthAt])) << 8 |
                        static_cast<unsigned char>(jpeg[kLengthAt + 1]);
  // The length counts its own two bytes.
  if (length >= kSegmentLengthLimit || length < 2 + kOldInfoMagic.size()) return {};
  if (kLengthAt + length > jpeg.size()) return {};
  const std::string_view data = jpeg.substr(kDataAt, length - 2);
  if (!data.starts_with(kOldInfoMagic)) return {};
  // The old server kept the text as a C string.
  return std::string(data.substr(0, data.find('\0')));
}

std::string StoredFormOfOldInfo(std::string_view old_info) {
  if (old_info.starts_with(kOldInfoMagic)) old_info.remove_prefix(kOldInfoMagic.size());
  std::string stored;
  // A carriage return would end the record's line in the data table file.
  for (const char c : old_info) {
    if (c != '\n' && c != '\r') stored += c;
  }
  return stored;
}

}  // namespace velmor
