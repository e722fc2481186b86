// The listing orders: the player's sort keys and directions, file-name
// groups, and the fixed orders of subfolders and word ids.
#include "library/sort_items.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/config.h"

namespace velmor {
namespace {

// An item written at date_time (YYYYMMDDhhmmss).
S_SORTW Item(const std::string& name, int64_t date_time = 0) {
  S_SORTW item;
  item.name = name;
  item.date_time = date_time;
  item.date = date_time / 1000000;
  return item;
}

std::vector<std::string> Names(const std::vector<S_SORTW>& items) {
  std::vector<std::string> names;
  for (const S_SORTW& item : items) names.push_back(item.name);
  return names;
}

std::vector<int> GroupNumbers(const std::vector<S_SORTW>& items) {
  std::vector<int> numbers;
  for (const S_SORTW& item : items) numbers.push_back(item.group_no);
  return numbers;
}

std::vector<int> GroupedFlags(const std::vector<S_SORTW>& items) {
  std::vector<int> flags;
  for (const S_SORTW& item : items) flags.push_back(item.grouped);
  return flags;
}

S_CONFIG GroupingConfig(int use_file_group = 1, const std::string& group_text = "#") {
  S_CONFIG config = DefaultConfig();
  config.iUseFileGroup = use_file_group;
  config.pcFileGroup = group_text;
  return config;
}

// ---- Sort keys and directions ----

TEST(SortItemsTest, NameKeyAscendsNaturallyAndDescendsWithModeZero) {
  std::vector<S_SORTW> items = {Item("file9.mp4"), Item("file10.mp4"), Item("File1.mp4"),
                                Item("file9a.mp4")};
  SortItems(&items, kSortByName, 1, 1);
  EXPECT_EQ(Names(items),
            (std::vector<std::string>{"File1.mp4", "file9.mp4", "file9a.mp4", "file10.mp4"}));
  SortItems(&items, kSortByName, 0, 1);
  EXPECT_EQ(Names(items),
            (std::vector<std::string>{"file10.mp4", "file9a.mp4", "file9.mp4", "File1.mp4"}));
}

TEST(SortItemsTest, NameKeyBreaksTiesByDateTimeInTheSecondDirection) {
  // "a01", "A1" and "a1" are one name in natural order.
  std::vector<S_SORTW> items = {Item("a01", 20220101120000), Item("A1", 20220101090000),
                                Item("b", 20200101000000), Item("a1", 20230101000000)};
  SortItems(&items, kSortByName, 1, 1);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"A1", "a01", "a1", "b"}));
  SortItems(&items, kSortByName, 1, 0);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"a1", "a01", "A1", "b"}));
  SortItems(&items, kSortByName, 0, 1);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"b", "A1", "a01", "a1"}));
}

TEST(SortItemsTest, DateTimeKeyOrdersByTimeThenByName) {
  // Two files written in the same second.
  std::vector<S_SORTW> items = {Item("new", 20221023101500), Item("same10", 20221001080000),
                                Item("old", 20210101000000), Item("same9", 20221001080000)};
  SortItems(&items, kSortByDateTime, 1, 1);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"old", "same9", "same10", "new"}));
  SortItems(&items, kSortByDateTime, 0, 1);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"new", "same9", "same10", "old"}));
  SortItems(&items, kSortByDateTime, 1, 0);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"old", "same10", "same9", "new"}));
}

TEST(SortItemsTest, DateKeyIgnoresTheTimeOfDay) {
  std::vector<S_SORTW> items = {Item("c", 20221023235959), Item("b", 20221023000001),
                                Item("next day", 20221024000000), Item("a", 20221023120000),
                                Item("day before", 20221022235959)};
  SortItems(&items, kSortByDate, 1, 1);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"day before", "a", "b", "c", "next day"}));
  SortItems(&items, kSortByDate, 0, 0);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"next day", "c", "b", "a", "day before"}));
}

TEST(SortItemsTest, ItemsEqualUnderBothKeysKeepTheirOrder) {
  std::vector<S_SORTW> items = {Item("x01", 20220101000000), Item("X1", 20220101000000),
                                Item("x001", 20220101000000)};
  for (int key = kSortByName; key <= kSortByGroup; ++key) {
    for (int mode = 0; mode <= 1; ++mode) {
      SortItems(&items, key, mode, mode);
      EXPECT_EQ(Names(items), (std::vector<std::string>{"x01", "X1", "x001"}))
          << "key " << key << " mode " << mode;
    }
  }
}

TEST(SortItemsTest, KeyOutsideZeroToThreeKeepsTheFileSystemOrder) {
  const std::vector<S_SORTW> listed = {Item("b", 2), Item("a", 3), Item("c", 1)};
  for (int key : {-1, 4, 1000}) {
    std::vector<S_SORTW> items = listed;
    SortItems(&items, key, 1, 1);
    EXPECT_EQ(Names(items), Names(listed)) << "key " << key;
  }
}

TEST(SortItemsTest, AnyNonZeroModeAscends) {
  std::vector<S_SORTW> items = {Item("b"), Item("a")};
  SortItems(&items, kSortByName, 7, -3);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"a", "b"}));
}

