#include "command/command_server.h"

#include <gtest/gtest.h>

#include <regex>

#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/socket.h"
#include "test_support.h"

namespace velmor {
namespace {

class CommandServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(settings_.Load());
  }
  std::string LogText() { return test::ReadFileOrEmpty(ServerLog::DefaultPath()); }
  void SetServerLog(int on) {
    settings_.Update([on](S_CONFIG& config) { config.iServerLog = on; });
  }

  test::TempFolder home_;
  Settings settings_;
  LibraryContext library_;  // outlives the servers of the tests
};

TEST_F(CommandServerTest, StartedListenerWaitsForAPlayer) {
  CommandServer server(nullptr, &settings_, &library_);
  ASSERT_TRUE(server.StartCommandListener(0));
  EXPECT_TRUE(server.listening());
  EXPECT_FALSE(server.connected());
  EXPECT_FALSE(server.authenticated());
  ASSERT_NE(server.port(), 0);

  StatusEvent event;
  // The consumer skips a turn while the session holds the lock.
  while (!server.status().Take(&event)) {
  }
  EXPECT_EQ(event.code, kStatusWaiting);
  EXPECT_EQ(event.first_text, "接続待ち");
  EXPECT_EQ(event.second_text, "");
  while (!server.status().Take(&event)) {
  }
  EXPECT_EQ(event.code, kStatusNone) << "taking clears the slot";

  // The port takes connections.
  platform::Socket player;
  EXPECT_TRUE(player.ConnectTcp(platform::Ipv4Address::Loopback(), server.port(), 5000));
}

TEST_F(CommandServerTest, APortInUseLeavesTheServerReleased) {
  platform::Socket taken;
  ASSERT_TRUE(taken.ListenTcp(0, 1));
  CommandServer server(nullptr, &settings_, &library_);
  EXPECT_FALSE(server.StartCommandListener(taken.LocalPort()));
  EXPECT_FALSE(server.listening());
  EXPECT_EQ(library_.data_table(), nullptr);
  EXPECT_EQ(library_.favourites(), nullptr);
}

TEST_F(CommandServerTest, ApplyingSettingsBindsTheLastListChannelOfEachType) {
  settings_.SetChannel(2, {kChannelFavourites, "first.vrl"});
  settings_.SetChannel(5, {kChannelFavourites, "second.vrl"});
  settings_.SetChannel(6, {kChannelSearchList, ""});
  CommandServer server(nullptr, &settings_, &library_);
  ASSERT_TRUE(server.StartCommandListener(0));
  ASSERT_NE(library_.favourites(), nullptr);
  EXPECT_EQ(library_.favourites()->channel(), 7) << "channel 7 is a favourites list by default";

  settings_.SetChannel(7, {kChannelPlaylist, "ch8.vrl"});
  test::WriteFileOrFail(home_.Join("second.vrl"), "");
  server.ApplyServerSettings();
  EXPECT_EQ(library_.favourites()->channel(), 5);
  EXPECT_EQ(library_.favourites()->kind(), CChannelList::kFavourites);
  EXPECT_EQ(library_.favourites()->file_name(), home_.Join("second.vrl"));
  EXPECT_EQ(library_.search_results()->channel(), 6);
  EXPECT_EQ(library_.search_results()->file_name(), home_.Join("search.vrl"));
}

TEST_F(CommandServerTest, ApplyingSettingsReloadsExtensionsTimeoutAndFolders) {
  CommandServer server(nullptr, &settings_, &library_);
  ASSERT_TRUE(server.StartCommandListener(0));
  EXPECT_TRUE(library_.video_extensions().Contains(".MP4"));
  EXPECT_FALSE(library_.video_extensions().Contains(".mkv"));
  EXPECT_EQ(server.live_timeout_ms(), 120000u);
  EXPECT_EQ(PathKind(home_.Join("trim")), kPathFolder);
  EXPECT_EQ(PathKind(home_.Join("thumbnail220")), kPathFolder);

  settings_.Update([](S_CONFIG& config) {
    config.pcExt = "mkv \"webm\"";
    config.iLiveTimeOutSec = 30;
    config.pcThumbnailPath220 = "thumbs";
  });
  server.ApplyServerSettings();
  EXPECT_TRUE(library_.video_extensions().Contains(".webm"));
  EXPECT_FALSE(library_.video_extensions().Contains(".mp4"));
  EXPECT_EQ(server.live_timeout_ms(), 30000u);
  ASSERT_NE(library_.thumbnails(), nullptr);
  EXPECT_EQ(library_.thumbnails()->settings().thumbnail_folder, home_.Join("thumbs"));
  EXPECT_TRUE(library_.thumbnails()->settings().enabled);
  EXPECT_EQ(library_.data_table()->settings().thumbnail_folder, home_.Join("thumbs"));
  EXPECT_EQ(library_.data_table()->settings().device_id, 10);
}

TEST_F(CommandServerTest, TheLogFollowsTheSettingAndEndsWithShutdown) {
  {
    CommandServer server(nullptr, &settings_, &library_);
    ASSERT_TRUE(server.StartCommandListener(0));
    EXPECT_EQ(LogText(), "") << "off by default";

    SetServerLog(1);
    server.ApplyServerSettings();
    server.status().Post(kStatusConnected, "接続中", "192.168.1.20");
    SetServerLog(0);
    server.ApplyServerSettings();
    server.status().Post(kStatusWaiting, "接続待ち", "");  // not logged: closed
    SetServerLog(1);
    server.ApplyServerSettings();
  }
  const std::string log = LogText();
  const std::regex start(
      "START           , VelmorVR Server Ver2\\.21\\(Oct 23 2022\\) : "
      "Protocol Ver220\r\n");
  EXPECT_EQ(
      std::distance(std::sregex_iterator(log.begin(), log.end(), start), std::sregex_iterator()),
      2);
  EXPECT_NE(log.find("EVENT           , code=0x0002, msg1=\"接続中\", msg2=\"192.168.1.20\"\r\n"),
            std::string::npos);
  EXPECT_EQ(log.find("code=0x0001"), std::string::npos);
  EXPECT_EQ(log.size() - log.rfind(", SHUTDOWN\r\n"), std::string(", SHUTDOWN\r\n").size());
}

TEST_F(CommandServerTest, NoShutdownLineWhenTheLogIsClosed) {
  { CommandServer server(nullptr, &settings_, &library_); }
  {
    CommandServer server(nullptr, &settings_, &library_);
    ASSERT_TRUE(server.StartCommandListener(0));
  }
  EXPECT_EQ(LogText(), "");
}

TEST_F(CommandServerTest, EndingASessionClearsTheThumbnailRequestsAndFlags) {
  CommandServer server(nullptr, &settings_, &library_);
  ASSERT_TRUE(server.StartCommandListener(0));
  server.EndSession("正常終了");
  EXPECT_FALSE(server.connected());
  EXPECT_EQ(server.peer_address(), "non");
  EXPECT_EQ(library_.thumbnails()->RequestCount(), 0u);
}

}  // namespace
}  // namespace velmor
