#include "library/get_dir_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "search_fixture.h"

namespace velmor {
namespace {

using Strings = std::vector<std::string>;

// Temporary ids (up to eight digits) depend on how many were given before.
std::string WithoutTemporaryId(const std::string& text) {
  return std::regex_replace(text, std::regex("<id_int>[0-9]{1,8}<"), "<id_int>tmp<");
}

class GetDirJobTest : public test::SearchTest {
 protected:
  // Runs the test's job (which keeps the ignore rules it read).
  Strings List(const std::string& path, int mode) {
    results_.Clear();
    job_.Start(settings_, path, mode);
    job_.Execute();
    EXPECT_FALSE(job_.running());
    Strings texts;
    for (const std::string& text : Texts()) texts.push_back(WithoutTemporaryId(text));
    return texts;
  }
  void PcFolderList(const std::string& text) {
    test::WriteFileOrFail(settings_.pc_folder_list, "\xEF\xBB\xBF" + text);
  }
  static std::string Subfolder(int flag, const std::string& name) {
    return FolderRecordText(flag, 0, name, name);
  }

  GetDirJob job_{&table_, &results_};
};

TEST(GetDirRecordTextTest, FormatsAsThePlayerReadsThem) {
  EXPECT_EQ(FolderRecordText(1, 2, "D:/Movies", "D:/Movies"),
            "<flag>1<type>2<dir_name>\"D:/Movies\"<disp_name>\"D:/Movies\")");
  EXPECT_EQ(MediaRecordText(8, 0, 2024031510000001, 1, "D:/m", -2, 3),
            "<flag>8<type>0<id_int>2024031510000001<media_type>1<full_path>\"D:/m\"<file_size>-2"
            "<chapter_num>3)");
  EXPECT_EQ(DriveDisplayName({"C:/", "System"}), "C:[System]");
  EXPECT_EQ(DriveDisplayName({"D:/", ""}), "D:");
  EXPECT_EQ(DriveDisplayName({"/", ""}), "/");
  EXPECT_EQ(DriveDisplayName({"/media/me/USB/", "My \"USB\""}), "/media/me/USB[My USB]");
}

TEST_F(GetDirJobTest, TheComputerIsThePcFolderListWithTheDrivesInPlace) {
  PcFolderList("D:/Movies\r\n#cmd (Storage)\r\n#sc Videos\r\n#cmd Refresh\r\n#end\r\n#sc late\r\n");
  Strings expected = {"<flag>1<type>2<dir_name>\"D:/Movies\"<disp_name>\"D:/Movies\")"};
  const std::vector<platform::Drive> drives = platform::ListDrives();
  ASSERT_FALSE(drives.empty());
  for (const platform::Drive& drive : drives) {
    expected.push_back(FolderRecordText(1, 1, drive.root, DriveDisplayName(drive)));
  }
  expected.push_back("<flag>1<type>3<dir_name>\"Videos\"<disp_name>\"Videos\")");
  expected.push_back("<flag>0<type>4<dir_name>\"Refresh\"<disp_name>\"Refresh\")");
  EXPECT_EQ(List(GetDirJob::kComputer, 1), expected);

  ASSERT_TRUE(platform::DeleteFile(settings_.pc_folder_list));
  EXPECT_TRUE(List(GetDirJob::kComputer, 1).empty()) << "no list file: no entries";
}

TEST_F(GetDirJobTest, SubfoldersInNaturalOrderFlaggedWhenTheyHaveSubfolders) {
  Folder("top/folder10/inner");
  Folder("top/folder2");
  Folder("top/Apple");
  File("top/file.mp4");
  EXPECT_EQ(List(Media("top"), 1),
            (Strings{Subfolder(0, "Apple"), Subfolder(0, "folder2"), Subfolder(1, "folder10")}));
  EXPECT_TRUE(List(Media("missing"), 1).empty());
}

TEST_F(GetDirJobTest, IgnoreRulesOfTheLastPcFolderListApplyToLaterListings) {
  Folder("top/keep/x.bak");
  Folder("top/old.bak");
  Folder("top/_cache");
  Folder("top/.hidden");
  Folder("top/Temp files");
  Folder("top/b");
  File("top/b/.bak");  // a file, never a subfolder
  const Strings everything = {Subfolder(0, ".hidden"), Subfolder(0, "_cache"),
                              Subfolder(0, "b"),       Subfolder(1, "keep"),
                              Subfolder(0, "old.bak"), Subfolder(0, "Temp files")};
  Strings sorted_everything = List(Media("top"), 0);
  std::sort(sorted_everything.begin(), sorted_everything.end());
  Strings sorted_expected = everything;
  std::sort(sorted_expected.begin(), sorted_expected.end());
  EXPECT_EQ(sorted_everything, sorted_expected);

  PcFolderList(
      "#ignore_end .bak\r\n#ignore_start _\r\n#ignore_system\r\n#ignore_cmp \"Temp files\"\r\n");
  List(GetDirJob::kComputer, 1);
  EXPECT_EQ(List(Media("top"), 0), (Strings{Subfolder(0, "b"), Subfolder(0, "keep")}))
      << "a subfolder whose only subfolder is ignored has no flag";

  ASSERT_TRUE(platform::DeleteFile(settings_.pc_folder_list));
  List(GetDirJob::kComputer, 1);
  EXPECT_EQ(List(Media("top"), 0).size(), everything.size()) << "the rules went with the list";
}

TEST_F(GetDirJobTest, ModeOneLeavesChapterFoldersOut) {
  Folder("top/Series/Disc 1");
  Folder("top/parent/Season");
  Folder("top/plain");
  MarkChapterFolder(Media("top/Series"));
  MarkChapterFolder(Media("top/parent/Season"));
  EXPECT_EQ(List(Media("top"), 1), (Strings{Subfolder(0, "parent"), Subfolder(0, "plain")}));
  EXPECT_EQ(List(Media("top"), 17), List(Media("top"), 1)) << "the low four bits count";
  EXPECT_EQ(List(Media("top"), 0),
            (Strings{Subfolder(1, "parent"), Subfolder(0, "plain"), Subfolder(1, "Series")}));
  EXPECT_TRUE(List(Media("top/Series"), 1).empty()) << "inside a chapter folder";
}

TEST_F(GetDirJobTest, TheMediaTreeListsSubfoldersFirstThenEachFolderWithItsFiles) {
  File("tree/b10/z.mp4", "zz");
  File("tree/b10/a.mp4", "aaa");
  File("tree/b10/note.txt");
  File("tree/b2/song.mp3", "s");
  File("tree/b2/cover.jpg");
  File("tree/b2/deep/pic.png", "p");
  Folder("tree/empty");
  File("tree/top.MP4", "t");
  const int64_t b10_id = SetFlags(Media("tree/b10"), -2, 8);
  const int64_t a_id = SetFlags(Media("tree/b10/a.mp4"), 3, 1);
  const std::string tree = Media("tree");
  Strings expected = {
      MediaRecordText(0, 0, 0, 3, tree + "/b2/deep", -2, 1),
      MediaRecordText(0, 5, 0, 3, tree + "/b2/deep/pic.png", 1, 0),
      MediaRecordText(0, 0, 0, 2, tree + "/b2", -2, 1),
      MediaRecordText(0, 5, 0, 2, tree + "/b2/song.mp3", 1, 0),
      MediaRecordText(8, 0, b10_id, 1, tree + "/b10", -2, 2),
      MediaRecordText(0, 5, a_id, 1, tree + "/b10/a.mp4", 3, 0),
      MediaRecordText(0, 5, 0, 1, tree + "/b10/z.mp4", 2, 1),
      MediaRecordText(0, 0, 0, 1, tree, -2, 1),
      MediaRecordText(0, 5, 0, 1, tree + "/top.MP4", 1, 0),
  };
  for (std::string& text : expected) text = WithoutTemporaryId(text);
  EXPECT_EQ(List(tree, 2), expected);
}

TEST_F(GetDirJobTest, ACancelledJobKeepsNothingItHadNotGathered) {
  File("tree/a/clip.mp4");
  job_.Start(settings_, Media("tree"), 2);
  job_.RequestCancel();
  job_.Execute();
  EXPECT_TRUE(Texts().empty());
  EXPECT_FALSE(job_.running());
}

}  // namespace
}  // namespace velmor
