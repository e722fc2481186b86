// Markers, file facts, ids, chapter folders and state bits end to end.
#include "command/record_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "library/data_table.h"
#include "library/data_table_record.h"
#include "library/list_file.h"
#include "platform/file_system.h"
#include "player_client.h"
#include "running_server.h"
#include "runtime/server_runtime.h"
#include "test_support.h"

namespace velmor {
namespace {

using Answer = test::CommandAnswer;

class RecordCommandsTest : public test::RunningServerTest {
 protected:
  void SetUp() override {
    RunningServerTest::SetUp();
    root_ = WithForwardSlashes(media_.path());
    StartServer();
  }

  int64_t IdOf(const std::string& path) {
    const Answer answer = Run("CM_GET_FILE_ID", {path});
    EXPECT_TRUE(answer.ok);
    return answer.slots.empty() ? -1 : answer.slots[0].value;
  }

  DataTable::Locked Table() { return runtime_.library().data_table()->Lock(); }

  test::TempFolder media_;
  std::string root_;
};

TEST_F(RecordCommandsTest, FileIdsAreCreatedOnceAndKept) {
  test::WriteFileOrFail(media_.Join("a.mp4"), "12345");
  const int64_t id = IdOf(root_ + "/a.mp4");
  EXPECT_GT(id, 99999999);
  EXPECT_EQ(IdOf(root_ + "/a.mp4"), id);
  const Answer two = Run("CM_GET_FILE_ID", {root_ + "/a.mp4", root_ + "/b.mp4?<fs>77", "", "x"});
  ASSERT_EQ(two.slots.size(), 2u) << "stops at the first empty field";
  EXPECT_EQ(two.slots[0].value, id);
  EXPECT_NE(two.slots[1].value, id);
  EXPECT_EQ(Table().FindById(two.slots[1].value)->file_size, 77);
}

TEST_F(RecordCommandsTest, MarkersAreStoredAndLoaded) {
  test::WriteFileOrFail(media_.Join("a.mp4"), "x");
  const std::string id = std::to_string(IdOf(root_ + "/a.mp4"));
  ASSERT_TRUE(Run("CM_SAVE_MARKER", {id, "<en.3>1,<a.3>100,<b.3>200,", "<en.1>1,<a.1>7"}).ok);
  {
    DataTable::Locked table = Table();
    const S_DATATABLE* record = table.FindById(std::stoll(id));
    EXPECT_EQ(record->tags, "<mark><<p1>7<t3>100,200>");
    EXPECT_EQ(record->flags & kFlagHasMarkers, kFlagHasMarkers);
  }
  Answer loaded = Run("CM_LOAD_MARKER", {id});
  ASSERT_EQ(loaded.slots.size(), 2u);
  EXPECT_EQ(loaded.slots[0].value, 1);
  EXPECT_NE(loaded.slots[0].text.find("<en.3>1,<a.3>100,<b.3>200,"), std::string::npos);
  EXPECT_NE(loaded.slots[0].text.find("<en.2>0,<a.2>0,<b.2>0,"), std::string::npos);
  EXPECT_NE(loaded.slots[1].text.find("<en.1>1,<a.1>7"), std::string::npos);

  // All disabled: the markers go, and so does the flag.
  ASSERT_TRUE(Run("CM_SAVE_MARKER", {id, "<en.3>0,", ""}).ok);
  loaded = Run("CM_LOAD_MARKER", {id});
  ASSERT_EQ(loaded.slots.size(), 2u);
  EXPECT_EQ(loaded.slots[0].value, 0);
  EXPECT_EQ(loaded.slots[0].text, "");
  EXPECT_EQ(loaded.slots[1].text, "");
  EXPECT_EQ(Table().FindById(std::stoll(id))->flags & kFlagHasMarkers, 0);
}

TEST_F(RecordCommandsTest, MarkersForAnUnknownRecordAreRefusedWith513) {
  const Answer answer = Run("CM_SAVE_MARKER", {"123", "<en.0>1,<a.0>1,<b.0>2,", ""});
  EXPECT_FALSE(answer.ok);
  EXPECT_EQ(answer.code, 513);
  EXPECT_EQ(answer.message, "SaveMarker()");
  EXPECT_TRUE(Run("CM_LOAD_MARKER", {"123"}).ok) << "loading always answers";
}

TEST_F(RecordCommandsTest, FileDataGivesGroupsMediaAndFolders) {
  test::WriteFileOrFail(media_.Join("Movie#12.mp4"), "12345");
  test::WriteFileOrFail(media_.Join("Movie#x.mp4"), "1");
  platform::CreateFolder(media_.Join("Album"));
  test::WriteFileOrFail(media_.Join("Album/song.mp3"), "1");
  const Answer answer = Run("CM_GET_FILE_DATA", {root_ + "/Movie#12.mp4", root_ + "/Movie#x.mp4",
                                                 root_ + "/Album", root_ + "/gone.mp4"});
  ASSERT_TRUE(answer.ok);
  ASSERT_EQ(answer.slots.size(), 4u);
  EXPECT_EQ(answer.slots[0].value, 1);
  const std::string& movie = answer.slots[0].text;
  EXPECT_NE(movie.find("<file_size>5<group_no>12<chapter>0<system_folder>0<media_type>1"),
            std::string::npos)
      << movie;
  EXPECT_EQ(movie.rfind("<date>20", 0), 0u);
  EXPECT_NE(answer.slots[1].text.find("<group_no>-1"), std::string::npos);
  EXPECT_NE(answer.slots[2].text.find("<system_folder>1<media_type>2"), std::string::npos);
  EXPECT_EQ(answer.slots[3].value, 0);
  EXPECT_EQ(answer.slots[3].text, "");
}

TEST_F(RecordCommandsTest, ChapterFoldersAreMarkedByNameAndFound) {
  platform::CreateFolder(media_.Join("One"));
  platform::CreateFolder(media_.Join("One/Season"));
  platform::CreateFolder(media_.Join("Two"));
  platform::CreateFolder(media_.Join("Two/Season"));
  const int64_t first = IdOf(root_ + "/One/Season");
  const int64_t second = IdOf(root_ + "/Two/Season");
  ASSERT_TRUE(Run("CM_SET_CHAPTER_FOLDER", {std::to_string(first), "1"}).ok);
  EXPECT_EQ(Table().FindById(second)->flags & kFlagChapterFolder, kFlagChapterFolder)
      << "folders of the same name are marked too";

  const Answer path = Run("CM_GET_CHAPTER_PATH", {root_ + "/Two/Season/ep1.mp4"});
  ASSERT_TRUE(path.ok);
  EXPECT_EQ(path.slots.at(0).value, 1);
  EXPECT_EQ(path.slots.at(0).text, "Season/ep1.mp4");
  EXPECT_EQ(Run("CM_GET_CHAPTER_PATH", {root_ + "/One/other.mp4"}).slots.at(0).value, 0);
  EXPECT_FALSE(Run("CM_GET_CHAPTER_PATH", {""}).ok);

  ASSERT_TRUE(Run("CM_SET_CHAPTER_FOLDER", {std::to_string(second), "0"}).ok);
  EXPECT_EQ(Table().FindById(first)->flags & kFlagChapterFolder, 0);
  EXPECT_FALSE(Run("CM_SET_CHAPTER_FOLDER", {"42", "1"}).ok);
}

TEST_F(RecordCommandsTest, StateBitsAreSetAndCleared) {
  test::WriteFileOrFail(media_.Join("a.mp4"), "x");
  const int64_t id = IdOf(root_ + "/a.mp4");
  ASSERT_TRUE(Run("CM_DATATABLE_BITSET_STATE", {std::to_string(id), "48", "1"}).ok);
  EXPECT_EQ(Table().FindById(id)->flags, 48);
  ASSERT_TRUE(Run("CM_DATATABLE_BITSET_STATE", {std::to_string(id), "16", "0"}).ok);
  EXPECT_EQ(Table().FindById(id)->flags, 32);
  EXPECT_FALSE(Run("CM_DATATABLE_BITSET_STATE", {"42", "1", "1"}).ok);
}

TEST_F(RecordCommandsTest, AMovedFileKeepsItsRecord) {
  test::WriteFileOrFail(media_.Join("a.mp4"), "x");
  const int64_t id = IdOf(root_ + "/a.mp4");
  ASSERT_TRUE(Run("CM_MOVE_FILE", {root_ + "/sub/a.mp4", root_ + "/a.mp4", std::to_string(id)}).ok);
  EXPECT_EQ(Table().FindById(id)->path, root_ + "/sub/a.mp4");
  EXPECT_EQ(IdOf(root_ + "/sub/a.mp4"), id);
}

TEST(GroupNumberOfName, FollowsTheGroupTextWhenADigitFollows) {
  EXPECT_EQ(GroupNumberOfName("Movie#12.mp4", "#"), 12);
  EXPECT_EQ(GroupNumberOfName("Movie#x.mp4", "#"), -1);
  EXPECT_EQ(GroupNumberOfName("Movie.mp4", "#"), -1);
  EXPECT_EQ(GroupNumberOfName("A#1#2.mp4", "#"), 1) << "the first occurrence";
  EXPECT_EQ(GroupNumberOfName("Ep_07.mp4", "_"), 7);
  EXPECT_EQ(GroupNumberOfName("x#99999999999.mp4", "#"), 2147483647);
  EXPECT_EQ(GroupNumberOfName("x#1.mp4", ""), -1);
}

}  // namespace
}  // namespace velmor
