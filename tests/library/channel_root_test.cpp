#include "library/channel_root.h"

#include <gtest/gtest.h>

#include "core/config.h"
#include "core/paths.h"
#include "library/list_file.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

class ChannelRootTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(home_.path()); }
  test::TempFolder home_;
  ChannelTable channels_ = DefaultConfig().channel;
};

TEST_F(ChannelRootTest, FoldersAndListsResolveWithForwardSlashes) {
  test::TempFolder media;
  channels_[1] = {kChannelPcFolder, media.path()};
  ChannelRoot root;
  ASSERT_TRUE(ResolveChannelRoot(channels_, 1, &root));
  EXPECT_EQ(root.path, WithForwardSlashes(media.path()));
  EXPECT_EQ(root.kind, kPathFolder);
  EXPECT_FALSE(root.recursive) << "a PC folder lists one folder";

  channels_[0] = {kChannelVrDevice, media.path()};
  ASSERT_TRUE(ResolveChannelRoot(channels_, 0, &root));
  EXPECT_TRUE(root.recursive);

  // A playlist named relatively lies beside the program.
  test::WriteFileOrFail(home_.Join("ch3.vrl"), "#name x\n");
  ASSERT_TRUE(ResolveChannelRoot(channels_, 2, &root));
  EXPECT_EQ(root.kind, kPathFile);
  EXPECT_EQ(root.path, WithForwardSlashes(home_.Join("ch3.vrl")));
  EXPECT_FALSE(ResolveChannelRoot(channels_, 3, &root)) << "ch4.vrl does not exist";
}

TEST_F(ChannelRootTest, SpecialAndUnusablePathsFail) {
  ChannelRoot root;
  EXPECT_FALSE(ResolveChannelRoot(channels_, 8, &root));
  EXPECT_FALSE(ResolveChannelRoot(channels_, -1, &root));
  channels_[1] = {kChannelPcFolder, "(Computer)"};
  EXPECT_FALSE(ResolveChannelRoot(channels_, 1, &root));
  channels_[1] = {kChannelPcFolder, "(DeviceVide)"};
  EXPECT_FALSE(ResolveChannelRoot(channels_, 1, &root));
  channels_[1] = {kChannelPcFolder, "relative"};
  EXPECT_FALSE(ResolveChannelRoot(channels_, 1, &root)) << "a PC folder is never taken as relative";
  channels_[1] = {kChannelPcFolder, ""};
  EXPECT_FALSE(ResolveChannelRoot(channels_, 1, &root));
  channels_[1] = {kChannelPcFolder, "(PCVideo)"};
  ASSERT_TRUE(ResolveChannelRoot(channels_, 1, &root));
  EXPECT_EQ(root.path, WithForwardSlashes(platform::UserVideosFolder()));
  EXPECT_EQ(root.kind, kPathFolder);
}

}  // namespace
}  // namespace velmor
