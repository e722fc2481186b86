// List files (".vrl"): playlists, favourites, search results and search
// targets, UTF-8 text with one path or directive per line.
#pragma once

#include <string>

namespace velmor {

// Lines of list files are read at most this many characters at a time.
inline constexpr size_t kListLineMax = 779;
inline constexpr char kUnnamedList[] = "***";

// The list's display name from its first "#name" line that has one, else
// "***". False when there is no name or the file cannot be read.
bool ReadListName(const std::string& path, std::string* name);

}  // namespace velmor
