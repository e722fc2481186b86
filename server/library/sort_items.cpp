#include "library/sort_items.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <unordered_map>
#include <utility>

#include "base/utf.h"
#include "library/natural_order.h"
#include "platform/natural_order.h"

namespace velmor {
namespace {

template <class T>
int Compare(const T& a, const T& b) {
  return (a > b) - (a < b);
}

// The items with their names in UTF-16, the form every name comparison and
// the group search work on, made once per sort.
struct NamedItems {
  std::vector<S_SORTW>* items;
  std::vector<std::u16string> names;

  explicit NamedItems(std::vector<S_SORTW>* list) : items(list) {
    names.reserve(list->size());
    for (const S_SORTW& item : *list) names.push_back(Utf8ToUtf16(item.name));
  }
};

int CompareFirstKey(const NamedItems& list, size_t a, size_t b, int key) {
  const S_SORTW& item_a = (*list.items)[a];
  const S_SORTW& item_b = (*list.items)[b];
  switch (static_cast<SortKey>(key)) {
    case kSortByName:
      return platform::CompareLogical(list.names[a], list.names[b]);
    case kSortByDateTime:
      return Compare(item_a.date_time, item_b.date_time);
    case kSortByDate:
      return Compare(item_a.date, item_b.date);
    case kSortByGroup:
      return Compare(item_a.group_id, item_b.group_id);
  }
  return 0;
}

int CompareTieBreak(const NamedItems& list, size_t a, size_t b, int key) {
  if (key == kSortByName) return Compare((*list.items)[a].date_time, (*list.items)[b].date_time);
  return platform::CompareLogical(list.names[a], list.names[b]);
}

int Direction(int direction) { return direction < 0 ? -1 : 1; }

// Puts the items (and their names) into the order of the positions given.
void Reorder(NamedItems* list, const std::vector<size_t>& order) {
  std::vector<S_SORTW> items;
  std::vector<std::u16string> names;
  items.reserve(order.size());
  names.reserve(order.size());
  for (size_t position : order) {
    items.push_back(std::move((*list->items)[position]));
    names.push_back(std::move(list->names[position]));
  }
  *list->items = std::move(items);
  list->names = std::move(names);
}

void Sort(NamedItems* list, const SortSetting& setting) {
  if (setting.key < kSortByName || setting.key > kSortByGroup) return;
  const int first = Direction(setting.first_direction);
  const int second = Direction(setting.second_direction);
  std::vector<size_t> order(list->items->size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int by_key = CompareFirstKey(*list, a, b, setting.key) * first;
    if (by_key != 0) return by_key < 0;
    return CompareTieBreak(*list, a, b, setting.key) * second < 0;
  });
  Reorder(list, order);
}

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Where a name carries a group number: the group text followed by a digit.
struct GroupMark {
  bool found = false;
  size_t stem_length = 0;  // the name before the group text
  int number = -1;
};

// Numbers past the int range stay at its largest value.
int ParseGroupNumber(std::u16string_view digits) {
  int64_t value = 0;
  for (char16_t unit : digits) {
    if (!IsDigit(unit)) break;
    value = std::min<int64_t>(value * 10 + (unit - u'0'), INT_MAX);
  }
  return static_cast<int>(value);
}

GroupMark FindGroupMark(std::u16string_view name, std::u16string_view group_text) {
  if (group_text.empty()) return {};
  const size_t at = name.find(group_text);
  if (at == std::u16string_view::npos) return {};
  const size_t digits = at + group_text.size();
  if (digits >= name.size() || !IsDigit(name[digits])) return {};
  return {true, at, ParseGroupNumber(name.substr(digits))};
}

// The group heads met so far, found by stem: the group an item with a stem
// joins is the first head whose name begins with the stem. Every stem of the
// list is known before the walk, so each new head is filed at once under
// each stem its name begins with, and finding an item's group is a single
// look-up however many groups a folder holds.
class GroupHeads {
 public:
  GroupHeads(const std::vector<std::u16string>& names, const std::vector<GroupMark>& marks)
      : names_(names) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (!marks[i].found || marks[i].stem_length == 0) continue;
      first_head_.emplace(Stem(i, marks[i].stem_length), kNone);
      stem_lengths_.push_back(marks[i].stem_length);
    }
    std::sort(stem_lengths_.begin(), stem_lengths_.end());
    stem_lengths_.erase(std::unique(stem_lengths_.begin(), stem_lengths_.end()),
                        stem_lengths_.end());
  }

  // An empty stem (a name that begins with the group text) would begin
  // every name; it finds only a head whose own stem is empty.
  const S_SORT_GROUP_ID* Find(std::u16string_view stem) const {
    if (stem.empty()) return Head(first_empty_stem_head_);
    const auto found = first_head_.find(stem);
    return found == first_head_.end() ? nullptr : Head(found->second);
  }

  void Add(size_t position, size_t stem_length) {
    const size_t head = heads_.size();
    heads_.push_back({position, stem_length});
    if (stem_length == 0 && first_empty_stem_head_ == kNone) first_empty_stem_head_ = head;
    const std::u16string_view name = names_[position];
    for (size_t length : stem_lengths_) {
      if (length > name.size()) break;
      const auto filed = first_head_.find(name.substr(0, length));
      if (filed != first_head_.end() && filed->second == kNone) filed->second = head;
    }
  }

 private:
  static constexpr size_t kNone = SIZE_MAX;

  std::u16string_view Stem(size_t position, size_t length) const {
    return std::u16string_view(names_[position]).substr(0, length);
  }
  const S_SORT_GROUP_ID* Head(size_t head) const { return head == kNone ? nullptr : &heads_[head]; }

  const std::vector<std::u16string>& names_;
  std::vector<S_SORT_GROUP_ID> heads_;
  // Each stem of the list, with the first head whose name begins with it.
  std::unordered_map<std::u16string_view, size_t> first_head_;
  std::vector<size_t> stem_lengths_;  // of the non-empty stems, ascending
  size_t first_empty_stem_head_ = kNone;
};

}  // namespace

