#include "library/pc_folder_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace velmor {
namespace {

platform::FileInfo Folder(const std::string& name, bool hidden = false) {
  platform::FileInfo info;
  info.name = name;
  info.is_folder = true;
  info.hidden = hidden;
  return info;
}

TEST(PcFolderListTest, EntriesInFileOrderUpToEnd) {
  const PcFolderList list = ParsePcFolderList({
      "D:/Movies",
      "",
      "#cmd (Storage)",
      "#cmd Refresh",
      "#sc \"My Videos\"",
      "#cmd",
      "#sc \"\"",
      "# a comment",
      "/home/me/say \"hi\"",
      "/home/me/Clips",
      "#end",
      "/after/the/end",
  });
  ASSERT_EQ(list.entries.size(), 5u);
  EXPECT_EQ(list.entries[0].kind, PcFolderEntry::kPath);
  EXPECT_EQ(list.entries[0].text, "D:/Movies");
  EXPECT_EQ(list.entries[1].kind, PcFolderEntry::kDrives);
  EXPECT_EQ(list.entries[2].kind, PcFolderEntry::kCommand);
  EXPECT_EQ(list.entries[2].text, "Refresh");
  EXPECT_EQ(list.entries[3].kind, PcFolderEntry::kSpecial);
  EXPECT_EQ(list.entries[3].text, "My Videos");
  EXPECT_EQ(list.entries[4].text, "/home/me/Clips") << "a path with a quote is left out";
}

TEST(PcFolderListTest, IgnoreRulesCompareNamesCaseSensitively) {
  const PcFolderList list = ParsePcFolderList({
      "#ignore_system",
      "#ignore_cmp $RECYCLE.BIN",
      "#ignore_sub temp",
      "#ignore_start _",
      "#ignore_end .bak",
      "#ignore_other anything",
      "#ignore_cmp",
  });
  ASSERT_EQ(list.ignore_rules.size(), 6u) << "a rule without its token adds nothing";
  const auto ignored = [&](const platform::FileInfo& folder) {
    return IsIgnoredFolder(list.ignore_rules, folder);
  };
  EXPECT_TRUE(ignored(Folder("anything", true)));
  EXPECT_TRUE(ignored(Folder("$RECYCLE.BIN")));
  EXPECT_FALSE(ignored(Folder("$recycle.bin")));
  EXPECT_TRUE(ignored(Folder("my temp files")));
  EXPECT_FALSE(ignored(Folder("Temp")));
  EXPECT_TRUE(ignored(Folder("_cache")));
  EXPECT_TRUE(ignored(Folder("old.bak")));
  EXPECT_FALSE(ignored(Folder("bak")));
  EXPECT_FALSE(ignored(Folder(".ba")));
  EXPECT_FALSE(ignored(Folder("anything"))) << "an unknown rule matches nothing";
}

TEST(PcFolderListTest, ReadsTheFileAndRefusesAMissingOne) {
  test::TempFolder home;
  test::WriteFileOrFail(home.Join("PCFolderList.vrl"), "\xEF\xBB\xBF/a\r\n#sc b\r\n");
  PcFolderList list;
  ASSERT_TRUE(ReadPcFolderList(home.Join("PCFolderList.vrl"), &list));
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].text, "/a");
  EXPECT_FALSE(ReadPcFolderList(home.Join("missing.vrl"), &list));
}

}  // namespace
}  // namespace velmor
