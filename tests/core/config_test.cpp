#include "base/decimal_text.h"
#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/paths.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "test_support.h"

namespace velmor {
namespace {

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(home_.path()); }

  std::string Read(const char* section, const char* key) {
    return platform::ReadIniString(ConfigFilePath(), section, key, "\x01");
  }
  void Write(const char* section, const char* key, const char* value) {
    ASSERT_TRUE(platform::WriteIniString(ConfigFilePath(), section, key, value));
  }

  test::TempFolder home_;
  Settings settings_;
};

TEST_F(ConfigTest, FirstStartWritesEveryKeyWithItsDefault) {
  ASSERT_TRUE(settings_.Load());
  EXPECT_EQ(settings_.Copy(), DefaultConfig());
  const std::string bytes = test::ReadFileOrEmpty(ConfigFilePath());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2)) << "UTF-16LE with a byte-order mark";

  EXPECT_EQ(Read("ch.0", "iType"), "1");
  EXPECT_EQ(Read("ch.0", "pcPath"), "");
  EXPECT_EQ(Read("ch.1", "iType"), "0");
  EXPECT_EQ(Read("ch.2", "pcPath"), "ch3.vrl");
  EXPECT_EQ(Read("ch.5", "pcPath"), "ch6.vrl");
  EXPECT_EQ(Read("ch.6", "iType"), "2");
  EXPECT_EQ(Read("ch.6", "pcPath"), "search.vrl");
  EXPECT_EQ(Read("ch.7", "iType"), "3");
  EXPECT_EQ(Read("ch.7", "pcPath"), "favorite.vrl");
  EXPECT_EQ(Read("File", "pcExt"), "mp4");
  EXPECT_EQ(Read("File", "pcAudioExt"), "wav mp3");
  EXPECT_EQ(Read("File", "pcImageExt"), "jpg jpeg png");
  EXPECT_EQ(Read("File", "iUseFileGroup"), "1");
  EXPECT_EQ(Read("File", "pcFileGroup"), "#");
  EXPECT_EQ(Read("File", "pcSearchFolder1"), "SearchFolder1.vrl");
  EXPECT_EQ(Read("File", "pcTrimPath"), "trim");
  EXPECT_EQ(Read("File", "pcWordListPath"), "WordList.txt");
  EXPECT_EQ(Read("File", "pcPCFolderListPath"), "PCFolderList.vrl");
  EXPECT_EQ(Read("File", "pcDataTablePath"), "data\\VelmorVRServer.txt");
  EXPECT_EQ(Read("File", "iDataTableDeviceID"), "10");
  EXPECT_EQ(Read("Config", "iUsePassword"), "0");
  EXPECT_EQ(Read("Config", "pcPassword"), "");
  EXPECT_EQ(Read("Config", "iUseMouse"), "0");
  EXPECT_EQ(Read("Config", "iUseMouseGetKeybordFocus"), "0");
  EXPECT_EQ(Read("Config", "iUseMouseScale"), "100");
  EXPECT_EQ(Read("Config", "iPortServer"), "11922");
  EXPECT_EQ(Read("Config", "iPortHttp"), "11921");
  EXPECT_EQ(Read("Config", "iPortMouse"), "11923");
  EXPECT_EQ(Read("Config", "iServerAcceptNum.220"), "5");
  EXPECT_EQ(Read("Config", "iServerAcceptFullNum.220"), "3");
  EXPECT_EQ(Read("Config", "iServerCacheBuffSizeMB"), "1");
  EXPECT_EQ(Read("Config", "iServerCacheBuffNum"), "32");
  EXPECT_EQ(Read("Config", "iServerCacheBuffProtectNum"), "8");
  EXPECT_EQ(Read("Config", "iLiveTimeOutSec"), "120");
  EXPECT_EQ(Read("Config", "iServerLog"), "0");
  EXPECT_EQ(Read("Config", "rw.iUseFFMpeg"), "0");
  EXPECT_EQ(Read("Config", "pcFFMpegPath"), "ffmpeg");
  EXPECT_EQ(Read("Config", "pcThumbnailPath"), "thumbnail");
  EXPECT_EQ(Read("Config", "pcThumbnailPath.220"), "thumbnail220");
}

