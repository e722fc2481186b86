#include "core/player_keys.h"

#include <gtest/gtest.h>

#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "test_support.h"

namespace velmor {
namespace {

class PlayerKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(Settings().Load());  // the settings file, as at start
  }
  test::TempFolder home_;
};

TEST_F(PlayerKeys, OnlyKeysThatBeginWithRwDotAreTouched) {
  const std::string before = test::ReadFileOrEmpty(ConfigFilePath());
  EXPECT_FALSE(PlayerKeyWriteInt64("Config", "iPortHttp", "80", ""));
  EXPECT_FALSE(PlayerKeyWriteString("Config", "pcPassword", "x", ""));
  std::string value;
  EXPECT_FALSE(PlayerKeyReadString("Config", "pcPassword", "", "", &value));
  EXPECT_FALSE(PlayerKeyReadInt64("Config", "RW.x", "1", "", &value)) << "the prefix is exact";
  EXPECT_EQ(test::ReadFileOrEmpty(ConfigFilePath()), before);

  EXPECT_TRUE(PlayerKeyWriteInt64("Config", "rw.iUseFFMpeg", "1", ""));
  EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "Config", "rw.iUseFFMpeg", ""), "1");
}

TEST_F(PlayerKeys, Int64ValuesRoundTripAndJunkReadsAsZero) {
  std::string value;
  ASSERT_TRUE(PlayerKeyWriteInt64("Player", "rw.big", "-9000000000000", ""));
  ASSERT_TRUE(PlayerKeyReadInt64("Player", "rw.big", "5", "", &value));
  EXPECT_EQ(value, "-9000000000000");
  ASSERT_TRUE(PlayerKeyWriteInt64("Player", "rw.junk", "abc", ""));
  ASSERT_TRUE(PlayerKeyReadInt64("Player", "rw.junk", "5", "", &value));
  EXPECT_EQ(value, "0");
}

TEST_F(PlayerKeys, ReadsOfMissingKeysStoreTheDefault) {
  std::string value;
  ASSERT_TRUE(PlayerKeyReadInt64("Player", "rw.count", "77", "", &value));
  EXPECT_EQ(value, "77");
  EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "Player", "rw.count", ""), "77");
  ASSERT_TRUE(PlayerKeyReadString("Player", "rw.name", "素敵な名前", "", &value));
  EXPECT_EQ(value, "素敵な名前");
  EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "Player", "rw.name", ""), "素敵な名前");
  // A stored empty string is a value, not an absent key.
  ASSERT_TRUE(PlayerKeyWriteString("Player", "rw.empty", "", ""));
  ASSERT_TRUE(PlayerKeyReadString("Player", "rw.empty", "default", "", &value));
  EXPECT_EQ(value, "");
}

TEST_F(PlayerKeys, OtherFilesLieInTheProgramFolder) {
  ASSERT_TRUE(platform::CreateFolder(home_.Join("player")));
  ASSERT_TRUE(PlayerKeyWriteString("S", "rw.k", "v", "player/state.ini"));
  const std::string path = home_.path() + platform::kNativeSeparator + "player" +
                           platform::kNativeSeparator + "state.ini";
  EXPECT_EQ(platform::GetPathType(path), platform::PathType::kFile);
  EXPECT_EQ(test::ReadFileOrEmpty(path).substr(0, 2), std::string("\xFF\xFE", 2));
  std::string value;
  ASSERT_TRUE(PlayerKeyReadString("S", "rw.k", "", "player\\state.ini", &value));
  EXPECT_EQ(value, "v");
}

TEST_F(PlayerKeys, AbsoluteOrClimbingFileNamesAreRefused) {
  test::TempFolder elsewhere;
  std::string value;
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", elsewhere.Join("x.ini")));
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", "C:\\x.ini"));
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", "c:x.ini"));
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", "/x.ini"));
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", "\\x.ini"));
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", "../x.ini"));
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", "a/../../x.ini"));
  EXPECT_FALSE(PlayerKeyReadString("S", "rw.k", "d", "..\\x.ini", &value));
  EXPECT_EQ(platform::GetPathType(elsewhere.Join("x.ini")), platform::PathType::kNone);
}

TEST_F(PlayerKeys, AFileInAMissingFolderFails) {
  EXPECT_FALSE(PlayerKeyWriteString("S", "rw.k", "v", "nowhere/x.ini"));
}

}  // namespace
}  // namespace velmor
