// The binary command set end to end: a running server (listeners, host
// and event consumer) and the player client.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "library/list_file.h"
#include "mouse_remote_support.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "player_client.h"
#include "remote/mouse_remote.h"
#include "running_server.h"
#include "runtime/server_runtime.h"
#include "test_support.h"

namespace velmor {
namespace {

using Answer = test::CommandAnswer;

class CommandSetTest : public test::RunningServerTest {
 protected:
  void SetUp() override {
    RunningServerTest::SetUp();
    settings().Update([](S_CONFIG& config) { config.iServerLog = 1; });
  }

  void Start() {
    StartServer();
    Consume();
  }

  std::string Log() { return test::ReadFileOrEmpty(ServerLog::DefaultPath()); }
};

TEST_F(CommandSetTest, UnknownCommandsAreRefusedWithoutSlots) {
  Start();
  const Answer answer = Run("CM_NO_SUCH_COMMAND", {"1"});
  EXPECT_FALSE(answer.ok);
  EXPECT_TRUE(answer.slots.empty());
  EXPECT_FALSE(Run("cm_get_http_stream").ok) << "names match whole and exact";
}

TEST_F(CommandSetTest, PathKindsAndTheStreamSlotCount) {
  Start();
  test::WriteFileOrFail(home_.Join("a.mp4"), "x");
  Answer answer = Run("CM_IS_FIND_PATH", {"a.mp4"});
  ASSERT_TRUE(answer.ok);
  ASSERT_EQ(answer.slots.size(), 1u);
  EXPECT_EQ(answer.slots[0].value, 0);
  EXPECT_EQ(Run("CM_IS_FIND_PATH", {home_.path()}).slots.at(0).value, 1);
  EXPECT_EQ(Run("CM_IS_FIND_PATH", {home_.Join("a.mp4")}).slots.at(0).value, 2);
  EXPECT_EQ(Run("CM_GET_HTTP_STREAM").slots.at(0).value, 5);
}

TEST_F(CommandSetTest, PlayChecksTheFileAndLogs) {
  Start();
  test::WriteFileOrFail(home_.Join("clip.mp4"), "x");
  EXPECT_TRUE(Run("CM_PLAY", {home_.Join("clip.mp4"), "0", "1"}).ok);
  EXPECT_FALSE(Run("CM_PLAY", {home_.Join("gone.mp4"), "0", "0"}).ok);
  EXPECT_TRUE(Run("CM_PLAY", {home_.Join("gone.mp4"), "1", "0"}).ok) << "no-check";
  EXPECT_FALSE(Run("CM_PLAY", {home_.path(), "0", "1"}).ok) << "a folder is no file";
  const std::string log = Log();
  EXPECT_NE(log.find("PLAY_FILE       , path=\"" + home_.Join("clip.mp4") + "\"\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("PLAY_FILE:ERROR , path=\"" + home_.Join("gone.mp4") + "\"\r\n"),
            std::string::npos);
}

TEST_F(CommandSetTest, MakeDirCreatesParentsAndLogs) {
  Start();
  EXPECT_TRUE(Run("CM_MAKE_DIR", {home_.Join("a/b/c")}).ok);
  EXPECT_EQ(PathKind(home_.Join("a/b/c")), kPathFolder);
  EXPECT_TRUE(Run("CM_MAKE_DIR", {home_.Join("a/b/c")}).ok) << "an existing folder is fine";
  EXPECT_FALSE(Run("CM_MAKE_DIR", {"relative/dir"}).ok);
  const std::string log = Log();
  EXPECT_NE(log.find("MAKE_DIR        , dir=\"" + home_.Join("a/b/c") + "\"\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("ERROR:MAKE_DIR  , msg=\"***\", dir=\"relative/dir\"\r\n"), std::string::npos);
}

TEST_F(CommandSetTest, MoveFileRefusesOtherExtensionsAndMovesIntoNewFolders) {
  Start();
  test::WriteFileOrFail(home_.Join("a.mp4"), "movie");
  EXPECT_FALSE(Run("CM_MOVE_FILE", {home_.Join("b.mkv"), home_.Join("a.mp4"), "0"}).ok);
  EXPECT_NE(Log().find("ERROR:MOVE_FILE , msg=\"ドライブまたは拡張子が異なる\", to=\"" +
                       home_.Join("b.mkv") + "\", from=\"" + home_.Join("a.mp4") + "\"\r\n"),
            std::string::npos);

  EXPECT_TRUE(Run("CM_MOVE_FILE", {home_.Join("new/dir/a.mp4"), home_.Join("a.mp4"), "0"}).ok);
  EXPECT_EQ(test::ReadFileOrEmpty(home_.Join("new/dir/a.mp4")), "movie");
  EXPECT_EQ(PathKind(home_.Join("a.mp4")), kPathAbsent);

  test::WriteFileOrFail(home_.Join("c.mp4"), "other");
  EXPECT_FALSE(Run("CM_MOVE_FILE", {home_.Join("c.mp4"), home_.Join("new/dir/a.mp4"), "0"}).ok)
      << "never over an existing file";
  EXPECT_EQ(test::ReadFileOrEmpty(home_.Join("c.mp4")), "other");
  EXPECT_NE(Log().find("msg=\"同じファイルが存在する、アクセス権が無い等\""), std::string::npos);
}

TEST_F(CommandSetTest, CopyTimestampCopiesTheFileTimes) {
  Start();
  test::WriteFileOrFail(home_.Join("source.mp4"), "s");
  test::WriteFileOrFail(home_.Join("target.mp4"), "t");
  platform::FileTimes old_times;
  old_times.creation = platform::FileTimeFromUnixMicroseconds(1400000000000000);
  old_times.access = platform::FileTimeFromUnixMicroseconds(1600000000000000);
  old_times.write = platform::FileTimeFromUnixMicroseconds(1500000000000000);
  ASSERT_TRUE(platform::SetFileTimes(home_.Join("source.mp4"), old_times));
  EXPECT_TRUE(Run("CM_COPYTIMESTAMP", {home_.Join("target.mp4"), home_.Join("source.mp4")}).ok);
  platform::FileInfo target;
  ASSERT_TRUE(platform::GetFileInfo(home_.Join("target.mp4"), &target));
  EXPECT_EQ(target.write_time, old_times.write);
  EXPECT_EQ(target.access_time, old_times.access);
  // POSIX keeps no creation time that can be set.
  if (platform::CanSetCreationTime()) {
    EXPECT_EQ(target.creation_time, old_times.creation);
  }
  EXPECT_FALSE(Run("CM_COPYTIMESTAMP", {home_.Join("target.mp4"), home_.Join("none.mp4")}).ok);
  EXPECT_FALSE(Run("CM_COPYTIMESTAMP", {home_.Join("none.mp4"), home_.Join("source.mp4")}).ok);
}

TEST_F(CommandSetTest, PlayerSettingsValuesNeedTheRwPrefix) {
  Start();
  EXPECT_FALSE(Run("CM_INI_WRITE_INT64", {"Config", "iPortHttp", "80", ""}).ok);
  EXPECT_TRUE(Run("CM_INI_WRITE_INT64", {"Config", "rw.iUseFFMpeg", "1", ""}).ok);
  EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "Config", "rw.iUseFFMpeg", ""), "1");