TEST_F(ConfigTest, FileOrderIsChannelsThenFileThenConfig) {
  ASSERT_TRUE(settings_.Load());
  const std::string bytes = test::ReadFileOrEmpty(ConfigFilePath());
  const size_t ch0 = bytes.find(test::Utf16LeBytes("[ch.0]", false));
  const size_t ch7 = bytes.find(test::Utf16LeBytes("[ch.7]", false));
  const size_t file = bytes.find(test::Utf16LeBytes("[File]", false));
  const size_t config = bytes.find(test::Utf16LeBytes("[Config]", false));
  ASSERT_NE(ch0, std::string::npos);
  EXPECT_LT(ch0, ch7);
  EXPECT_LT(ch7, file);
  EXPECT_LT(file, config);
  EXPECT_EQ(bytes.find(test::Utf16LeBytes("[ch.0]\r\niType=1\r\npcPath=\r\n[ch.1]", false)), 2u);
}

TEST_F(ConfigTest, SecondStartChangesNothing) {
  ASSERT_TRUE(settings_.Load());
  const std::string first = test::ReadFileOrEmpty(ConfigFilePath());
  ASSERT_TRUE(settings_.Load());
  EXPECT_TRUE(settings_.Save());
  EXPECT_EQ(test::ReadFileOrEmpty(ConfigFilePath()), first);
}

TEST_F(ConfigTest, ValuesInTheFileAreRead) {
  ASSERT_TRUE(settings_.Load());
  Write("ch.3", "iType", "0");
  Write("ch.3", "pcPath", "/media/videos");
  Write("Config", "iPortServer", "12000");
  Write("Config", "pcPassword", "1234");
  Write("File", "pcImageExt", "png");
  ASSERT_TRUE(settings_.Load());
  const S_CONFIG config = settings_.Copy();
  EXPECT_EQ(config.channel[3].iType, 0);
  EXPECT_EQ(config.channel[3].pcPath, "/media/videos");
  EXPECT_EQ(config.iPortServer, 12000);
  EXPECT_EQ(config.pcPassword, "1234");
  EXPECT_EQ(config.pcImageExt, "png");
}

TEST_F(ConfigTest, EmptyTextStaysEmptyAndAMissingKeyGetsItsDefaultBack) {
  ASSERT_TRUE(settings_.Load());
  Write("File", "pcExt", "");
  ASSERT_TRUE(settings_.Load());
  EXPECT_EQ(settings_.Copy().pcExt, "");
  EXPECT_EQ(Read("File", "pcExt"), "");

  // Deleting the key brings the default back, in the record and the file.
  std::string bytes = test::ReadFileOrEmpty(ConfigFilePath());
  const std::string line = test::Utf16LeBytes("pcExt=\r\n", false);
  const size_t at = bytes.find(line);
  ASSERT_NE(at, std::string::npos);
  bytes.erase(at, line.size());
  test::WriteFileOrFail(ConfigFilePath(), bytes);
  ASSERT_TRUE(settings_.Load());
  EXPECT_EQ(settings_.Copy().pcExt, "mp4");
  EXPECT_EQ(Read("File", "pcExt"), "mp4");
}

TEST_F(ConfigTest, EmptyIntegerIsRewrittenWithItsDefault) {
  ASSERT_TRUE(settings_.Load());
  Write("Config", "iPortHttp", "");
  ASSERT_TRUE(settings_.Load());
  EXPECT_EQ(settings_.Copy().iPortHttp, 11921);
  EXPECT_EQ(Read("Config", "iPortHttp"), "11921");
}

TEST_F(ConfigTest, UnparsableIntegerKeepsTheDefaultAndTheText) {
  ASSERT_TRUE(settings_.Load());
  Write("Config", "iLiveTimeOutSec", "soon");
  Write("Config", "iPortMouse", " 12345xyz");
  ASSERT_TRUE(settings_.Load());
  const S_CONFIG config = settings_.Copy();
  EXPECT_EQ(config.iLiveTimeOutSec, 120);
  EXPECT_EQ(config.iPortMouse, 12345);
  EXPECT_EQ(Read("Config", "iLiveTimeOutSec"), "soon");
}

