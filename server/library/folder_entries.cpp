#include "library/folder_entries.h"

#include "core/paths.h"

namespace velmor {

std::vector<platform::FileInfo> ReadFolderEntries(const std::string& folder,
                                                  const platform::WantsDetails& wants_details) {
  std::vector<platform::FileInfo> entries;
  platform::ListFolder(ToHostSeparators(folder), wants_details, &entries);
  return entries;
}

std::vector<platform::FileInfo> ReadFolderNames(const std::string& folder) {
  return ReadFolderEntries(folder, [](std::string_view, bool) { return false; });
}

std::vector<platform::FileInfo> ReadFolderMediaDetails(const std::string& folder,
                                                       const MediaSets& media) {
  return ReadFolderEntries(folder, [&media](std::string_view name, bool is_folder) {
    return !is_folder && media.IsMedia(name);
  });
}

}  // namespace velmor
