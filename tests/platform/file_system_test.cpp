#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace velmor::platform {
namespace {

using test::ReadFileOrEmpty;
using test::TempFolder;
using test::WriteFileOrFail;

std::vector<std::string> SortedNames(const std::string& folder) {
  std::vector<FileInfo> entries;
  EXPECT_TRUE(ListFolder(folder, &entries)) << folder;
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

const FileInfo* FindEntry(const std::vector<FileInfo>& entries, const std::string& name) {
  for (const auto& entry : entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// 2020-01-02 03:04:05.1234567 UTC as a Windows file time.
constexpr FileTime kSomeTime = 132224078451234567ull;

TEST(FileTimeTest, ConvertsBetweenUnixAndWindowsEpochs) {
  EXPECT_EQ(FileTimeFromUnixMicroseconds(0), 116444736000000000ull);
  EXPECT_EQ(UnixMicrosecondsFromFileTime(116444736000000000ull), 0);
  EXPECT_EQ(FileTimeFromUnixMicroseconds(1577934245123456), 132224078451234560ull);
  EXPECT_EQ(UnixMicrosecondsFromFileTime(kSomeTime), 1577934245123456);
  EXPECT_EQ(UnixMicrosecondsFromFileTime(0), -11644473600000000);
  // Before 1601 there is no file time: the earliest one, not a wrapped value.
  EXPECT_EQ(FileTimeFromUnixMicroseconds(-11644473600000001), 0u);
}

TEST(FileSystemTest, TellsFilesFoldersAndMissingPathsApart) {
  TempFolder temp;
  WriteFileOrFail(temp.Join("file.txt"), "abc");
  ASSERT_TRUE(CreateFolder(temp.Join("folder")));
  EXPECT_EQ(GetPathType(temp.Join("file.txt")), PathType::kFile);
  EXPECT_EQ(GetPathType(temp.Join("folder")), PathType::kFolder);
  EXPECT_EQ(GetPathType(temp.Join("missing")), PathType::kNone);
  EXPECT_EQ(GetPathType(""), PathType::kNone);

  FileInfo info;
  ASSERT_TRUE(GetFileInfo(temp.Join("file.txt"), &info));
  EXPECT_EQ(info.name, "file.txt");
  EXPECT_FALSE(info.is_folder);
  EXPECT_EQ(info.size, 3);
  EXPECT_NE(info.write_time, 0u);
  ASSERT_TRUE(GetFileInfo(temp.Join("folder"), &info));
  EXPECT_EQ(info.name, "folder");
  EXPECT_TRUE(info.is_folder);
  EXPECT_EQ(info.size, 0);
  EXPECT_FALSE(GetFileInfo(temp.Join("missing"), &info));
}

TEST(FileSystemTest, ListsEntriesWithSizesAndTimes) {
  TempFolder temp;
  WriteFileOrFail(temp.Join("three.bin"), "xyz");
  WriteFileOrFail(temp.Join("empty.bin"), "");
  ASSERT_TRUE(CreateFolder(temp.Join("sub")));
  WriteFileOrFail(temp.Join("sub/inner.txt"), "not listed one level up");
  ASSERT_TRUE(SetFileTimes(temp.Join("three.bin"), 0, kSomeTime));

  std::vector<FileInfo> entries;
  ASSERT_TRUE(ListFolder(temp.path(), &entries));
  ASSERT_EQ(entries.size(), 3u);
  const FileInfo* three = FindEntry(entries, "three.bin");
  const FileInfo* empty = FindEntry(entries, "empty.bin");
  const FileInfo* sub = FindEntry(entries, "sub");
  ASSERT_TRUE(three && empty && sub);
  EXPECT_EQ(three->size, 3);
  EXPECT_FALSE(three->is_folder);
  EXPECT_EQ(three->write_time, kSomeTime);
  EXPECT_EQ(empty->size, 0);
  EXPECT_TRUE(sub->is_folder);
  EXPECT_EQ(sub->size, 0);
  EXPECT_NE(sub->write_time, 0u);
  EXPECT_NE(sub->creation_time, 0u);

  EXPECT_FALSE(ListFolder(temp.Join("missing"), &entries));
  EXPECT_FALSE(ListFolder(temp.Join("three.bin"), &entries));
}

TEST(FileSystemTest, FileTimesRoundTrip) {
  TempFolder temp;
  const std::string path = temp.Join("timed.txt");
  WriteFileOrFail(path, "t");
  FileInfo before;
  ASSERT_TRUE(GetFileInfo(path, &before));

  ASSERT_TRUE(SetFileTimes(path, 0, kSomeTime));
  FileInfo after;
  ASSERT_TRUE(GetFileInfo(path, &after));
  EXPECT_EQ(after.write_time, kSomeTime);

  const FileTime creation = kSomeTime - 36000000000ull;  // an hour earlier
  ASSERT_TRUE(SetFileTimes(path, creation, kSomeTime + 10));
  ASSERT_TRUE(GetFileInfo(path, &after));
  EXPECT_EQ(after.write_time, kSomeTime + 10);
  if (CanSetCreationTime()) {
    EXPECT_EQ(after.creation_time, creation);
  }

  // All three at once, each its own; the listing sees them too.
  const FileTimes times{kSomeTime - 7200000000ull, kSomeTime - 20, kSomeTime + 20};
  ASSERT_TRUE(SetFileTimes(path, times));
  ASSERT_TRUE(GetFileInfo(path, &after));
  EXPECT_EQ(after.access_time, times.access);
  EXPECT_EQ(after.write_time, times.write);
  if (CanSetCreationTime()) {
    EXPECT_EQ(after.creation_time, times.creation);
  }
  std::vector<FileInfo> entries;
  ASSERT_TRUE(ListFolder(temp.path(), &entries));
  ASSERT_NE(FindEntry(entries, "timed.txt"), nullptr);
  EXPECT_EQ(FindEntry(entries, "timed.txt")->access_time, times.access);

  // A time left at 0 stays as it was.
  ASSERT_TRUE(SetFileTimes(path, 0, kSomeTime + 30));
  ASSERT_TRUE(SetFileTimes(path, FileTimes{0, kSomeTime + 40, 0}));
  ASSERT_TRUE(GetFileInfo(path, &after));
  EXPECT_EQ(after.access_time, kSomeTime + 40);
  EXPECT_EQ(after.write_time, kSomeTime + 30);

  EXPECT_FALSE(SetFileTimes(temp.Join("missing"), 0, kSomeTime));
  EXPECT_FALSE(SetFileTimes(temp.Join("missing"), times));
}

TEST(FileSystemTest, MovesRefuseAnExistingTarget) {
  TempFolder temp;
  WriteFileOrFail(temp.Join("a.txt"), "a");
  WriteFileOrFail(temp.Join("b.txt"), "b");
  EXPECT_FALSE(MovePath(temp.Join("a.txt"), temp.Join("b.txt")));
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("a.txt")), "a");
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("b.txt")), "b");

