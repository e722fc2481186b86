// "#CMD_GET_CHANNEL" end to end: folders, trees, lists and chapter folders
// as the player receives them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "library/data_table.h"
#include "library/data_table_record.h"
#include "library/list_file.h"
#include "platform/file_system.h"
#include "running_server.h"

namespace velmor {
namespace {

struct Listing {
  std::vector<std::string> texts;  // STRG texts in order, result line last
  std::vector<player::ListRecord> records;
  bool ok = false;
};

class ChannelListingTest : public test::RunningServerTest {
 protected:
  void SetUp() override {
    RunningServerTest::SetUp();
    root_ = WithForwardSlashes(media_.path());
  }

  Listing Get(const std::string& fields) {
    const player::Reply reply = client_.ExchangeText("#CMD_GET_CHANNEL(" + fields + ")");
    Listing listing;
    EXPECT_TRUE(reply.complete()) << reply.error;
    listing.ok = reply.LastOk();
    for (const player::Chunk& chunk : reply.chunks) {
      if (chunk.code == "STRG") {
        listing.texts.push_back(player::DecodeWireText(chunk.payload, nullptr).value_or("?"));
      } else if (chunk.code == "RTFL") {
        std::string error;
        const auto records = player::DecodeListRecords(chunk.payload, &error);
        EXPECT_TRUE(records.has_value()) << error;
        for (const auto& record : records.value_or(std::vector<player::ListRecord>())) {
          listing.records.push_back(record);
        }
      }
    }
    return listing;
  }

  void File(const std::string& relative, const std::string& content = "x") {
    test::WriteFileOrFail(media_.Join(relative), content);
  }
  void Folder(const std::string& relative) { platform::CreateFolder(media_.Join(relative)); }

  void MarkChapterFolder(const std::string& relative) {
    DataTable::Locked table = runtime_.library().data_table()->Lock();
    S_DATATABLE* record = table.CreateRecord(root_ + "/" + relative, kSizeFolder);
    ASSERT_NE(record, nullptr);
    record->flags |= kFlagChapterFolder;
    table.Touch(record);
  }

  static std::vector<std::string> Names(const Listing& listing) {
    std::vector<std::string> names;
    for (const auto& record : listing.records) names.push_back(record.name);
    return names;
  }

  test::TempFolder media_;
  std::string root_;
};

TEST_F(ChannelListingTest, APcFolderListsItsSubfoldersAndVideos) {
  File("b.MP4", "12345");
  File("a.mp4");
  File("song.mp3");
  File("photo.jpg");
  File("notes.txt");
  Folder("Sub 2");
  Folder("Sub 10");
  settings().SetChannel(1, {kChannelPcFolder, media_.path()});
  StartServer();
  const Listing listing = Get("<ch>1");
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.texts, (std::vector<std::string>{"#RET_ROOT(<path>\"" + root_ + "\")",
                                                     "#RET_DIR(<indent>0,<path>\"" + root_ + "\")",
                                                     "#RET_END(<no>4)", "#RET_OK()"}));
  EXPECT_EQ(Names(listing), (std::vector<std::string>{"Sub 2", "Sub 10", "a.mp4", "b.MP4"}));
  const player::ItemWord sub = player::SplitItemWord(listing.records[0].word);
  EXPECT_TRUE(sub.folder);
  EXPECT_EQ(sub.kind, 5u);
  EXPECT_EQ(listing.records[0].file_size, -2);
  const player::ItemWord video = player::SplitItemWord(listing.records[3].word);
  EXPECT_EQ(video.kind, 1u);
  EXPECT_EQ(video.media_type, 1u);
  EXPECT_EQ(listing.records[3].file_size, 5);
  EXPECT_GT(listing.records[3].date, 20000101);
  EXPECT_EQ(listing.records[3].group_no, -1);

