#include "runtime/server_runtime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "mouse_remote_support.h"
#include "platform/event.h"
#include "remote/mouse_remote.h"
#include "stream/stream_server.h"
#include "test_support.h"

namespace velmor {
namespace {

class ServerRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    Settings settings;
    ASSERT_TRUE(settings.Load());
    config_ = settings.Copy();
    config_.iPortServer = 0;  // any free port
    config_.iPortHttp = 0;
  }

  std::vector<StatusEvent> Consume(ServerRuntime* runtime) {
    std::vector<StatusEvent> shown;
    while (!runtime->ConsumeStatusEvent([&](const StatusEvent& e) { shown.push_back(e); })) {
    }
    return shown;
  }

  // Starts the runtime with these mouse remote parts (a stand-in capture
  // library unless they name one), then a player at `address` connects.
  void StartAndConnect(ServerRuntime* runtime, MouseRemoteParts parts, const char* address) {
    if (!parts.capture) parts.capture = std::make_shared<test::FakeMouseCapture>();
    runtime->SetMouseRemoteParts(parts);
    runtime->Start();
    Consume(runtime);
    runtime->command_server()->status().Post(kStatusConnected, "接続中", address);
  }

  test::TempFolder home_;
  S_CONFIG config_;
};

TEST_F(ServerRuntimeTest, StartBringsUpBothListenersAndShowsWaiting) {
  ServerRuntime runtime(config_);
  runtime.AllowAnyFreePort();
  runtime.Start();
  ASSERT_NE(runtime.command_server(), nullptr);
  EXPECT_TRUE(runtime.command_server()->listening());
  EXPECT_TRUE(runtime.stream_server()->listening());
  EXPECT_NE(runtime.mouse_remote(), nullptr);
  const std::vector<StatusEvent> shown = Consume(&runtime);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].code, kStatusWaiting);
  runtime.Shutdown();
  EXPECT_EQ(runtime.command_server(), nullptr);
}

// Ports typed as 0 or above 65535 in the settings dialog: 70000 would open
// port 4464 and 0 some free port; neither opens, and the status bar says so.
TEST_F(ServerRuntimeTest, APortOutsideTheRangeStaysClosedAndTheUserIsTold) {
  config_.iPortHttp = 70000;
  config_.iPortMouse = -1;
  ServerRuntime runtime(config_);  // port 0 is not any free port here
  runtime.Start();
  EXPECT_FALSE(runtime.command_server()->listening());
  EXPECT_FALSE(runtime.stream_server()->listening());
  const std::vector<StatusEvent> shown = Consume(&runtime);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].code, kStatusPortUnusable);
  EXPECT_EQ(shown[0].first_text, "ポートを開けません: コマンド 0, 動画用 70000, マウス -1");
  EXPECT_TRUE(PortUsable(1, false) && PortUsable(65535, false) && PortUsable(0, true));
}

TEST_F(ServerRuntimeTest, ADisconnectStopsTheRemoteAndGoesBackToWaiting) {
  test::DatagramReceiver player;
  config_.iUseMouse = 1;
  config_.iPortMouse = player.port();
  ServerRuntime runtime(config_);
  runtime.AllowAnyFreePort();
  StartAndConnect(&runtime, {}, "127.0.0.1");
  ASSERT_EQ(Consume(&runtime).size(), 1u);
  EXPECT_TRUE(runtime.mouse_remote()->running());
  EXPECT_EQ(runtime.mouse_remote()->peer_address(), "127.0.0.1");
  EXPECT_EQ(test::MouseFields(player.Next())["ct"], 0) << "the player gets the datagrams";

  runtime.command_server()->status().Post(kStatusSuspended, "中断中", "127.0.0.1");
  Consume(&runtime);
  EXPECT_FALSE(runtime.mouse_remote()->capturing());
  runtime.command_server()->status().Post(kStatusResumed, "中断解除", "127.0.0.1");
  Consume(&runtime);
  EXPECT_TRUE(runtime.mouse_remote()->capturing());

  runtime.command_server()->status().Post(kStatusDisconnected, "切断(正常終了)", "127.0.0.1");
  ASSERT_EQ(Consume(&runtime).size(), 1u);
  EXPECT_FALSE(runtime.mouse_remote()->running());
  const std::vector<StatusEvent> next = Consume(&runtime);
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].code, kStatusWaiting);
}