  ASSERT_TRUE(CreateFolder(temp.Join("dir")));
  EXPECT_FALSE(MovePath(temp.Join("a.txt"), temp.Join("dir")));
  EXPECT_EQ(GetPathType(temp.Join("a.txt")), PathType::kFile);

  ASSERT_TRUE(MovePath(temp.Join("a.txt"), temp.Join("dir/c.txt")));
  EXPECT_EQ(GetPathType(temp.Join("a.txt")), PathType::kNone);
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("dir/c.txt")), "a");

  // A folder moves with its content.
  ASSERT_TRUE(MovePath(temp.Join("dir"), temp.Join("moved")));
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("moved/c.txt")), "a");
  EXPECT_FALSE(MovePath(temp.Join("missing"), temp.Join("elsewhere")));
}

TEST(FileSystemTest, ReplaceFileOverwritesTheTarget) {
  TempFolder temp;
  WriteFileOrFail(temp.Join("new"), "new content");
  WriteFileOrFail(temp.Join("old"), "old");
  ASSERT_TRUE(ReplaceFile(temp.Join("new"), temp.Join("old")));
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("old")), "new content");
  EXPECT_EQ(GetPathType(temp.Join("new")), PathType::kNone);
}

TEST(FileSystemTest, FolderCreationAndRemovalRules) {
  TempFolder temp;
  ASSERT_TRUE(CreateFolder(temp.Join("f")));
  EXPECT_FALSE(CreateFolder(temp.Join("f")));  // already there
  EXPECT_FALSE(CreateFolder(temp.Join("no/parent")));
  WriteFileOrFail(temp.Join("f/x"), "x");
  EXPECT_FALSE(RemoveFolder(temp.Join("f")));  // not empty
  EXPECT_TRUE(DeleteFile(temp.Join("f/x")));
  EXPECT_FALSE(DeleteFile(temp.Join("f/x")));
  EXPECT_TRUE(RemoveFolder(temp.Join("f")));
  EXPECT_EQ(GetPathType(temp.Join("f")), PathType::kNone);
}