TEST(SortItemsTest, JapaneseNamesInNaturalOrder) {
  std::vector<S_SORTW> items = {Item("第10話.mp4"), Item("第2話.mp4"), Item("予告.mp4"),
                                Item("あ.mp4")};
  SortItems(&items, kChapterTreeOrder);
  EXPECT_EQ(Names(items),
            (std::vector<std::string>{"あ.mp4", "第2話.mp4", "第10話.mp4", "予告.mp4"}));
}

// ---- File-name groups ----

TEST(GroupItemsTest, GroupsStandTogetherWhereTheirFirstItemStood) {
  // By date: B#2, A, B#1.
  std::vector<S_SORTW> items = {Item("B#1", 20220103000000), Item("A", 20220102000000),
                                Item("B#2", 20220101000000)};
  SortAndGroupItems(&items, kSortByDateTime, 1, 1, GroupingConfig());
  EXPECT_EQ(Names(items), (std::vector<std::string>{"B#1", "B#2", "A"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{1, 2, -1}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(items[0].group_id, items[1].group_id);
  EXPECT_NE(items[0].group_id, items[2].group_id);
}

TEST(GroupItemsTest, MembersAscendByNameWhileTheRestKeepsTheRequestedOrder) {
  // Newest first.
  std::vector<S_SORTW> items = {Item("Show#1", 1), Item("B", 2),      Item("Show#10", 3),
                                Item("A", 4),      Item("Show#2", 5), Item("C", 6)};
  SortAndGroupItems(&items, kSortByDateTime, 0, 1, GroupingConfig());
  EXPECT_EQ(Names(items), (std::vector<std::string>{"C", "Show#1", "Show#2", "Show#10", "A", "B"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{-1, 1, 2, 10, -1, -1}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{0, 1, 1, 1, 0, 0}));
}

TEST(GroupItemsTest, NameKeyNeverGroupsButFillsGroupNumbers) {
  std::vector<S_SORTW> items = {Item("B#2", 1), Item("A", 2), Item("B#1", 3), Item("AB#1", 4)};
  SortAndGroupItems(&items, kSortByName, 0, 1, GroupingConfig());
  EXPECT_EQ(Names(items), (std::vector<std::string>{"B#2", "B#1", "AB#1", "A"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{2, 1, 1, -1}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{0, 0, 0, 0}));
}

TEST(GroupItemsTest, GroupingOffFillsGroupNumbersOnly) {
  std::vector<S_SORTW> items = {Item("B#2", 3), Item("A", 2), Item("B#1", 1)};
  SortAndGroupItems(&items, kSortByDateTime, 0, 1, GroupingConfig(0));
  EXPECT_EQ(Names(items), (std::vector<std::string>{"B#2", "A", "B#1"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{2, -1, 1}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{0, 0, 0}));
}

TEST(GroupItemsTest, GroupTextFollowedByALetterMarksNoGroup) {
  std::vector<S_SORTW> items = {Item("Movie#1"), Item("Other"), Item("Movie#A"), Item("Movie#B#2"),
                                Item("Movie#2")};
  GroupItems(&items, "#", true);
  // "Movie#B#2": only the first "#" counts, and a letter follows it.
  EXPECT_EQ(Names(items),
            (std::vector<std::string>{"Movie#1", "Movie#2", "Other", "Movie#A", "Movie#B#2"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{1, 2, -1, -1, -1}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{1, 1, 0, 0, 0}));
}

TEST(GroupItemsTest, AStemJoinsTheFirstGroupWhoseNameBeginsWithIt) {
  // "Movie" begins "Movies#1", so Movie#3 joins that group; stems compare
  // exactly, so "movie#4" does not.
  std::vector<S_SORTW> items = {Item("Movies#1"), Item("Zeta"), Item("Movie#3"), Item("movie#4")};
  GroupItems(&items, "#", true);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"Movie#3", "Movies#1", "Zeta", "movie#4"}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{1, 1, 0, 0}));
}

TEST(GroupItemsTest, OfSeveralFittingGroupsTheFirstMetTakesTheItem) {
  // "A" begins both "Ab#1" and "Abc#1" ("Abc" does not begin "Ab#1", so
  // that one starts a group of its own).
  std::vector<S_SORTW> items = {Item("Ab#1"), Item("Abc#1"), Item("A#2"), Item("Abc#2")};
  GroupItems(&items, "#", true);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"A#2", "Ab#1", "Abc#1", "Abc#2"}));
  EXPECT_EQ(items[0].group_id, items[1].group_id);
  EXPECT_EQ(items[2].group_id, items[3].group_id);
  EXPECT_NE(items[0].group_id, items[2].group_id);
}

TEST(GroupItemsTest, LoneHeadStaysUngrouped) {
  std::vector<S_SORTW> items = {Item("Solo#1"), Item("Other#1")};
  GroupItems(&items, "#", true);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"Solo#1", "Other#1"}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{0, 0}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{1, 1}));
}