TEST_F(ServerRuntimeTest, TheRemoteStartsOnlyWithACaptureLibraryAndAnAddress) {
  config_.iUseMouse = 1;
  {
    // This build's capture library: where it cannot capture here, the
    // remote stays off; where it can, the connected player gets the mouse.
    const bool can_capture = test::ProductLibraryCanCapture();
    ServerRuntime runtime(config_);
    runtime.AllowAnyFreePort();
    runtime.Start();
    Consume(&runtime);
    runtime.command_server()->status().Post(kStatusConnected, "接続中", "127.0.0.1");
    Consume(&runtime);
    EXPECT_EQ(runtime.mouse_remote()->EnableState(),
              can_capture ? MouseRemote::kCapturing : MouseRemote::kNotRunning);
  }
  ServerRuntime runtime(config_);
  runtime.AllowAnyFreePort();
  StartAndConnect(&runtime, {}, "");
  Consume(&runtime);
  EXPECT_EQ(runtime.mouse_remote()->EnableState(), MouseRemote::kNotRunning) << "no session";
}

TEST_F(ServerRuntimeTest, HoldingBothButtonsRunsTheForcedDisconnect) {
  test::DatagramReceiver player;
  config_.iUseMouse = 1;
  config_.iPortMouse = player.port();
  ServerRuntime runtime(config_);
  runtime.AllowAnyFreePort();
  auto capture = std::make_shared<test::FakeMouseCapture>();
  std::atomic<uint32_t> now{0};
  MouseRemoteParts parts;
  parts.capture = capture;
  parts.clock = [&now] { return now.load(); };
  std::vector<int> commands;
  runtime.SetWindowCommandHandler([&](int command) { commands.push_back(command); });
  StartAndConnect(&runtime, parts, "127.0.0.1");
  Consume(&runtime);
  capture->SetButtons(1, 1, 0);
  // Wait for a datagram taken after each change of the clock.
  auto settle = [&] {
    const int64_t after = capture->gets_since_create() + 1;
    for (;;) {
      const std::string text = player.Next();
      ASSERT_FALSE(text.empty()) << "no datagram";
      if (test::MouseFields(text)["ct"] >= after) return;
    }
  };
  settle();
  now = MouseRemote::kBothButtonsHoldMs;
  settle();
  Consume(&runtime);
  EXPECT_EQ(commands, std::vector<int>{kWindowCommandForcedDisconnect});
  runtime.Shutdown();
}

TEST_F(ServerRuntimeTest, WithoutTheMouseSettingAConnectionLeavesTheRemoteOff) {
  ServerRuntime runtime(config_);
  runtime.AllowAnyFreePort();
  runtime.Start();
  runtime.command_server()->status().Post(kStatusConnected, "接続中", "10.0.0.7");
  Consume(&runtime);
  EXPECT_FALSE(runtime.mouse_remote()->running());
}

TEST_F(ServerRuntimeTest, ABusyCommandLockSkipsTheTurn) {
  ServerRuntime runtime(config_);
  runtime.AllowAnyFreePort();
  runtime.Start();
  std::recursive_mutex& lock = runtime.command_server()->lock();
  platform::ManualResetEvent held;
  platform::ManualResetEvent done;
  std::thread holder([&] {
    std::lock_guard<std::recursive_mutex> guard(lock);
    held.Set();
    done.Wait(60000);
  });
  ASSERT_TRUE(held.Wait(60000));
  EXPECT_FALSE(runtime.ConsumeStatusEvent(nullptr));
  done.Set();
  holder.join();
  EXPECT_TRUE(runtime.ConsumeStatusEvent(nullptr));
}

}  // namespace
}  // namespace velmor