  const Listing all = Get("<ch>1,<flag_media>7");
  EXPECT_EQ(Names(all).size(), 6u) << "audio and images with the mask 7";
}

TEST_F(ChannelListingTest, AVrDeviceListsTheTreeByIndentsWithoutSubfolderRecords) {
  File("top.mp4");
  Folder("inner");
  File("inner/deep.mp4");
  settings().SetChannel(0, {kChannelVrDevice, media_.path()});
  StartServer();
  const Listing listing = Get("<ch>0");
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(
      listing.texts,
      (std::vector<std::string>{
          "#RET_ROOT(<path>\"" + root_ + "\")", "#RET_DIR(<indent>0,<path>\"" + root_ + "\")",
          "#RET_DIR(<indent>1,<path>\"" + root_ + "/inner\")", "#RET_END(<no>2)", "#RET_OK()"}));
  EXPECT_EQ(Names(listing), (std::vector<std::string>{"top.mp4", "deep.mp4"}));
  EXPECT_EQ(listing.records[1].folder, root_ + "/inner");
}

TEST_F(ChannelListingTest, FileGroupsAreNumberedWhenSortedByDate) {
  File("Clip#2.mp4");
  File("Clip#1.mp4");
  File("Other.mp4");
  settings().SetChannel(1, {kChannelPcFolder, media_.path()});
  StartServer();
  const Listing listing = Get("<ch>1,<sort_name>1");
  ASSERT_TRUE(listing.ok);
  std::map<std::string, int> groups;
  for (const auto& record : listing.records) groups[record.name] = record.group_no;
  EXPECT_EQ(groups["Clip#1.mp4"], 1);
  EXPECT_EQ(groups["Clip#2.mp4"], 2);
  EXPECT_EQ(groups["Other.mp4"], -1);
}

TEST_F(ChannelListingTest, FavouritesListItemsWithStoredOrCurrentSizes) {
  File("fav.mp4", "123");
  test::WriteFileOrFail(home_.Join("favorite.vrl"),
                        "#name (Favorite)\n" + root_ + "/fav.mp4?<fs>100\n");
  StartServer();
  Listing listing = Get("<ch>7");
  ASSERT_TRUE(listing.ok);
  ASSERT_EQ(listing.records.size(), 1u);
  EXPECT_EQ(listing.records[0].file_size, 100);
  EXPECT_EQ(listing.records[0].folder, root_);
  EXPECT_EQ(listing.records[0].date, -1);
  EXPECT_GE(listing.records[0].id, 0) << "a favourite gets a permanent record";
  EXPECT_EQ(std::count(listing.texts.begin(), listing.texts.end(), "#RET_UPDATE()"), 0);

  test::WriteFileOrFail(home_.Join("favorite.vrl"),
                        "#name (Favorite)\n" + root_ + "/fav.mp4\n" + root_ + "/gone.mp4\n");
  listing = Get("<ch>7");
  ASSERT_EQ(listing.records.size(), 2u);
  EXPECT_EQ(listing.records[0].file_size, 3);
  EXPECT_EQ(listing.records[1].file_size, -1);
  EXPECT_TRUE(player::SplitItemWord(listing.records[1].word).not_found);
  EXPECT_EQ(listing.texts[listing.texts.size() - 3], "#RET_UPDATE()");
}

TEST_F(ChannelListingTest, APlaylistListsOnlyItsFolderLines) {
  File("single.mp4");
  Folder("dir");
  File("dir/in.mp4");
  Folder("dir/deeper");
  test::WriteFileOrFail(home_.Join("ch3.vrl"),
                        "#name Mine\n" + root_ + "/single.mp4\n" + root_ + "/dir\n");
  StartServer();
  const Listing listing = Get("<ch>2");
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.texts[1], "#RET_DIR(<indent>0,<path>\"" + root_ + "/dir\")");
  EXPECT_EQ(listing.texts[2], "#RET_DIR(<indent>1,<path>\"" + root_ + "/dir/deeper\")");
  EXPECT_EQ(Names(listing), std::vector<std::string>{"in.mp4"});
}

TEST_F(ChannelListingTest, ChapterFoldersListTheirChaptersUnderThem) {
  Folder("Season");
  File("Season/ep02.mp4");
  File("Season/ep01.mp4");
  Folder("Pics");
  File("Pics/only.jpg");
  settings().SetChannel(1, {kChannelPcFolder, media_.path()});
  StartServer();
  MarkChapterFolder("Season");
  MarkChapterFolder("Pics");
  Listing listing = Get("<ch>1");
  ASSERT_TRUE(listing.ok);
  ASSERT_EQ(Names(listing), (std::vector<std::string>{"Season", "ep01.mp4", "ep02.mp4"}));
  const player::ItemWord folder = player::SplitItemWord(listing.records[0].word);
  EXPECT_EQ(folder.kind, 2u);
  EXPECT_TRUE(folder.folder && folder.chapter);
  EXPECT_EQ(listing.records[0].chapter, 2);
  EXPECT_EQ(player::SplitItemWord(listing.records[1].word).kind, 3u);
  EXPECT_EQ(listing.records[1].parent, 0);
  EXPECT_EQ(listing.records[1].chapter, 0);
  EXPECT_EQ(listing.records[2].chapter, 1);

  // One image is no image chapter folder; two are.
  listing = Get("<ch>1,<flag_media>4");
  EXPECT_TRUE(Names(listing).empty());
  File("Pics/second.jpg");
  listing = Get("<ch>1,<flag_media>4");
  EXPECT_EQ(Names(listing), (std::vector<std::string>{"Pics", "only.jpg", "second.jpg"}));

  // A folder inside a chapter folder lists nothing, not even its header.
  settings().SetChannel(1, {kChannelPcFolder, media_.Join("Season")});
  listing = Get("<ch>1");
  ASSERT_TRUE(listing.ok);
  EXPECT_EQ(listing.texts, (std::vector<std::string>{"#RET_ROOT(<path>\"" + root_ + "/Season\")",
                                                     "#RET_END(<no>0)", "#RET_OK()"}));
}

TEST_F(ChannelListingTest, UnlistableChannelsAreRefused) {
  settings().SetChannel(1, {kChannelPcFolder, "(Computer)"});
  StartServer();
  EXPECT_FALSE(Get("<ch>1").ok);
  EXPECT_FALSE(Get("<ch>-1").ok);
  EXPECT_FALSE(Get("<ch>8").ok);
  EXPECT_FALSE(Get("").ok);
  const Listing missing_list = Get("<ch>3");  // ch4.vrl does not exist
  EXPECT_FALSE(missing_list.ok);
}

}  // namespace
}  // namespace velmor
