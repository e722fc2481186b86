// The tag list "TagList.txt" beside the program: entries the player uses to
// match file names to video formats, sent at the handshake.
#pragma once

#include <string>
#include <vector>

namespace velmor {

// The "#RET_TAG_LIST(...)" reply lines of the file's entries between
// "#start" and "#end", numbered from 0. False (no lines) when the file
// cannot be read.
bool ReadTagList(const std::string& path, std::vector<std::string>* replies);

std::string TagListPath();

}  // namespace velmor
