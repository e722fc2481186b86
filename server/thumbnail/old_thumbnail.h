// Thumbnails of the older server version: a JPEG per media file in the old
// thumbnail folder (audio, image and folder thumbnails in its subfolders
// "audio", "image" and "folder"), named after the media file's base name.
// The old info text rides in the JPEG's first segment, a comment:
//   FF D8 FF FE <length, 2 bytes big-endian> "VLVR" <tag lines, "\n" apart>
#pragma once

#include <string>
#include <string_view>

#include "library/ext_set.h"

namespace velmor {

inline constexpr std::string_view kOldInfoMagic = "VLVR";

// The old thumbnail of a media file (or folder): the extension's kind picks
// the folder, anything but video, audio or image counting as a folder. "/"
// separators.
std::string OldThumbnailPath(const std::string& old_folder, std::string_view media_name,
                             bool is_folder, const MediaSets& media);

// The comment segment's text from the magic on ("VLVR" and its lines), or
// "" when the picture carries none; a zero byte ends the text. A segment whose length is below the
// magic, above 1026, or runs past the end of the picture is not read.
std::string OldInfoText(std::string_view jpeg);

// The old info text as a "<thum>" value: without the magic, every line
// feed (and carriage return) removed.
std::string StoredFormOfOldInfo(std::string_view old_info);

// A media file's base name: its name without the extension (a folder's name
// is kept whole).
std::string OldBaseName(std::string_view name, bool is_folder);

}  // namespace velmor
