// Finding a picture (or video, or audio file) that belongs to a media file
// or folder: a cover "song.jpg" beside "song.mp3", a "Holiday.jpg" inside
// the folder "Holiday", or failing that any file of the kind in the folder
// or below it.
#pragma once

#include <string>
#include <string_view>

#include "library/ext_set.h"

namespace velmor {

enum CompanionDepth : int {
  kSameNameOnly = 0,    // base name + each extension, in the folder
  kAnyInFolder = 1,     // then the first file of the kind in the folder
  kAnyInSubfolders = 2  // then the same in each subfolder, depth first
};

// Subfolders are searched at most this deep, which also ends a loop of
// folder links.
inline constexpr int kMaxCompanionNesting = 8;

// Searches the folder for a file of the extensions' kind (in the order of
// the list) as the depth allows; the first found is the result.
bool FindCompanion(const CExt& extensions, std::string_view base_name, const std::string& folder,
                   int depth, std::string* found);

// The same with the reference file's name without its extension as the
// base name, in the given folder or else the reference's own folder.
bool FindCompanionOf(const CExt& extensions, const std::string& reference_path,
                     const std::string* folder, int depth, std::string* found);

// The last component of a path, trailing separators ignored.
std::string_view LastPathComponent(std::string_view path);

}  // namespace velmor
