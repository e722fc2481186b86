// A server running in process, with its home in a temporary folder and a
// player client admitted to it: the base of the end-to-end tests of the
// command port and of the command-line player.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "player_client.h"
#include "runtime/server_runtime.h"
#include "test_support.h"

namespace velmor::test {

inline constexpr uint32_t kServerWaitMs = 10000;

// One command's answer: its result line and result slots.
struct CommandAnswer {
  bool ok = false;
  int64_t code = 0;
  std::string message;
  std::vector<player::ResultSlot> slots;

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& slot : slots) texts.push_back(slot.text);
    return texts;
  }
};

class RunningServerTest : public ::testing::Test {
 protected:
  // The settings' defaults in a fresh home, with any free ports. A derived
  // fixture changes settings after this and before starting.
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(settings().Load());
    runtime_.AllowAnyFreePort();
    settings().Update([](S_CONFIG& config) {
      config.iPortServer = 0;
      config.iPortHttp = 0;
    });
  }

  // The running server's settings.
  Settings& settings() { return runtime_.settings(); }

  // The servers stop before a derived fixture's folders go away.
  void TearDown() override {
    client_.Close();
    runtime_.Shutdown();
  }

  // Starts the servers and admits the client.
  void StartServer() {
    StartRuntime();
    Connect(&client_);
  }

  // Starts the servers without a client.
  void StartRuntime() { runtime_.Start(); }

  // Connects a client to the running servers and has it admitted.
  void Connect(player::PlayerClient* client) {
    std::string error;
    ASSERT_TRUE(client->Connect(platform::Ipv4Address::Loopback(),
                                runtime_.command_server()->port(), kServerWaitMs, &error))
        << error;
    client->set_timeout_ms(kServerWaitMs);
    ASSERT_TRUE(client->Handshake({}).Admitted());
  }

  CommandAnswer Run(const std::string& name, std::vector<std::string> fields = {}) {
    const player::Reply reply = client_.ExchangeCommand({name, std::move(fields)});
    CommandAnswer answer;
    EXPECT_TRUE(reply.complete()) << reply.error;
    if (reply.results.empty()) return answer;
    answer.ok = reply.results.back().ok;
    answer.code = reply.results.back().code;
    answer.message = reply.results.back().message;
    for (const player::Chunk& chunk : reply.chunks) {
      if (chunk.code != "RTMS") continue;
      const auto slot = player::DecodeResultSlot(chunk.payload, nullptr);
      EXPECT_TRUE(slot.has_value());
      if (slot) answer.slots.push_back(*slot);
    }
    return answer;
  }

  // One turn of the host's event consumer; the events it showed.
  std::vector<StatusEvent> Consume() {
    std::vector<StatusEvent> shown;
    while (!runtime_.ConsumeStatusEvent([&](const StatusEvent& e) { shown.push_back(e); })) {
    }
    return shown;
  }

  TempFolder home_;
  ServerRuntime runtime_;
  player::PlayerClient client_;
};

}  // namespace velmor::test
