// Reading UTF-8 text files line by line as the list files, the tag list and
// the word list are read: a byte-order mark is skipped, CR LF reads as LF.
#pragma once

#include <string>
#include <vector>

namespace velmor {

// The file's lines without their line breaks. A line longer than max_units
// UTF-16 characters is returned as several lines of at most that length
// (0: no limit). False when the file cannot be read.
bool ReadTextLines(const std::string& path, size_t max_units, std::vector<std::string>* lines);

// UTF-8 with a byte-order mark and CR LF line ends, written atomically.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace velmor