TEST(GroupItemsTest, NamesThatBeginWithTheGroupTextGroupOnlyWithEachOther) {
  // An empty stem begins every name; it must not pull "#1 intro" into the
  // Movie group.
  std::vector<S_SORTW> items = {Item("Movie#1"), Item("#2 main"), Item("Movie#2"),
                                Item("#1 intro")};
  GroupItems(&items, "#", true);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"Movie#1", "Movie#2", "#1 intro", "#2 main"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{1, 2, 1, 2}));
  EXPECT_EQ(GroupedFlags(items), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_NE(items[0].group_id, items[2].group_id);
}

TEST(GroupItemsTest, GroupTextOfTheSettings) {
  std::vector<S_SORTW> items = {Item("Show_ep2", 1), Item("Other", 2), Item("Show_ep1", 3),
                                Item("Show#1", 4)};
  SortAndGroupItems(&items, kSortByDateTime, 1, 1, GroupingConfig(1, "_ep"));
  EXPECT_EQ(Names(items), (std::vector<std::string>{"Show_ep1", "Show_ep2", "Other", "Show#1"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{1, 2, -1, -1}));
}

TEST(GroupItemsTest, JapaneseGroupTextAndStems) {
  std::vector<S_SORTW> items = {Item("映画その2", 1), Item("予告", 2), Item("映画その10", 3),
                                Item("映画その1", 4)};
  SortAndGroupItems(&items, kSortByDateTime, 1, 1, GroupingConfig(1, "その"));
  EXPECT_EQ(Names(items),
            (std::vector<std::string>{"映画その1", "映画その2", "映画その10", "予告"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{1, 2, 10, -1}));
}

TEST(GroupItemsTest, EmptyGroupTextMarksNoGroup) {
  std::vector<S_SORTW> items = {Item("1a", 1), Item("b", 2), Item("2a", 3)};
  SortAndGroupItems(&items, kSortByDateTime, 1, 1, GroupingConfig(1, ""));
  EXPECT_EQ(Names(items), (std::vector<std::string>{"1a", "b", "2a"}));
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{-1, -1, -1}));
}

TEST(GroupItemsTest, GroupNumberReadsTheDigitsAndStopsAtTheLargestInt) {
  std::vector<S_SORTW> items = {Item("Ep#12b3"), Item("Ep#0007"), Item("Ep#99999999999999999999"),
                                Item("Ep#2147483647")};
  GroupItems(&items, "#", false);
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{12, 7, INT_MAX, INT_MAX}));
}

TEST(GroupItemsTest, GroupingAgainGivesTheSameList) {
  std::vector<S_SORTW> items = {Item("B#2", 1), Item("A", 2), Item("B#1", 3), Item("C#1", 4)};
  GroupItems(&items, "#", true);
  const std::vector<std::string> once = Names(items);
  GroupItems(&items, "#", true);
  EXPECT_EQ(Names(items), once);
  EXPECT_EQ(GroupNumbers(items), (std::vector<int>{1, 2, -1, 1}));
}

// ---- Fixed orders ----

TEST(FixedOrderTest, SubfoldersAscendNaturallyAndKeepEqualNamesInOrder) {
  std::vector<S_SORT_FILENAME> folders = {
      {"Season 10", 1}, {"season 2", 2}, {"extras", 3}, {"Season 02", 4}, {"第1部", 5}};
  SortFileNames(&folders);
  std::vector<int64_t> dates;
  for (const S_SORT_FILENAME& folder : folders) dates.push_back(folder.date);
  EXPECT_EQ(dates, (std::vector<int64_t>{3, 2, 4, 1, 5}));
}

TEST(FixedOrderTest, ChapterTreesAscendByNameThenTime) {
  std::vector<S_SORTW> items = {Item("ch10", 1), Item("ch2", 5), Item("CH2", 3)};
  SortItems(&items, kChapterTreeOrder);
  EXPECT_EQ(Names(items), (std::vector<std::string>{"CH2", "ch2", "ch10"}));
}

TEST(FixedOrderTest, WordIdsCompareByUtf16Units) {
  EXPECT_EQ(CompareUtf16Units("abc", "abc"), 0);
  EXPECT_EQ(CompareUtf16Units("ab", "abc"), -1);
  EXPECT_EQ(CompareUtf16Units("B", "a"), -1);  // case counts
  // A character past U+FFFF begins with a surrogate (D800-DBFF), before
  // U+E000-U+FFFF, although its UTF-8 bytes are larger.
  EXPECT_EQ(CompareUtf16Units("\U0001F600", "\uFF21"), -1);
  EXPECT_EQ(CompareUtf16Units("\uFF21", "\U0001F600"), 1);
  EXPECT_EQ(CompareUtf16Units("\U0001F600", "\uD7FF"), 1);
}

TEST(FixedOrderTest, DateValuesFromLocalTime) {
  platform::LocalTime time;
  time.year = 2022;
  time.month = 10;
  time.day = 23;
  time.hour = 13;
  time.minute = 5;
  time.second = 9;
  EXPECT_EQ(SortDate(time), 20221023);
  EXPECT_EQ(SortDateTime(time), 20221023130509);
}

}  // namespace
}  // namespace velmor
