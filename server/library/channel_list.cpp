#include "library/channel_list.h"

#include "core/paths.h"

namespace velmor {

void CChannelList::Bind(int channel, Kind kind, const std::string& file_name, int item_count) {
  channel_ = channel;
  kind_ = kind;
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

bool CChannelList::ChangedOnDisk() const { return GetFileWriteTime(file_name_) != file_time_; }

void CChannelList::RememberFileTime() { file_time_ = GetFileWriteTime(file_name_); }

}  // namespace velmor
