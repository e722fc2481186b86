#include "library/list_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/paths.h"
#include "library/list_file.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

class ListScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    video_.Parse("mp4");
    audio_.Parse("mp3");
    image_.Parse("jpg");
    root_ = WithForwardSlashes(media_.path());
    platform::CreateFolder(media_.Join("a"));
    platform::CreateFolder(media_.Join("a/sub"));
    platform::CreateFolder(media_.Join("b"));
    test::WriteFileOrFail(media_.Join("a/one.mp4"), "1");
    test::WriteFileOrFail(media_.Join("a/notes.txt"), "x");
    test::WriteFileOrFail(media_.Join("a/sub/two.MP3"), "2");
    test::WriteFileOrFail(media_.Join("b/three.jpg"), "3");
  }

  std::string List(const std::string& name, const std::string& text) {
    test::WriteFileOrFail(home_.Join(name), text);
    return WithForwardSlashes(home_.Join(name));
  }

  // Scans and records what the callbacks saw, as "line:" and "file:" texts.
  int Scan(const std::string& list, std::vector<std::string>* seen, int stop_after = -1) {
    ListScanner scanner(MediaSets{video_, audio_, image_}, channels_);
    int calls = 0;
    auto count = [&] { return stop_after < 0 || ++calls < stop_after ? 1 : 0; };
    return scanner.ScanListFile(
        0, list, 0,
        [&](const std::string& path, int code) {
          seen->push_back((code == ListScanner::kFolder ? "line-folder:" : "line-file:") + path);
          return count();
        },
        [&](const std::string& folder, const platform::FileInfo* entry, int code) {
          if (code == ListScanner::kMediaFile)
            seen->push_back("file:" + folder + "/" + entry->name);
          return count();
        });
  }

  test::TempFolder home_;
  test::TempFolder media_;
  std::string root_;
  CExt video_, audio_, image_;
  ChannelTable channels_ = DefaultConfig().channel;
};

TEST_F(ListScannerTest, FoldersAreWalkedWithTheirSubfoldersAndMediaOnly) {
  std::vector<std::string> seen;
  const std::string list = List("p.vrl", "#name P\r\n" + root_ + "\\a\r\nrelative/x.mp4\r\n" +
                                             root_ + "/missing.mp4\r\n" + root_ +
                                             "/a/notes.txt\r\n" + root_ + "/b/three.jpg\r\n");
  EXPECT_EQ(Scan(list, &seen), 1);
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "line-folder:" + root_ + "/a", "file:" + root_ + "/a/one.mp4",
                      "file:" + root_ + "/a/sub/two.MP3", "line-file:" + root_ + "/b/three.jpg"}));
}

TEST_F(ListScannerTest, OnceKeepsAFolderFromBeingWalkedTwice) {
  std::vector<std::string> seen;
  Scan(List("p.vrl", root_ + "/a\n" + root_ + "/a\n"), &seen);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "file:" + root_ + "/a/one.mp4"), 2)
      << "without #once every line walks again";
  seen.clear();
  Scan(List("q.vrl", "#once\n" + root_ + "/a\n" + root_ + "/a/sub\n" + root_ + "/a\n"), &seen);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "file:" + root_ + "/a/one.mp4"), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "file:" + root_ + "/a/sub/two.MP3"), 1);
  seen.clear();
  Scan(List("r.vrl", "#once\n" + root_ + "/a\n#no_once\n" + root_ + "/a\n"), &seen);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "file:" + root_ + "/a/one.mp4"), 2);
}

TEST_F(ListScannerTest, NestedListsAreFollowedButNeverInACycle) {
  const std::string inner = List("inner.vrl", root_ + "/b\n");
  std::vector<std::string> seen;
  EXPECT_EQ(Scan(List("outer.vrl", inner + "\n" + root_ + "/a/one.mp4\n"), &seen), 1);
  EXPECT_EQ(seen.front(), "line-folder:" + root_ + "/b");
  EXPECT_EQ(seen.back(), "line-file:" + root_ + "/a/one.mp4");

  // Two lists that name each other, and one that names itself.
  const std::string self = WithForwardSlashes(home_.Join("self.vrl"));
  List("self.vrl", self + "\n" + root_ + "/b/three.jpg\n");
  seen.clear();
  EXPECT_EQ(Scan(self, &seen), 1);
  EXPECT_EQ(seen, std::vector<std::string>{"line-file:" + root_ + "/b/three.jpg"});
  const std::string x = WithForwardSlashes(home_.Join("x.vrl"));
  const std::string y = WithForwardSlashes(home_.Join("y.vrl"));
  List("x.vrl", y + "\n");
  List("y.vrl", x + "\n" + root_ + "/a/one.mp4\n");
  seen.clear();
  EXPECT_EQ(Scan(x, &seen), 1);
  EXPECT_EQ(seen, std::vector<std::string>{"line-file:" + root_ + "/a/one.mp4"});
}

TEST_F(ListScannerTest, ChannelLinesFollowFolderAndListChannelsOnly) {
  channels_[2] = {kChannelPcFolder, media_.Join("b")};
  channels_[3] = {kChannelVrDevice, media_.Join("a")};
  const std::vector<std::string> channel_3 = {"line-folder:" + root_ + "/b",
                                              "file:" + root_ + "/b/three.jpg"};
  // The number follows "#ch" with or without blanks.
  const struct {
    std::string text;
    std::vector<std::string> seen;
  } cases[] = {
      {"#ch 3\n#ch 4\n#ch 99\n", channel_3},
      {"#ch3\r\n#ch4\r\n", channel_3},
      {"#ch\t3\n", channel_3},
      {"#ch 0\n#ch -2147483648\n#ch\n#chx 3\n", {}},
  };
  for (const auto& list : cases) {
    std::vector<std::string> seen;
    EXPECT_EQ(Scan(List("c.vrl", list.text), &seen), 1) << list.text;
    EXPECT_EQ(seen, list.seen) << list.text;
  }
}

TEST_F(ListScannerTest, ACallbackStopsEverythingAndEndStopsTheList) {
  std::vector<std::string> seen;
  // The second callback (the walk of the first folder beginning) says stop.
  EXPECT_EQ(Scan(List("s.vrl", root_ + "/a\n" + root_ + "/b\n"), &seen, 2), 0);
  EXPECT_EQ(seen, std::vector<std::string>{"line-folder:" + root_ + "/a"});
  seen.clear();
  EXPECT_EQ(Scan(List("e.vrl", root_ + "/b/three.jpg\n#end\n" + root_ + "/a\n"), &seen), 1);
  EXPECT_EQ(seen.size(), 1u);
  seen.clear();
  EXPECT_EQ(Scan(WithForwardSlashes(home_.Join("none.vrl")), &seen), 0);
}

}  // namespace
}  // namespace velmor
