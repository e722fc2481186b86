// The orders of the channel listings: the player's sort key and directions
// for the file items of a folder, file-name groups ("Movie#1", "Movie#2"
// pulled together), and the fixed orders of subfolders and word lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/config.h"
#include "platform/clock.h"

namespace velmor {

// The request's <sort_name>.
enum SortKey : int {
  kSortByName = 0,      // ties by date-time
  kSortByDateTime = 1,  // ties by name
  kSortByDate = 2,      // the day only; ties by name
  kSortByGroup = 3,     // group id; ties by name
};

// The order of a list: its key, and the directions (+1 ascending, -1
// descending) of the key and of its tie-break.
struct SortSetting {
  int key = kSortByName;
  int first_direction = 1;
  int second_direction = 1;

  // From <sort_name>, <sort_mode> and <sort_mode_2nd>: a mode of 0 is
  // descending, any other ascending.
  static SortSetting FromRequest(int sort_name, int sort_mode, int sort_mode_2nd);
};

// Chapter trees: names ascending, ties by date-time ascending.
inline constexpr SortSetting kChapterTreeOrder{kSortByName, 1, 1};

// One item of a folder listing: a media file or a chapter folder.
struct S_SORTW {
  std::string name;  // UTF-8, with the extension
  int media_type = 0;
  int kind = 0;
  // Last write in local time: the date year*10000 + month*100 + day and the
  // date-time date*1000000 + hour*10000 + minute*100 + second; both 0
  // without a time.
  int64_t date = 0;
  int64_t date_time = 0;
  int grouped = 0;        // 1 in a group of two or more
  int group_id = 0;       // the grouping key
  int group_no = -1;      // the number after the group text, -1 without one
  int64_t file_size = 0;  // -2 for folders
  // Chapter folders: their items, and the number of chapter files in the
  // whole tree.
  std::vector<S_SORTW> chapter_tree;
  int chapter_count = 0;
};

// One subfolder of a listing.
struct S_SORT_FILENAME {
  std::string name;
  int64_t date = 0;
};

// A group found by GroupItems: the position of its first item (the head) in
// the list, and the length of the head's stem in UTF-16 units.
struct S_SORT_GROUP_ID {
  size_t head = 0;
  size_t stem_length = 0;
};

int64_t SortDate(const platform::LocalTime& time);
int64_t SortDateTime(const platform::LocalTime& time);

// Sorts by the request's key and directions, stable; a key outside 0 to 3
// leaves the list as it is (the file system's order).
void SortItems(std::vector<S_SORTW>* items, int sort_name, int sort_mode, int sort_mode_2nd);
void SortItems(std::vector<S_SORTW>* items, const SortSetting& setting);

// Fills every item's group_no from its name. With grouping on, also gives
// each item a group id (an item whose stem begins an earlier group's first
// name joins that group) and sorts again by group id, then by name: each
// group stands where its first item stood, its items in name order, and the
// items without a group keep their order. An empty group text marks no group.
void GroupItems(std::vector<S_SORTW>* items, std::string_view group_text, bool grouping);

// A channel listing's order: SortItems, then GroupItems with the settings'
// group text, grouping when "iUseFileGroup" is 1 and the key is not 0.
void SortAndGroupItems(std::vector<S_SORTW>* items, int sort_name, int sort_mode, int sort_mode_2nd,
                       const S_CONFIG& config);

// Subfolders: names in natural order, ascending.
void SortFileNames(std::vector<S_SORT_FILENAME>* folders);

// -1, 0 or 1 by the UTF-16 code units of two UTF-8 texts (which differs
// from their byte order above U+FFFF): the word list's order of ids.
int CompareUtf16Units(std::string_view a, std::string_view b);

}  // namespace velmor