TEST_F(ConfigTest, SaveWritesOnlyChangedKeysSoHandEditsSurvive) {
  ASSERT_TRUE(settings_.Load());
  // Edited by hand while the server runs.
  Write("Config", "iServerLog", "1");
  Write("ch.4", "pcPath", "mine.vrl");
  // Changed by the user in the program.
  settings_.Update([](S_CONFIG& config) {
    config.iPortHttp = 12001;
    config.channel[2].iType = kChannelPcFolder;
  });
  ASSERT_TRUE(settings_.Save());
  EXPECT_EQ(Read("Config", "iPortHttp"), "12001");
  EXPECT_EQ(Read("ch.2", "iType"), "0");
  EXPECT_EQ(Read("ch.2", "pcPath"), "ch3.vrl");
  EXPECT_EQ(Read("Config", "iServerLog"), "1");
  EXPECT_EQ(Read("ch.4", "pcPath"), "mine.vrl");

  // Nothing changed since: a second save leaves the file as it is.
  const std::string before = test::ReadFileOrEmpty(ConfigFilePath());
  Write("Config", "iUseMouse", "1");
  const std::string edited = test::ReadFileOrEmpty(ConfigFilePath());
  ASSERT_NE(before, edited);
  ASSERT_TRUE(settings_.Save());
  EXPECT_EQ(test::ReadFileOrEmpty(ConfigFilePath()), edited);
}

TEST_F(ConfigTest, AFailedSaveSaysSoAndTheNextSaveWritesTheChange) {
  ASSERT_TRUE(settings_.Load());
  const std::string file = ConfigFilePath();
  ASSERT_TRUE(platform::MovePath(file, file + ".away"));
  ASSERT_TRUE(platform::CreateFolder(file));  // in the way of every write
  settings_.Update([](S_CONFIG& config) { config.iPortHttp = 12001; });
  EXPECT_FALSE(settings_.Save());
  ASSERT_TRUE(platform::RemoveFolder(file));
  ASSERT_TRUE(platform::MovePath(file + ".away", file));
  ASSERT_TRUE(settings_.Save());
  EXPECT_EQ(Read("Config", "iPortHttp"), "12001");
}

TEST_F(ConfigTest, LongTextIsCutTo259Characters) {
  ASSERT_TRUE(settings_.Load());
  std::string long_path;
  for (int i = 0; i < 300; ++i) long_path += "あ";
  Write("Config", "pcFFMpegPath", long_path.c_str());
  ASSERT_TRUE(settings_.Load());
  std::string expected;
  for (int i = 0; i < 259; ++i) expected += "あ";
  EXPECT_EQ(settings_.Copy().pcFFMpegPath, expected);
}

TEST_F(ConfigTest, FailsWhenTheFileCannotBeCreated) {
  SetProgramFolder(home_.Join("missing/folder"));
  EXPECT_FALSE(settings_.Load());
}

TEST(DecimalParsing, ReadsLikeTheCLibrary) {
  int value = 7;
  EXPECT_TRUE(ParseDecimalInt("  42abc", &value));
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(ParseDecimalInt("-17", &value));
  EXPECT_EQ(value, -17);
  EXPECT_TRUE(ParseDecimalInt("+5", &value));
  EXPECT_EQ(value, 5);
  value = 7;
  EXPECT_FALSE(ParseDecimalInt("abc", &value));
  EXPECT_FALSE(ParseDecimalInt("", &value));
  EXPECT_FALSE(ParseDecimalInt("-", &value));
  EXPECT_EQ(value, 7);
  long long big = 0;
  EXPECT_TRUE(ParseDecimalInt64("-9223372036854775807", &big));
  EXPECT_EQ(big, -9223372036854775807LL);
}

}  // namespace
}  // namespace velmor
