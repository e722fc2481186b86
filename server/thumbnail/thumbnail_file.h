// A record's thumbnail file: where it lives and how it is written. The file
// is the record's id text with ".jpg" in the thumbnail folder; its creation
// date tells how it was made (1 January 1990 + `make`).
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace velmor {

// The thumbnail path of a record's id text; false for a text that could
// name a file outside the folder (anything but digits and '_'), as a
// hand-edited data table may hold.
bool ThumbnailPathFor(const std::string& folder, std::string_view id_text, std::string* path);

// A regular file stands at the path.
bool ThumbnailFileExists(const std::string& path);

enum class ThumbnailWrite {
  kWritten,
  kKept,    // a picture made from the media never replaces an existing file
  kFailed,  // the file (or the folder, made again) could not be written
};

// Writes the picture as the thumbnail, unless `make` is 1 or 2 and a file
// is there already. The old file is replaced whole or not at all; a folder
// deleted meanwhile is made again. `make` 0 to 4 sets the creation date
// where the host can set one.
ThumbnailWrite WriteThumbnailFile(const std::string& path, std::string_view picture, int make);

// Local midnight of 1 January 1990 + make, as a file time.
platform::FileTime CreationMarkOf(int make);

}  // namespace velmor