  Answer answer = Run("CM_INI_READ_STRING", {"Player", "rw.name", "既定", "player.ini"});
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.slots.at(0).text, "既定");
  EXPECT_EQ(platform::ReadIniString(home_.Join("player.ini"), "Player", "rw.name", ""), "既定");

  EXPECT_TRUE(Run("CM_INI_WRITE_INT64", {"Player", "rw.pos", "-123456789012", "player.ini"}).ok);
  answer = Run("CM_INI_READ_INT64", {"Player", "rw.pos", "0", "player.ini"});
  EXPECT_EQ(answer.slots.at(0).text, "-123456789012");
  EXPECT_FALSE(Run("CM_INI_READ_INT64", {"Player", "rw.pos", "0", "../x.ini"}).ok);
  EXPECT_FALSE(Run("CM_INI_READ_INT64", {"Player"}).ok) << "a command must carry its fields";
}

TEST_F(CommandSetTest, ChannelTypesAreReadAndSet) {
  Start();
  Answer answer = Run("CM_GET_CHANNEL_TYPE", {"7"});
  ASSERT_TRUE(answer.ok);
  EXPECT_EQ(answer.slots.at(0).value, kChannelFavourites);
  EXPECT_EQ(answer.slots.at(0).text, "favorite.vrl");
  EXPECT_FALSE(Run("CM_GET_CHANNEL_TYPE", {"8"}).ok);
  EXPECT_FALSE(Run("CM_GET_CHANNEL_TYPE", {"-1"}).ok);
  EXPECT_FALSE(Run("CM_SET_CHANNEL_TYPE", {"3", "2", ""}).ok) << "only PC folder or VR device";

  test::TempFolder media;
  EXPECT_TRUE(Run("CM_SET_CHANNEL_TYPE", {"3", "0", media.path()}).ok);
  EXPECT_EQ(settings().Channel(3).iType, kChannelPcFolder);
  Consume();  // the host saves the settings
  EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "ch.3", "iType", ""), "0");
  answer = Run("CM_GET_CHANNEL_TYPE", {"3"});
  EXPECT_EQ(answer.slots.at(0).value, 0);
  EXPECT_EQ(PathKind(answer.slots.at(0).text), kPathFolder);
}

