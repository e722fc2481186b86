// List files (".vrl"): playlists, favourites, search results and search
// targets, UTF-8 text with one path or directive per line.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace velmor {

// Lines of list files are read at most this many characters at a time.
inline constexpr size_t kListLineMax = 779;
inline constexpr char kUnnamedList[] = "***";

// The list's display name from its first "#name" line that has one, else
// "***". False when there is no name or the file cannot be read.
bool ReadListName(const std::string& path, std::string* name);

// Calls back with each path line (not empty, not beginning with "#"), "\"
// read as "/". A callback result of 0 stops the read with 0; "#end" or the
// end of the file gives 1; a file that cannot be read gives 0.
using ListLineCallback = std::function<int(const std::string& line)>;
int ReadListFileLines(const std::string& path, const ListLineCallback& callback);

// A path line of a search or favourites list: the path before the first "?"
// ("\" read as "/") and the size from "<fs>" behind it.
struct ListPathLine {
  std::string path;
  bool has_size = false;
  long long size = 0;
};
ListPathLine ParseListPathLine(std::string_view line);

std::string WithForwardSlashes(std::string path);

}  // namespace velmor
