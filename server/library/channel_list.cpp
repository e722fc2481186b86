#include "library/channel_list.h"

#include "core/paths.h"
#include "core/text_file.h"
#include "library/list_file.h"
#include "platform/file_system.h"

namespace velmor {

void CChannelList::Bind(int channel, Kind kind, const std::string& file_name, int item_count) {
  channel_ = channel;
  kind_ = kind;
  if (file_name != file_name_) platform::RemoveLeftTemporaries(file_name);
  file_name_ = file_name;
  items_.clear();
  items_.reserve(item_count > 0 ? static_cast<size_t>(item_count) : 0);
}

int CChannelList::Add(const std::string& path, int64_t size) {
  dirty_ = true;
  if (kind_ == kFavourites) {
    for (const S_CHANNEL_ITEM& item : items_) {
      const bool same_size =
          item.size == size || item.size == kSizeNotFound || size == kSizeNotFound;
      if (item.path == path && same_size) return 1;
    }
  }
  S_CHANNEL_ITEM item;
  item.path = path;
  item.file_name = SplitPath(path).file_name;
  item.size = size;
  items_.push_back(std::move(item));
  return 0;
}

namespace {

// The size of a listed path without a stored one: its file's size (-1 when
// it cannot be read), or -2 for a folder.
int64_t SizeOnDisk(const std::string& path) {
  const std::string host_path = ToHostSeparators(path);
  if (PathKind(host_path) == kPathFolder) return CChannelList::kSizeFolder;
  return GetFileSize64(host_path);
}

}  // namespace

bool CChannelList::Read() {
  std::vector<std::string> lines;
  if (!ReadTextLines(file_name_, kListLineMax, &lines)) return false;
  for (const std::string& line : lines) {
    if (line == "#end") break;
    if (line.empty() || line[0] == '#') continue;
    const ListPathLine item = ParseListPathLine(line);
    S_CHANNEL_ITEM entry;
    entry.path = item.path;
    entry.file_name = SplitPath(item.path).file_name;
    entry.size = item.has_size ? item.size : SizeOnDisk(item.path);
    items_.push_back(std::move(entry));
  }
  dirty_ = false;
  RememberFileTime();
  return true;
}

bool CChannelList::Write() {
  std::vector<std::string> lines;
  lines.push_back(kind_ == kFavourites ? "#name (Favorite)" : "#name (Search)");
  for (const S_CHANNEL_ITEM& item : items_) {
    if (!item.valid) continue;
    std::string line = item.path;
    if (item.size != kSizeUnknown) line += "?<fs>" + std::to_string(item.size);
    lines.push_back(std::move(line));
  }
  lines.push_back("#end");
  if (!WriteTextLines(file_name_, lines)) return false;
  dirty_ = false;
  RememberFileTime();
  return true;
}

bool CChannelList::ChangedOnDisk() const { return GetFileWriteTime(file_name_) != file_time_; }

void CChannelList::RememberFileTime() { file_time_ = GetFileWriteTime(file_name_); }

bool ChannelListFile(const S_CONFIG_CH& entry, CChannelList::Kind* kind, std::string* file) {
  if (entry.iType == kChannelSearchList) {
    *kind = CChannelList::kSearchList;
    return ResolveFileSetting(entry.pcPath, "search.vrl", file);
  }
  if (entry.iType == kChannelFavourites) {
    *kind = CChannelList::kFavourites;
    return ResolveFileSetting(entry.pcPath, "favorite.vrl", file);
  }
  return false;
}

}  // namespace velmor
