#include "core/paths.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

TEST(SplitPath, FileWithExtension) {
  const SplitPathResult parts = SplitPath("/home/u/Videos/clip.final.mp4");
  EXPECT_EQ(parts.folder, "/home/u/Videos");
  EXPECT_EQ(parts.file_name, "clip.final.mp4");
  EXPECT_EQ(parts.stem, "clip.final");
  EXPECT_EQ(parts.extension, ".mp4");

  const SplitPathResult windows = SplitPath("C:\\Videos\\a.MP4");
  EXPECT_EQ(windows.folder, "C:\\Videos");
  EXPECT_EQ(windows.file_name, "a.MP4");
  EXPECT_EQ(windows.extension, ".MP4");

  EXPECT_EQ(SplitPath("C:\\a.mp4").folder, "C:\\");
  EXPECT_EQ(SplitPath("/a.mp4").folder, "/");
  EXPECT_EQ(SplitPath("a.mp4").folder, "");
}

TEST(SplitPath, PathWithoutExtensionIsAFolder) {
  const SplitPathResult parts = SplitPath("/home/u/Videos/Holiday");
  EXPECT_EQ(parts.folder, "/home/u/Videos/Holiday");
  EXPECT_EQ(parts.file_name, "Holiday");
  EXPECT_EQ(parts.extension, "");
  // A dot in a folder name above does not count.
  EXPECT_EQ(SplitPath("/home/u/v.1/Holiday").extension, "");
}

TEST(JoinPath, AddsOneSlashOnlyWhenNeeded) {
  EXPECT_EQ(JoinPath("/a", "b.mp4"), "/a/b.mp4");
  EXPECT_EQ(JoinPath("/a/", "b.mp4"), "/a/b.mp4");
  EXPECT_EQ(JoinPath("C:\\a\\", "b.mp4"), "C:\\a\\b.mp4");
  EXPECT_EQ(JoinPath("C:\\a", "b.mp4"), "C:\\a/b.mp4");
}

TEST(SameRoot, ComparesDrivesAndNetworkShares) {
  EXPECT_TRUE(SameRoot("C:\\a\\b.mp4", "C:/x.mp4"));
  EXPECT_FALSE(SameRoot("C:\\a\\b.mp4", "D:\\a\\b.mp4"));
  EXPECT_TRUE(SameRoot("//nas/video/a.mp4", "//nas/video/b/c.mp4"));
  EXPECT_FALSE(SameRoot("//nas/video/a.mp4", "//nas/music/a.mp4"));
  EXPECT_FALSE(SameRoot("//nas/video/a.mp4", "C:\\a.mp4"));
  EXPECT_TRUE(SameRoot("/home/a.mp4", "/media/b.mp4"));
}

TEST(SameExtension, IsExact) {
  EXPECT_TRUE(SameExtension("/a/b.mp4", "/c/d.mp4"));
  EXPECT_FALSE(SameExtension("/a/b.mp4", "/c/d.MP4"));
  EXPECT_FALSE(SameExtension("/a/b.mp4", "/c/d.mkv"));
}

class PathsOnDisk : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(home_.path()); }
  test::TempFolder home_;
};

TEST_F(PathsOnDisk, PathKindTellsFoldersFilesAndTheRest) {
  test::WriteFileOrFail(home_.Join("a.mp4"), "1234");
  EXPECT_EQ(PathKind(home_.path()), kPathFolder);
  EXPECT_EQ(PathKind(home_.Join("a.mp4")), kPathFile);
  EXPECT_EQ(PathKind(home_.Join("b.mp4")), kPathAbsent);
  EXPECT_EQ(PathKind("a.mp4"), kPathAbsent) << "a relative name is never usable";
  EXPECT_TRUE(IsAbsoluteFilePath(home_.Join("a.mp4")));
  EXPECT_TRUE(IsAbsoluteFilePath(home_.Join("not-yet.mp4")));
  EXPECT_FALSE(IsAbsoluteFilePath(home_.path()));
  EXPECT_FALSE(IsAbsoluteFilePath("a.mp4"));
  EXPECT_EQ(GetFileSize64(home_.Join("a.mp4")), 4);
  EXPECT_EQ(GetFileSize64(home_.Join("b.mp4")), -1);
  EXPECT_NE(GetFileWriteTime(home_.Join("a.mp4")), 0u);
  EXPECT_EQ(GetFileWriteTime(home_.Join("b.mp4")), 0u);
}

TEST_F(PathsOnDisk, EnsureFolderCreatesParents) {
  const std::string deep = home_.Join("x/y/z/");
  EXPECT_TRUE(EnsureFolder(deep));
  EXPECT_EQ(PathKind(home_.Join("x/y/z")), kPathFolder);
  EXPECT_TRUE(EnsureFolder(deep)) << "an existing folder is fine";
  test::WriteFileOrFail(home_.Join("file"), "");
  EXPECT_FALSE(EnsureFolder(home_.Join("file/sub")));
}

TEST_F(PathsOnDisk, ResolveFolderSettingUsesTheProgramFolderForRelativeValues) {
  EXPECT_EQ(ResolveFolderSetting("thumbnail220"), home_.Join("thumbnail220"));
  EXPECT_EQ(PathKind(home_.Join("thumbnail220")), kPathFolder);
  test::TempFolder elsewhere;
  EXPECT_EQ(ResolveFolderSetting(elsewhere.path()), elsewhere.path());
  // A Windows-style relative setting works on every host.
  const std::string nested = ResolveFolderSetting("data\\thumbs");
  EXPECT_EQ(PathKind(nested), kPathFolder);
}

TEST_F(PathsOnDisk, ResolveFileSettingFallsBackToTheDefaultName) {
  std::string path;
  test::TempFolder elsewhere;
  test::WriteFileOrFail(elsewhere.Join("list.vrl"), "");
  ASSERT_TRUE(ResolveFileSetting(elsewhere.Join("list.vrl"), "search.vrl", &path));
  EXPECT_EQ(path, elsewhere.Join("list.vrl"));

  test::WriteFileOrFail(home_.Join("mine.vrl"), "");
  ASSERT_TRUE(ResolveFileSetting("mine.vrl", "search.vrl", &path));
  EXPECT_EQ(path, home_.Join("mine.vrl"));

  ASSERT_TRUE(ResolveFileSetting("missing.vrl", "search.vrl", &path));
  EXPECT_EQ(path, home_.Join("search.vrl"));

  EXPECT_FALSE(ResolveFileSetting("missing.vrl", "", &path));
  EXPECT_EQ(path, "");
}

TEST_F(PathsOnDisk, OpenBesideProgramTakesBareNamesFromTheProgramFolder) {
  test::WriteFileOrFail(home_.Join("TagList.txt"), "tags");
  platform::File file;
  ASSERT_TRUE(OpenBesideProgram("TagList.txt", platform::File::Mode::kRead, &file));
  char text[8] = {};
  EXPECT_EQ(file.Read(text, sizeof text), 4);
  EXPECT_EQ(std::string(text), "tags");
}

}  // namespace
}  // namespace velmor
