// The in-memory search-results list or favourites list, bound to the channel
// whose type names it and to its ".vrl" file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/config.h"
#include "platform/file_system.h"

namespace velmor {

class CChannelList {
 public:
  enum Kind : int { kSearchList = 0, kFavourites = 1 };

  // Sizes with a meaning of their own.
  static constexpr int64_t kSizeNotFound = -1;
  static constexpr int64_t kSizeFolder = -2;
  static constexpr int64_t kSizeUnknown = -10;

  struct S_CHANNEL_ITEM {
    bool valid = true;
    std::string path;  // "/" separators
    std::string file_name;
    int64_t size = kSizeUnknown;
  };

  // Binds the list to a channel and its file; the items are cleared.
  void Bind(int channel, Kind kind, const std::string& file_name, int item_count);

  // Appends an item. The favourites list keeps one item per path and size
  // (a size of -1 on either side matches): a second one is not added and
  // the result is 1; otherwise 0. Either way the list becomes dirty.
  int Add(const std::string& path, int64_t size);
  void Clear() { items_.clear(); }

  // Appends the file's items (without the favourites check) and remembers
  // its time; false when it cannot be read.
  bool Read();
  // Writes "#name (Search)" or "#name (Favorite)", the items and "#end";
  // false (nothing changed on disk) when it cannot be written.
  bool Write();

  // True when the file's last-write time differs from the one last seen (a
  // missing file reads as time 0).
  bool ChangedOnDisk() const;
  void RememberFileTime();

  int channel() const { return channel_; }
  Kind kind() const { return kind_; }
  const std::string& file_name() const { return file_name_; }
  bool dirty() const { return dirty_; }
  const std::vector<S_CHANNEL_ITEM>& items() const { return items_; }

 private:
  std::string file_name_;
  int channel_ = -1;
  Kind kind_ = kSearchList;
  bool dirty_ = false;
  platform::FileTime file_time_ = 0;
  std::vector<S_CHANNEL_ITEM> items_;
};

// The list a channel of the search-results or favourites type keeps: its
// kind and its file (the channel's path, or "search.vrl" / "favorite.vrl"
// beside the program). False for the other channel types.
bool ChannelListFile(const S_CONFIG_CH& entry, CChannelList::Kind* kind, std::string* file);

}  // namespace velmor