TEST(FileSystemTest, AtomicWriteReplacesAndLeavesNothingBeside) {
  TempFolder temp;
  const std::string path = temp.Join("settings.dat");
  WriteFileOrFail(path, "first version, longer than the second");
  WriteFileOrFail(path, std::string("second\0version", 14));
  EXPECT_EQ(ReadFileOrEmpty(path), std::string("second\0version", 14));
  EXPECT_EQ(SortedNames(temp.path()), std::vector<std::string>{"settings.dat"});

  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  WriteFileOrFail(path, big);
  std::string read_back;
  ASSERT_TRUE(ReadWholeFile(path, &read_back));
  EXPECT_TRUE(read_back == big);
}

TEST(FileSystemTest, LeftTemporariesOfAFileAreRemovedAndNothingElse) {
  TempFolder temp;
  const std::string path = temp.Join("table.txt");
  const char* left[] = {"table.txt.tmp4242-1000-0", "table.txt.tmp7-99-12"};
  const char* kept[] = {"table.txt",          "table.txt.tmp",          "table.txt.tmp4242-1000",
                        "table.txt.tmpx-1-2", "table.txt.tmp1-2-3.jpg", "other.txt.tmp1-2-3",
                        "xtable.txt.tmp1-2-3"};
  for (const char* name : left) WriteFileOrFail(temp.Join(name), "partial");
  for (const char* name : kept) WriteFileOrFail(temp.Join(name), "kept");
  ASSERT_TRUE(CreateFolder(temp.Join("table.txt.tmp5-6-7")));

  EXPECT_EQ(RemoveLeftTemporaries(path), 2);
  std::vector<std::string> expected(std::begin(kept), std::end(kept));
  expected.push_back("table.txt.tmp5-6-7");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(SortedNames(temp.path()), expected);
}

TEST(FileSystemTest, FailedAtomicWriteLeavesTargetAndFolderUntouched) {
  TempFolder temp;
  EXPECT_FALSE(WriteFileAtomically(temp.Join("missing/file.txt"), "x"));
  EXPECT_TRUE(SortedNames(temp.path()).empty());

  // The rename over a folder fails after the temporary file was written.
  ASSERT_TRUE(CreateFolder(temp.Join("taken")));
  WriteFileOrFail(temp.Join("taken/keep.txt"), "kept");
  EXPECT_FALSE(WriteFileAtomically(temp.Join("taken"), "x"));
  EXPECT_EQ(SortedNames(temp.path()), std::vector<std::string>{"taken"});
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("taken/keep.txt")), "kept");
}

