#include "library/channel_list.h"

#include <gtest/gtest.h>

#include "core/paths.h"
#include "library/list_file.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

class ChannelListTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(home_.path()); }
  test::TempFolder home_;
};

TEST_F(ChannelListTest, WritesTheListFormatExactly) {
  CChannelList list;
  list.Bind(7, CChannelList::kFavourites, home_.Join("favorite.vrl"), 0);
  list.Add("/v/a.mp4", 100);
  list.Add("/v/日本語 b.mp4", CChannelList::kSizeUnknown);
  list.Add("/v/folder", CChannelList::kSizeFolder);
  EXPECT_TRUE(list.dirty());
  ASSERT_TRUE(list.Write());
  EXPECT_FALSE(list.dirty());
  EXPECT_FALSE(list.ChangedOnDisk());
  EXPECT_EQ(test::ReadFileOrEmpty(home_.Join("favorite.vrl")),
            "\xEF\xBB\xBF#name (Favorite)\r\n/v/a.mp4?<fs>100\r\n/v/日本語 b.mp4\r\n"
            "/v/folder?<fs>-2\r\n#end\r\n");

  CChannelList search;
  search.Bind(6, CChannelList::kSearchList, home_.Join("search.vrl"), 0);
  ASSERT_TRUE(search.Write());
  EXPECT_EQ(test::ReadFileOrEmpty(home_.Join("search.vrl")),
            "\xEF\xBB\xBF#name (Search)\r\n#end\r\n");
}

TEST_F(ChannelListTest, FavouritesKeepOnePathAndSizeTheSearchListKeepsAll) {
  CChannelList favourites;
  favourites.Bind(7, CChannelList::kFavourites, home_.Join("f.vrl"), 0);
  EXPECT_EQ(favourites.Add("/v/a.mp4", 100), 0);
  EXPECT_EQ(favourites.Add("/v/a.mp4", 100), 1);
  EXPECT_EQ(favourites.Add("/v/a.mp4", -1), 1) << "an unknown size matches";
  EXPECT_EQ(favourites.Add("/v/a.mp4", 200), 0);
  EXPECT_EQ(favourites.Add("/v/A.mp4", 100), 0) << "paths compare exactly";
  EXPECT_EQ(favourites.items().size(), 3u);

  CChannelList search;
  search.Bind(6, CChannelList::kSearchList, home_.Join("s.vrl"), 0);
  search.Add("/v/a.mp4", 100);
  search.Add("/v/a.mp4", 100);
  EXPECT_EQ(search.items().size(), 2u);
}

TEST_F(ChannelListTest, ReadTakesStoredSizesOrLooksAtTheDisk) {
  test::WriteFileOrFail(home_.Join("clip.mp4"), "12345");
  const std::string folder = WithForwardSlashes(home_.path());
  test::WriteFileOrFail(home_.Join("f.vrl"),
                        "\xEF\xBB\xBF#name (Favorite)\r\n" + folder + "/clip.mp4?<fs>100\r\n" +
                            folder + "\\clip.mp4\r\n" + folder + "\r\n" + folder +
                            "/gone.mp4\r\n#comment\r\n\r\n#end\r\n/after.mp4\r\n");
  CChannelList list;
  list.Bind(7, CChannelList::kFavourites, home_.Join("f.vrl"), 0);
  ASSERT_TRUE(list.Read());
  ASSERT_EQ(list.items().size(), 4u);
  EXPECT_EQ(list.items()[0].size, 100);
  EXPECT_EQ(list.items()[1].path, folder + "/clip.mp4");
  EXPECT_EQ(list.items()[1].file_name, "clip.mp4");
  EXPECT_EQ(list.items()[1].size, 5);
  EXPECT_EQ(list.items()[2].size, CChannelList::kSizeFolder);
  EXPECT_EQ(list.items()[3].size, CChannelList::kSizeNotFound);
  EXPECT_FALSE(list.dirty());
}

TEST_F(ChannelListTest, NoticesAHandEditOnDisk) {
  CChannelList list;
  list.Bind(6, CChannelList::kSearchList, home_.Join("s.vrl"), 0);
  EXPECT_FALSE(list.ChangedOnDisk()) << "a missing file reads as time 0";
  ASSERT_TRUE(list.Write());
  EXPECT_FALSE(list.ChangedOnDisk());
  const platform::FileTime later = GetFileWriteTime(home_.Join("s.vrl")) + 10 * 1000 * 1000 * 10ull;
  ASSERT_TRUE(platform::SetFileTimes(home_.Join("s.vrl"), 0, later));
  EXPECT_TRUE(list.ChangedOnDisk());
  EXPECT_FALSE(CChannelList().Read()) << "no file bound";
}

}  // namespace
}  // namespace velmor