// The player changes a channel on the session thread while the host applies
// and saves the settings on its own thread (ThreadSanitizer watches both);
// the last change is the one the file keeps.
TEST_F(CommandSetTest, ChannelChangesRaceNeitherTheHostsApplyNorItsSave) {
  Start();
  test::TempFolder media;
  std::atomic<bool> player_done{false};
  std::thread player([&] {
    for (int i = 0; i < 100; ++i) {
      const std::string type = i % 3 == 2 ? "1" : "0";
      EXPECT_TRUE(Run("CM_SET_CHANNEL_TYPE", {"3", type, media.Join(std::to_string(i))}).ok);
    }
    player_done = true;
  });
  while (!player_done) {
    runtime_.ApplySettings();
    settings().Save();
    Consume();  // saves again when the session asked for it
  }
  player.join();
  Consume();
  const S_CONFIG_CH last = settings().Channel(3);
  EXPECT_EQ(last.iType, kChannelPcFolder);
  EXPECT_EQ(WithForwardSlashes(last.pcPath), WithForwardSlashes(media.Join("99")));
  EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "ch.3", "pcPath", ""), last.pcPath);
}

TEST_F(CommandSetTest, MarkerListEchoesFieldsUpToTheFirstEmptyOne) {
  Start();
  const Answer answer = Run("CM_GET_MARKER_LIST", {"one", "", "three"});
  ASSERT_TRUE(answer.ok);
  ASSERT_EQ(answer.slots.size(), 1u);
  EXPECT_EQ(answer.slots[0].text, "one");
  EXPECT_EQ(Run("CM_GET_MARKER_LIST", {"a", "b", "c", "d"}).slots.size(), 4u);
}

TEST_F(CommandSetTest, LiveTimeSuspendsAndLiftsOnlyOnChange) {
  Start();
  EXPECT_TRUE(Run("CM_LIVE_TIME", {"1", "30"}).ok);
  EXPECT_TRUE(runtime_.command_server()->suspended());
  std::vector<StatusEvent> shown = Consume();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].code, kStatusSuspended);
  EXPECT_EQ(shown[0].first_text, "中断中");
  EXPECT_EQ(shown[0].second_text, "127.0.0.1");

  EXPECT_TRUE(Run("CM_LIVE_TIME", {"1", "30"}).ok);
  EXPECT_TRUE(Consume().empty()) << "the same state raises no event";

  EXPECT_TRUE(Run("CM_LIVE_TIME", {"0", "30"}).ok);
  EXPECT_FALSE(runtime_.command_server()->suspended());
  shown = Consume();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].code, kStatusResumed);
}

TEST_F(CommandSetTest, MouseCaptureIsSwitchedByTheHost) {
  test::DatagramReceiver player;
  auto capture = std::make_shared<test::FakeMouseCapture>();
  MouseRemoteParts parts;
  parts.capture = capture;
  runtime_.SetMouseRemoteParts(parts);
  Start();  // "iUseMouse" 0: the connection starts no remote
  EXPECT_EQ(Run("CM_GET_MOUSE_ENABLE").slots.at(0).value, 2) << "not running";
  EXPECT_EQ(capture->creates(), 0);
  EXPECT_FALSE(player.HasWaiting());
  ASSERT_TRUE(
      runtime_.mouse_remote()->StartMouseRemote(&runtime_, "127.0.0.1", player.port(), false));
  EXPECT_EQ(Run("CM_GET_MOUSE_ENABLE").slots.at(0).value, 1);
  EXPECT_TRUE(Run("CM_SET_MOUSE_ENABLE", {"0"}).ok);
  Consume();
  EXPECT_EQ(Run("CM_GET_MOUSE_ENABLE").slots.at(0).value, 0);
  EXPECT_TRUE(Run("CM_SET_MOUSE_ENABLE", {"1"}).ok);
  Consume();
  EXPECT_EQ(Run("CM_GET_MOUSE_ENABLE").slots.at(0).value, 1);
}

TEST_F(CommandSetTest, WithTheMouseSettingTheConnectedPlayerGetsDatagrams) {
  test::DatagramReceiver player;
  settings().Update([&](S_CONFIG& config) {
    config.iUseMouse = 1;
    config.iPortMouse = player.port();
  });
  MouseRemoteParts parts;
  parts.capture = std::make_shared<test::FakeMouseCapture>();
  runtime_.SetMouseRemoteParts(parts);
  Start();
  EXPECT_EQ(Run("CM_GET_MOUSE_ENABLE").slots.at(0).value, 1);
  EXPECT_EQ(test::MouseFields(player.Next())["ct"], 0);
}

TEST_F(CommandSetTest, ClientLogAndFavouriteLines) {
  Start();
  EXPECT_TRUE(Run("CM_CLIENT_LOG", {"PLAYER", "opened the menu"}).ok);
  EXPECT_TRUE(Run("CM_SET_FAVORITE", {"1", "/v/a.mp4"}).ok);
  const std::string log = Log();
  EXPECT_NE(log.find("PLAYER          , opened the menu\r\n"), std::string::npos);
  EXPECT_NE(log.find("SET_FAVORITE    , on=1, path=\"/v/a.mp4\"\r\n"), std::string::npos);
}

}  // namespace
}  // namespace velmor