TEST(FileSystemTest, ReadWholeFileFailsOnMissingFilesAndFolders) {
  TempFolder temp;
  std::string bytes = "stale";
  EXPECT_FALSE(ReadWholeFile(temp.Join("missing"), &bytes));
  EXPECT_FALSE(ReadWholeFile(temp.path(), &bytes));
  WriteFileOrFail(temp.Join("empty"), "");
  EXPECT_TRUE(ReadWholeFile(temp.Join("empty"), &bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST(FileSystemTest, HandlesJapaneseNames) {
  TempFolder temp;
  const std::string folder = "日本語のフォルダ";
  const std::string name = "動画テスト 01.mp4";
  ASSERT_TRUE(CreateFolder(temp.Join(folder)));
  WriteFileOrFail(temp.Join(folder + "/" + name), "内容");
  EXPECT_EQ(GetPathType(temp.Join(folder + "/" + name)), PathType::kFile);
  EXPECT_EQ(ReadFileOrEmpty(temp.Join(folder + "/" + name)), "内容");

  std::vector<FileInfo> entries;
  ASSERT_TRUE(ListFolder(temp.Join(folder), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
  EXPECT_EQ(entries[0].size, 6);

  ASSERT_TRUE(MovePath(temp.Join(folder + "/" + name), temp.Join("名前を変えた.mp4")));
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("名前を変えた.mp4")), "内容");
  ASSERT_TRUE(SetFileTimes(temp.Join("名前を変えた.mp4"), 0, kSomeTime));
  FileInfo info;
  ASSERT_TRUE(GetFileInfo(temp.Join("名前を変えた.mp4"), &info));
  EXPECT_EQ(info.name, "名前を変えた.mp4");
  EXPECT_EQ(info.write_time, kSomeTime);
}

// A walk asks for the sizes and times of some entries only: those come
// in full, every entry keeps its name and kind, and links are read in full
// whatever the walk wants, so a link to a folder still shows as a folder.
TEST(FileSystemTest, ListsWithTheDetailsAWalkWants) {
  TempFolder temp;
  struct Entry {
    std::string name;
    bool is_folder;
    bool wanted;
    int64_t size;  // as listed when wanted
  };
  std::vector<Entry> table = {
      {"clip one.mp4", false, true, 4},    {"動画 ファイル.mp4", false, true, 9},
      {"notes text.txt", false, false, 0}, {"フォルダ 一", true, true, 0},
      {"skipped folder", true, false, 0},
  };
  for (const Entry& entry : table) {
    if (entry.is_folder) {
      ASSERT_TRUE(CreateFolder(temp.Join(entry.name)));
    } else {
      WriteFileOrFail(temp.Join(entry.name), std::string(static_cast<size_t>(entry.size), 'x'));
    }
    ASSERT_TRUE(SetFileTimes(temp.Join(entry.name), 0, kSomeTime));
  }
#ifndef _WIN32
  std::filesystem::create_directory_symlink(temp.Join("フォルダ 一"), temp.Join("リンク 先"));
  std::filesystem::create_symlink(temp.Join("missing"), temp.Join("dangling link"));
  table.push_back({"リンク 先", true, true, 0});
  table.push_back({"dangling link", false, true, 0});
#endif
  std::map<std::string, bool> wanted_names;
  for (const Entry& entry : table) wanted_names[entry.name] = entry.wanted;
  std::map<std::string, bool> asked;  // name -> kind it was asked with
  const WantsDetails wants = [&](std::string_view name, bool is_folder) {
    asked[std::string(name)] = is_folder;
    return wanted_names[std::string(name)];
  };

  std::vector<FileInfo> entries;
  ASSERT_TRUE(ListFolder(temp.path(), wants, &entries));
  ASSERT_EQ(entries.size(), table.size());
  for (const Entry& entry : table) {
    SCOPED_TRACE(entry.name);
    const FileInfo* listed = FindEntry(entries, entry.name);
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->is_folder, entry.is_folder);
    if (asked.count(entry.name) != 0) {
      EXPECT_EQ(asked[entry.name], entry.is_folder);
    }
    if (!entry.wanted) continue;
    EXPECT_EQ(listed->size, entry.size);
    if (entry.name != "dangling link") {
      EXPECT_EQ(listed->write_time, kSomeTime);
    }
  }
#ifndef _WIN32
  EXPECT_EQ(asked.count("リンク 先"), 0u);
  EXPECT_EQ(asked.count("dangling link"), 0u);
#endif
  EXPECT_FALSE(ListFolder(temp.Join("missing"), wants, &entries));
  EXPECT_FALSE(ListFolder(temp.Join("clip one.mp4"), wants, &entries));
}

TEST(FileSystemTest, AbsolutePathsFollowTheHost) {
  EXPECT_FALSE(IsAbsolutePath(""));
  EXPECT_FALSE(IsAbsolutePath("relative/path"));
  EXPECT_FALSE(IsAbsolutePath("file.txt"));
#ifdef _WIN32
  EXPECT_EQ(kNativeSeparator, '\\');
  EXPECT_TRUE(IsAbsolutePath("C:\\Videos"));
  EXPECT_TRUE(IsAbsolutePath("d:/Videos"));
  EXPECT_TRUE(IsAbsolutePath("\\\\server\\share"));
  EXPECT_TRUE(IsAbsolutePath("//server/share"));
  EXPECT_FALSE(IsAbsolutePath("C:relative"));
  EXPECT_FALSE(IsAbsolutePath("C:"));
  EXPECT_FALSE(IsAbsolutePath("\\rooted-but-no-drive"));
  EXPECT_FALSE(IsAbsolutePath("1:\\x"));
#else
  EXPECT_EQ(kNativeSeparator, '/');
  EXPECT_TRUE(IsAbsolutePath("/"));
  EXPECT_TRUE(IsAbsolutePath("/home/user/Videos"));
  EXPECT_FALSE(IsAbsolutePath("C:\\Videos"));
#endif
}

TEST(FileSystemTest, KnownFoldersExist) {
  const std::string executable_folder = ExecutableFolder();
  EXPECT_TRUE(IsAbsolutePath(executable_folder)) << executable_folder;
  EXPECT_EQ(GetPathType(executable_folder), PathType::kFolder) << executable_folder;
  EXPECT_NE(executable_folder.back(), kNativeSeparator);

  const std::string temporary = TemporaryFolder();
  EXPECT_EQ(GetPathType(temporary), PathType::kFolder) << temporary;
  EXPECT_NE(temporary.back(), kNativeSeparator);

  // The videos folder need not exist, but it is always a full path.
  EXPECT_TRUE(IsAbsolutePath(UserVideosFolder())) << UserVideosFolder();
}

#ifndef _WIN32
using test::ScopedEnvironment;

TEST(FileSystemTest, VideosFolderFollowsTheXdgSettings) {
  TempFolder temp;
  const ScopedEnvironment home("HOME", "/home/viewer");
  const ScopedEnvironment config("XDG_CONFIG_HOME", temp.path().c_str());
  {
    const ScopedEnvironment videos("XDG_VIDEOS_DIR", "/srv/films/");
    EXPECT_EQ(UserVideosFolder(), "/srv/films");
  }
  const ScopedEnvironment videos("XDG_VIDEOS_DIR", nullptr);
  EXPECT_EQ(UserVideosFolder(), "/home/viewer/Videos");  // no user-dirs.dirs

  WriteFileOrFail(temp.Join("user-dirs.dirs"),
                  "# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                  "XDG_VIDEOS_DIR=\"$HOME/ビデオ\"\n");
  EXPECT_EQ(UserVideosFolder(), "/home/viewer/ビデオ");

  WriteFileOrFail(temp.Join("user-dirs.dirs"), "XDG_VIDEOS_DIR=\"/mnt/media/videos\"\n");
  EXPECT_EQ(UserVideosFolder(), "/mnt/media/videos");

  WriteFileOrFail(temp.Join("user-dirs.dirs"), "XDG_VIDEOS_DIR=relative/not/allowed\n");
  EXPECT_EQ(UserVideosFolder(), "/home/viewer/Videos");
}
#endif

}  // namespace
}  // namespace velmor::platform
