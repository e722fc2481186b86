// A folder's entries as the walks over the media folders read them: with
// the sizes and times of only the entries a walk looks at, so that no
// status read is spent on the others (the host may give them anyway).
// Folders in the server's form ("/"); an unreadable folder has no entries.
#pragma once

#include <string>
#include <vector>

#include "library/ext_set.h"
#include "platform/file_system.h"

namespace velmor {

std::vector<platform::FileInfo> ReadFolderEntries(const std::string& folder,
                                                  const platform::WantsDetails& wants_details);
// Names, kinds and the hidden mark only.
std::vector<platform::FileInfo> ReadFolderNames(const std::string& folder);
// With the sizes and times of the media files only.
std::vector<platform::FileInfo> ReadFolderMediaDetails(const std::string& folder,
                                                       const MediaSets& media);

}  // namespace velmor
