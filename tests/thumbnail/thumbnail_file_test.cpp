#include "thumbnail/thumbnail_file.h"

#include <gtest/gtest.h>

#include "core/paths.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

TEST(ThumbnailFileTest, ThePathIsTheIdTextInTheFolderAndNothingElse) {
  std::string path;
  ASSERT_TRUE(ThumbnailPathFor("/t/thumbs", "20240315_10_000007", &path));
  EXPECT_EQ(path, "/t/thumbs/20240315_10_000007.jpg");
  ASSERT_TRUE(ThumbnailPathFor("C:\\thumbs\\", "20240315_10_000007", &path));
  EXPECT_EQ(path, "C:\\thumbs\\20240315_10_000007.jpg");
  // A hand-edited data table must not steer writes and deletes elsewhere.
  EXPECT_FALSE(ThumbnailPathFor("/t/thumbs", "20240315_10_000007/../../x", &path));
  EXPECT_FALSE(ThumbnailPathFor("/t/thumbs", "..", &path));
  EXPECT_FALSE(ThumbnailPathFor("/t/thumbs", "", &path));
  EXPECT_FALSE(ThumbnailPathFor("", "20240315_10_000007", &path));
}

TEST(ThumbnailFileTest, PicturesFromTheMediaGiveWayToAnExistingFile) {
  test::TempFolder temp;
  const std::string path = temp.Join("20240315_10_000001.jpg");
  EXPECT_EQ(WriteThumbnailFile(path, "first", 1), ThumbnailWrite::kWritten);
  EXPECT_EQ(WriteThumbnailFile(path, "made again", 1), ThumbnailWrite::kKept);
  EXPECT_EQ(WriteThumbnailFile(path, "player made", 2), ThumbnailWrite::kKept);
  EXPECT_EQ(test::ReadFileOrEmpty(path), "first");
  for (int make : {0, 3, 4, 7}) {
    const std::string bytes = "make " + std::to_string(make);
    EXPECT_EQ(WriteThumbnailFile(path, bytes, make), ThumbnailWrite::kWritten);
    EXPECT_EQ(test::ReadFileOrEmpty(path), bytes);
  }
}

TEST(ThumbnailFileTest, ADeletedFolderIsMadeAgain) {
  test::TempFolder temp;
  const std::string folder = temp.Join("thumbnail220");
  const std::string path = folder + "/20240315_10_000001.jpg";
  EXPECT_EQ(WriteThumbnailFile(path, "jpeg", 0), ThumbnailWrite::kWritten);
  test::RemoveTree(folder);
  EXPECT_EQ(WriteThumbnailFile(path, "again", 1), ThumbnailWrite::kWritten);
  EXPECT_EQ(test::ReadFileOrEmpty(path), "again");
  EXPECT_TRUE(ThumbnailFileExists(path));
  EXPECT_FALSE(ThumbnailFileExists(folder));
}

TEST(ThumbnailFileTest, AFileThatCannotBeWrittenFails) {
  test::TempFolder temp;
  // A folder where the file should go.
  const std::string path = temp.Join("20240315_10_000001.jpg");
  ASSERT_TRUE(platform::CreateFolder(path));
  test::WriteFileOrFail(path + "/inside", "x");
  EXPECT_EQ(WriteThumbnailFile(path, "jpeg", 0), ThumbnailWrite::kFailed);
  EXPECT_EQ(test::ReadFileOrEmpty(path + "/inside"), "x");
}

TEST(ThumbnailFileTest, TheMarkIsLocalMidnightOfNewYearsDay) {
  for (int make = 0; make <= 4; ++make) {
    const platform::LocalTime mark = platform::LocalTimeOfFileTime(CreationMarkOf(make));
    EXPECT_EQ(mark.year, 1990 + make);
    EXPECT_EQ(mark.month, 1);
    EXPECT_EQ(mark.day, 1);
    EXPECT_EQ(mark.hour, 0);
    EXPECT_EQ(mark.minute, 0);
    EXPECT_EQ(mark.second, 0);
  }
}

// Windows keeps a creation time of its own; POSIX file systems and Wine
// (which keeps its files on one) cannot set it.
TEST(ThumbnailFileTest, TheCreationDateTellsHowTheThumbnailWasMade) {
  if (!platform::CanSetCreationTime()) {
    GTEST_SKIP() << "this host cannot set a file's creation time; the make is kept in the "
                    "record's info text only";
  }
  test::TempFolder temp;
  const std::string placeholder = temp.Join("20240315_10_000001.jpg");
  const std::string made = temp.Join("20240315_10_000002.jpg");
  ASSERT_EQ(WriteThumbnailFile(placeholder, "placeholder", 0), ThumbnailWrite::kWritten);
  ASSERT_EQ(WriteThumbnailFile(made, "made", 1), ThumbnailWrite::kWritten);
  platform::FileInfo info;
  ASSERT_TRUE(platform::GetFileInfo(placeholder, &info));
  EXPECT_EQ(info.creation_time, CreationMarkOf(0));
  ASSERT_TRUE(platform::GetFileInfo(made, &info));
  EXPECT_EQ(info.creation_time, CreationMarkOf(1));
  EXPECT_EQ(platform::LocalTimeOfFileTime(info.creation_time).year, 1991);
}

}  // namespace
}  // namespace velmor
