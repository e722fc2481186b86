#include "thumbnail/companion_search.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

class CompanionSearchTest : public ::testing::Test {
 protected:
  CompanionSearchTest() { pictures_.Parse("jpg png"); }

  std::string File(const std::string& relative) {
    const std::string path = temp_.Join(relative);
    test::WriteFileOrFail(path, "x");
    return path;
  }
  std::string Folder(const std::string& relative) {
    const std::string path = temp_.Join(relative);
    EXPECT_TRUE(platform::CreateFolder(path)) << path;
    return path;
  }

  test::TempFolder temp_;
  CExt pictures_;
};

TEST_F(CompanionSearchTest, ACoverWithTheSameNameIsFoundInListOrder) {
  const std::string song = File("song.mp3");
  File("song.png");
  const std::string jpg = File("song.jpg");
  File("other.jpg");
  std::string found;
  ASSERT_TRUE(FindCompanionOf(pictures_, song, nullptr, kSameNameOnly, &found));
  EXPECT_EQ(found, jpg);  // "jpg" comes first in the list
}

TEST_F(CompanionSearchTest, SameNameOnlyTakesNoOtherPicture) {
  const std::string song = File("song.mp3");
  File("other.jpg");
  std::string found;
  EXPECT_FALSE(FindCompanionOf(pictures_, song, nullptr, kSameNameOnly, &found));
  // A folder with the name is no picture.
  Folder("song.jpg");
  EXPECT_FALSE(FindCompanionOf(pictures_, song, nullptr, kSameNameOnly, &found));
}

TEST_F(CompanionSearchTest, DepthOneTakesAnyPictureOfTheFolder) {
  const std::string song = File("song.mp3");
  File("notes.txt");
  Folder("sub.jpg");
  const std::string other = File("Other.PNG");  // extensions compare without case
  std::string found;
  ASSERT_TRUE(FindCompanionOf(pictures_, song, nullptr, kAnyInFolder, &found));
  EXPECT_EQ(found, other);
}

TEST_F(CompanionSearchTest, AGivenFolderIsSearchedInsteadOfTheReferences) {
  const std::string song = File("song.mp3");
  File("song.jpg");
  const std::string elsewhere = Folder("covers");
  const std::string cover = File("covers/song.png");
  std::string found;
  ASSERT_TRUE(FindCompanionOf(pictures_, song, &elsewhere, kSameNameOnly, &found));
  EXPECT_EQ(found, cover);
}

TEST_F(CompanionSearchTest, DepthTwoSearchesSubfoldersDepthFirst) {
  const std::string holiday = Folder("Holiday");
  Folder("Holiday/day1");
  Folder("Holiday/day1/morning");
  const std::string deep = File("Holiday/day1/morning/sunrise.jpg");
  std::string found;
  EXPECT_FALSE(FindCompanion(pictures_, "Holiday", holiday, kAnyInFolder, &found));
  ASSERT_TRUE(FindCompanion(pictures_, "Holiday", holiday, kAnyInSubfolders, &found));
  EXPECT_EQ(found, deep);

  // In each folder the picture named after the searched name comes first.
  File("Holiday/day1/morning/Holiday.png");
  ASSERT_TRUE(FindCompanion(pictures_, "Holiday", holiday, kAnyInSubfolders, &found));
  EXPECT_EQ(found, temp_.Join("Holiday/day1/morning/Holiday.png"));
  const std::string named = File("Holiday/Holiday.jpg");
  ASSERT_TRUE(FindCompanion(pictures_, "Holiday", holiday, kAnyInSubfolders, &found));
  EXPECT_EQ(found, named);
}

TEST_F(CompanionSearchTest, TheSearchGoesOnlySoDeep) {
  std::string path = "top";
  const std::string top = Folder(path);
  for (int level = 1; level <= kMaxCompanionNesting + 1; ++level) {
    path += "/" + std::to_string(level);
    Folder(path);
  }
  File(path + "/too-deep.jpg");
  std::string found;
  EXPECT_FALSE(FindCompanion(pictures_, "top", top, kAnyInSubfolders, &found));
  const std::string reachable =
      File("top/1/2/3/4/5/6/7/8/deepest.jpg");  // kMaxCompanionNesting levels down
  ASSERT_TRUE(FindCompanion(pictures_, "top", top, kAnyInSubfolders, &found));
  EXPECT_EQ(found, reachable);
}

TEST_F(CompanionSearchTest, NamesWithDotsAndFoldersWithTrailingSeparators) {
  const std::string folder = Folder("Vol.1");
  const std::string picture = File("Vol.1/Vol.1.jpg");
  std::string found;
  ASSERT_TRUE(FindCompanion(pictures_, LastPathComponent(folder + "/"), folder + "/", kSameNameOnly,
                            &found));
  EXPECT_EQ(found, picture);
  EXPECT_EQ(LastPathComponent("/a/b/"), "b");
  EXPECT_EQ(LastPathComponent("C:\\Videos\\Trip\\"), "Trip");
  EXPECT_EQ(LastPathComponent("name"), "name");
}

TEST_F(CompanionSearchTest, NothingToFindInAMissingFolder) {
  std::string found;
  EXPECT_FALSE(FindCompanion(pictures_, "x", temp_.Join("missing"), kAnyInSubfolders, &found));
  EXPECT_FALSE(FindCompanion(pictures_, "x", "", kAnyInSubfolders, &found));
  EXPECT_FALSE(FindCompanionOf(pictures_, "song.mp3", nullptr, kSameNameOnly, &found));
}

}  // namespace
}  // namespace velmor