SortSetting SortSetting::FromRequest(int sort_name, int sort_mode, int sort_mode_2nd) {
  return {sort_name, sort_mode != 0 ? 1 : -1, sort_mode_2nd != 0 ? 1 : -1};
}

int64_t SortDate(const platform::LocalTime& time) {
  return int64_t{time.year} * 10000 + time.month * 100 + time.day;
}

int64_t SortDateTime(const platform::LocalTime& time) {
  return SortDate(time) * 1000000 + time.hour * 10000 + time.minute * 100 + time.second;
}

void SortItems(std::vector<S_SORTW>* items, int sort_name, int sort_mode, int sort_mode_2nd) {
  SortItems(items, SortSetting::FromRequest(sort_name, sort_mode, sort_mode_2nd));
}

void SortItems(std::vector<S_SORTW>* items, const SortSetting& setting) {
  if (setting.key < kSortByName || setting.key > kSortByGroup) return;
  NamedItems list(items);
  Sort(&list, setting);
}

void GroupItems(std::vector<S_SORTW>* items, std::string_view group_text, bool grouping) {
  NamedItems list(items);
  const std::u16string group_text16 = Utf8ToUtf16(group_text);
  std::vector<GroupMark> marks;
  marks.reserve(items->size());
  for (size_t i = 0; i < items->size(); ++i) {
    marks.push_back(FindGroupMark(list.names[i], group_text16));
    (*items)[i].group_no = marks[i].number;
  }
  if (!grouping) return;
  GroupHeads heads(list.names, marks);
  int next_group_id = 0;
  for (size_t i = 0; i < items->size(); ++i) {
    S_SORTW& item = (*items)[i];
    const GroupMark& mark = marks[i];
    if (mark.found) {
      const std::u16string_view stem =
          std::u16string_view(list.names[i]).substr(0, mark.stem_length);
      if (const S_SORT_GROUP_ID* head = heads.Find(stem)) {
        S_SORTW& head_item = (*items)[head->head];
        item.group_id = head_item.group_id;
        item.grouped = 1;
        head_item.grouped = 1;
        continue;
      }
    }
    item.group_id = next_group_id++;
    item.grouped = 0;
    if (mark.found) heads.Add(i, mark.stem_length);
  }
  Sort(&list, SortSetting{kSortByGroup, 1, 1});
}

void SortAndGroupItems(std::vector<S_SORTW>* items, int sort_name, int sort_mode, int sort_mode_2nd,
                       const S_CONFIG& config) {
  SortItems(items, sort_name, sort_mode, sort_mode_2nd);
  GroupItems(items, config.pcFileGroup, config.iUseFileGroup == 1 && sort_name != kSortByName);
}

void SortFileNames(std::vector<S_SORT_FILENAME>* folders) {
  SortByNaturalName(folders, [](const S_SORT_FILENAME& folder) { return folder.name; });
}

int CompareUtf16Units(std::string_view a, std::string_view b) {
  return Compare(Utf8ToUtf16(a).compare(Utf8ToUtf16(b)), 0);
}

}  // namespace velmor
