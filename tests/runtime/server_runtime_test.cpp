#include "runtime/server_runtime.h"

#include <gtest/gtest.h>

#include <thread>
#include "command/command_server.h"

#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
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

  test::TempFolder home_;
  S_CONFIG config_;
};

TEST_F(ServerRuntimeTest, StartBringsUpBothListenersAndShowsWaiting) {
  ServerRuntime runtime(config_);
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

TEST_F(ServerRuntimeTest, ADisconnectStopsTheRemoteAndGoesBackToWaiting) {
  config_.iUseMouse = 1;
  ServerRuntime runtime(config_);
  runtime.Start();
  Consume(&runtime);
  runtime.command_server()->status().Post(kStatusConnected, "接続中", "10.0.0.7");
  ASSERT_EQ(Consume(&runtime).size(), 1u);
  EXPECT_TRUE(runtime.mouse_remote()->active());
  EXPECT_EQ(runtime.mouse_remote()->peer_address(), "10.0.0.7");

  runtime.command_server()->status().Post(kStatusSuspended, "中断中", "10.0.0.7");
  Consume(&runtime);
  EXPECT_FALSE(runtime.mouse_remote()->control());
  runtime.command_server()->status().Post(kStatusResumed, "中断解除", "10.0.0.7");
  Consume(&runtime);
  EXPECT_TRUE(runtime.mouse_remote()->control());

  runtime.command_server()->status().Post(kStatusDisconnected, "切断(正常終了)", "10.0.0.7");
  ASSERT_EQ(Consume(&runtime).size(), 1u);
  EXPECT_FALSE(runtime.mouse_remote()->active());
  const std::vector<StatusEvent> next = Consume(&runtime);
  ASSERT_EQ(next.size(), 1u);
  EXPECT_EQ(next[0].code, kStatusWaiting);
}

TEST_F(ServerRuntimeTest, WithoutTheMouseSettingAConnectionLeavesTheRemoteOff) {
  ServerRuntime runtime(config_);
  runtime.Start();
  runtime.command_server()->status().Post(kStatusConnected, "接続中", "10.0.0.7");
  Consume(&runtime);
  EXPECT_FALSE(runtime.mouse_remote()->active());
}

TEST_F(ServerRuntimeTest, ABusyCommandLockSkipsTheTurn) {
  ServerRuntime runtime(config_);
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
