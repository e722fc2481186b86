// The command session end to end: a real listener on 127.0.0.1 and the
// player client, with the session's clock driven by the test.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/server_log.h"
#include "core/settings.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "player_client.h"
#include "test_support.h"

namespace velmor {
namespace {

constexpr uint32_t kWaitMs = 10000;
constexpr char kSetup[] = "#CMD_SETUP(<protocol_ver>220,<copyright>\"Copyright (C) VelmorVR\")";

std::atomic<uint32_t> g_now{1000000};
uint32_t FakeClock() { return g_now.load(); }

std::vector<std::string> Texts(const player::Reply& reply) {
  std::vector<std::string> texts;
  for (const player::Chunk& chunk : reply.chunks) {
    EXPECT_EQ(chunk.code, "STRG");
    const std::optional<std::string> text = player::DecodeWireText(chunk.payload, nullptr);
    EXPECT_TRUE(text.has_value());
    texts.push_back(text.value_or(""));
  }
  return texts;
}

std::string LastText(const player::Reply& reply) {
  const std::vector<std::string> texts = Texts(reply);
  return texts.empty() ? std::string("<no reply: ") + reply.error + ">" : texts.back();
}

// Reads packets from a raw connection until `count` result lines arrived.
std::vector<std::string> ReadResultLines(platform::Socket* raw, size_t count) {
  std::string received;
  std::vector<std::string> results;
  const uint32_t start = platform::TickCount();
  while (results.size() < count && platform::TickDiff(platform::TickCount(), start) < 10000) {
    char buffer[65536];
    raw->WaitReadable(100);
    platform::SocketError error;
    const int64_t n = raw->Receive(buffer, sizeof buffer, &error);
    if (n == 0) break;
    if (n > 0) received.append(buffer, static_cast<size_t>(n));
    for (;;) {
      const player::Frame frame = player::FramePacket(received);
      if (frame.state != player::FrameState::kComplete) break;
      const auto chunks = player::SplitChunks(
          std::string_view(received).substr(8, frame.packet_bytes - 8), nullptr);
      for (const player::Chunk& chunk : chunks.value_or(std::vector<player::Chunk>())) {
        const std::string text = player::DecodeWireText(chunk.payload, nullptr).value_or("");
        if (text.rfind("#RET_OK", 0) == 0 || text.rfind("#RET_ERR", 0) == 0) {
          results.push_back(text);
        }
      }
      received.erase(0, frame.packet_bytes);
    }
  }
  return results;
}

std::string Header(const char* code, int32_t length) {
  std::string bytes(code, 4);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  return bytes;
}

bool SendAll(platform::Socket* raw, const std::string& bytes) {
  platform::SocketError error;
  return raw->Send(bytes.data(), bytes.size(), &error) == static_cast<int64_t>(bytes.size());
}

class CommandSession : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(settings_.Load());
    g_now = 1000000;
  }

  void StartServer() {
    server_ = std::make_unique<CommandServer>(nullptr, &settings_, &library_, &FakeClock);
    ASSERT_TRUE(server_->StartCommandListener(0));
  }

  std::unique_ptr<player::PlayerClient> Connect() {
    auto client = std::make_unique<player::PlayerClient>();
    std::string error;
    EXPECT_TRUE(
        client->Connect(platform::Ipv4Address::Loopback(), server_->port(), kWaitMs, &error))
        << error;
    client->set_timeout_ms(kWaitMs);
    return client;
  }

  // Waits until the session has ended and gives the event it left.
  StatusEvent WaitForSessionEnd() {
    for (int i = 0; i < 2000; ++i) {
      StatusEvent event;
      if (server_->status().Take(&event) && event.code == kStatusDisconnected) return event;
      platform::SleepMs(5);
    }
    ADD_FAILURE() << "the session did not end";
    return {};
  }

  // True when the server closed the connection (a receive gives 0).
  static bool ClosedByServer(player::PlayerClient* client) {
    std::string error;
    return !client->ReceivePacket(kWaitMs, &error).has_value();
  }

  test::TempFolder home_;
  Settings settings_;
  LibraryContext library_;  // declared first: the server releases it
  std::unique_ptr<CommandServer> server_;
};

TEST_F(CommandSession, HandshakeRepliesArriveInOrderInOnePacket) {
  StartServer();
  auto client = Connect();
  const player::Reply reply = client->ExchangeText(kSetup);
  ASSERT_TRUE(reply.complete()) << reply.error;
  EXPECT_EQ(reply.packets, 1);
  const std::vector<std::string> texts = Texts(reply);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0].rfind("#RET_VERSION(<protocol_ver>220,<app_ver>\"2.21\"", 0), 0u);
  EXPECT_EQ(texts[1].rfind("#RET_CH_NAME(<type.0>1,<name.0>\"VRデバイス\"", 0), 0u);
  EXPECT_EQ(texts[2], "#RET_USE_MOUSE(<on>0,<scale>100,<port>11923)");
  EXPECT_EQ(texts[3], "#RET_USE_HTTP(<port>11921)");
  EXPECT_EQ(texts[4], "#RET_OK()");
  EXPECT_TRUE(server_->authenticated());
}

TEST_F(CommandSession, RefusedSetupsAnswerWithTheirCodes) {
  StartServer();
  auto client = Connect();
  EXPECT_EQ(LastText(client->ExchangeText("#CMD_SETUP(<copyright>\"Copyright (C) VelmorVR\")")),
            "#RET_ERR(<code>529,<message>"
            "\"クライアント側（アプリケーション）の通信バージョンが古い(0)\")");
  EXPECT_EQ(LastText(client->ExchangeText(
                "#CMD_SETUP(<protocol_ver>219,<copyright>\"Copyright (C) VelmorVR\")")),
            "#RET_ERR(<code>529,<message>"
            "\"クライアント側（アプリケーション）の通信バージョンが古い(219)\")");
  EXPECT_EQ(LastText(client->ExchangeText("#CMD_SETUP(<protocol_ver>220,<copyright>\"x\")")),
            "#RET_ERR(<code>530,<message>"
            "\"クライアント側（アプリケーション）のコピーライトが合わない\")");
  EXPECT_FALSE(server_->authenticated());
  // The player may try again on the same connection.
  EXPECT_EQ(LastText(client->ExchangeText(kSetup)), "#RET_OK()");
}

TEST_F(CommandSession, CommandsBeforeTheHandshakeAreRefused) {
  StartServer();
  auto client = Connect();
  const player::Reply reply = client->ExchangeCommand({"CM_GET_HTTP_STREAM", {}});
  ASSERT_EQ(reply.results.size(), 1u);
  EXPECT_FALSE(reply.results[0].ok);
  EXPECT_EQ(LastText(client->ExchangeText("#CMD_GET_CHANNEL(<ch>1)")).rfind("#RET_ERR(", 0), 0u);
  EXPECT_EQ(LastText(client->ExchangeText("#CMD_UNKNOWN()")).rfind("#RET_ERR(", 0), 0u);
}

TEST_F(CommandSession, EveryChunkGetsItsOwnReplyPacket) {
  StartServer();
  auto client = Connect();
  const player::Reply reply =
      client->Exchange({player::MakeTextChunk(kSetup), player::MakeTextChunk("#CMD_NOPE()")});
  ASSERT_TRUE(reply.complete()) << reply.error;
  EXPECT_EQ(reply.packets, 2);
  ASSERT_EQ(reply.results.size(), 2u);
  EXPECT_TRUE(reply.results[0].ok);
  EXPECT_FALSE(reply.results[1].ok);
}

TEST_F(CommandSession, SplitAndJoinedPacketsAreFramed) {
  StartServer();
  platform::Socket raw;
  ASSERT_TRUE(raw.ConnectTcp(platform::Ipv4Address::Loopback(), server_->port(), kWaitMs));
  const std::string setup = player::EncodePacket({player::MakeTextChunk(kSetup)});
  const std::string bad = player::EncodePacket({player::MakeTextChunk("#CMD_BAD()")});
  // One packet a byte at a time, then two packets in one send.
  platform::SocketError error;
  for (char byte : setup) ASSERT_EQ(raw.Send(&byte, 1, &error), 1);
  const std::string two = bad + setup;
  ASSERT_EQ(raw.Send(two.data(), two.size(), &error), static_cast<int64_t>(two.size()));

  const std::vector<std::string> results = ReadResultLines(&raw, 3);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0], "#RET_OK()");
  EXPECT_EQ(results[1].rfind("#RET_ERR(", 0), 0u);
  EXPECT_EQ(results[2], "#RET_OK()");
}

TEST_F(CommandSession, PasswordLockOutLastsThirtySecondsAcrossConnections) {
  settings_.Update([](S_CONFIG& config) {
    config.iUsePassword = 1;
    config.pcPassword = "1234";
  });
  StartServer();
  auto client = Connect();
  player::Reply reply = client->ExchangeText(kSetup);
  std::vector<std::string> texts = Texts(reply);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[4], "#RET_REQUEST_PASSWORD()");
  EXPECT_FALSE(server_->authenticated());

  EXPECT_EQ(LastText(client->ExchangeText("#CMD_PASSWORD(<pass>\"4321\")")),
            "#RET_ERR(<code>545,<message>\"パスワードが一致しません\")");
  // The same lock-out holds on a new connection.
  client.reset();
  WaitForSessionEnd();
  client = Connect();
  ASSERT_EQ(LastText(client->ExchangeText(kSetup)), "#RET_OK()");
  g_now += 10000;
  EXPECT_EQ(LastText(client->ExchangeText("#CMD_PASSWORD(<pass>\"1234\")")),
            "#RET_ERR(<code>546,<message>\"パスワードタイム\")");
  EXPECT_EQ(LastText(client->ExchangeCommand({"CM_GET_HTTP_STREAM", {}})).rfind("#RET_ERR(", 0),
            0u);
  g_now += 20000;
  EXPECT_EQ(LastText(client->ExchangeText("#CMD_PASSWORD(<pass>\"1234\")")), "#RET_OK()");
  EXPECT_TRUE(server_->authenticated());
  // An admitted session is not asked again.
  EXPECT_EQ(Texts(client->ExchangeText(kSetup)).size(), 5u);
}

TEST_F(CommandSession, ASilentPlayerIsDroppedAfterTheTimeOut) {
  StartServer();
  auto client = Connect();
  ASSERT_EQ(LastText(client->ExchangeText(kSetup)), "#RET_OK()");
  g_now += 119999;
  // Not yet: the next command still gets an answer, and counts as activity.
  ASSERT_EQ(LastText(client->ExchangeText(kSetup)), "#RET_OK()");
  // The server notes its last send just after the player has the answer,
  // so the clock moves on until the session ends.
  StatusEvent event;
  for (int i = 0; i < 200 && event.code != kStatusDisconnected; ++i) {
    g_now += 121500;
    for (int j = 0; j < 20; ++j) {
      if (server_->status().Take(&event) && event.code == kStatusDisconnected) break;
      platform::SleepMs(5);
    }
  }
  ASSERT_EQ(event.code, kStatusDisconnected);
  EXPECT_EQ(event.first_text, "切断(無通信:121秒)");
  EXPECT_EQ(event.second_text, "127.0.0.1");
  EXPECT_TRUE(ClosedByServer(client.get()));
  EXPECT_FALSE(server_->connected());
}

TEST_F(CommandSession, AConnectionNeverAdmittedLosesTheSlotAtTheDeadline) {
  StartServer();
  // A peer that sends one framed packet of junk now and then, never a
  // handshake: before admission that is no sign of life.
  platform::Socket hostage;
  ASSERT_TRUE(hostage.ConnectTcp(platform::Ipv4Address::Loopback(), server_->port(), kWaitMs));
  const std::string junk = Header("PACK", 8) + Header("JUNK", 0);
  ASSERT_TRUE(SendAll(&hostage, junk));
  ASSERT_EQ(ReadResultLines(&hostage, 1).size(), 1u);
  auto player = Connect();
  std::string error;
  ASSERT_TRUE(player->SendPacket({player::MakeTextChunk(kSetup)}, &error)) << error;
  g_now += 9000;
  ASSERT_TRUE(SendAll(&hostage, junk));
  ASSERT_EQ(ReadResultLines(&hostage, 1).size(), 1u) << "still served before the deadline";
  g_now += 1000;
  // The hostage is let go and the waiting player answered at once.
  EXPECT_TRUE(ReadResultLines(&hostage, 1).empty());
  const std::optional<std::vector<player::Chunk>> answer = player->ReceivePacket(kWaitMs, &error);
  ASSERT_TRUE(answer.has_value()) << error;
  player::Reply reply;
  reply.chunks = *answer;
  EXPECT_EQ(LastText(reply), "#RET_OK()");
  EXPECT_TRUE(server_->authenticated());
}

TEST_F(CommandSession, ASecondPlayerIsServedWhenTheFirstLeaves) {
  StartServer();
  auto first = Connect();
  ASSERT_EQ(LastText(first->ExchangeText(kSetup)), "#RET_OK()");
  auto second = Connect();
  std::string error;
  ASSERT_TRUE(second->SendPacket({player::MakeTextChunk(kSetup)}, &error)) << error;
  EXPECT_FALSE(second->ReceivePacket(300, &error).has_value()) << "served while the first stays";
  first.reset();
  const std::optional<std::vector<player::Chunk>> answer = second->ReceivePacket(kWaitMs, &error);
  ASSERT_TRUE(answer.has_value()) << error;
  ASSERT_FALSE(answer->empty());
}

TEST_F(CommandSession, ForcedDisconnectEndsTheSession) {
  StartServer();
  auto client = Connect();
  ASSERT_EQ(LastText(client->ExchangeText(kSetup)), "#RET_OK()");
  server_->RequestForcedDisconnect();
  EXPECT_EQ(WaitForSessionEnd().first_text, "切断(強制切断)");
  EXPECT_TRUE(ClosedByServer(client.get()));
}

TEST_F(CommandSession, ThePlayerClosingIsANormalEnd) {
  StartServer();
  auto client = Connect();
  ASSERT_EQ(LastText(client->ExchangeText(kSetup)), "#RET_OK()");
  client.reset();
  EXPECT_EQ(WaitForSessionEnd().first_text, "切断(正常終了)");
  EXPECT_FALSE(server_->authenticated());
}

// Sends raw bytes as a player and expects the server to hang up.
void ExpectHangUp(CommandServer* server, const std::string& bytes) {
  platform::Socket raw;
  ASSERT_TRUE(raw.ConnectTcp(platform::Ipv4Address::Loopback(), server->port(), kWaitMs));
  ASSERT_TRUE(SendAll(&raw, bytes));
  platform::SocketError error;
  char buffer[256];
  int64_t n = 1;
  for (int i = 0; i < 100 && n != 0; ++i) {
    raw.WaitReadable(100);
    n = raw.Receive(buffer, sizeof buffer, &error);
    if (n < 0 && error != platform::kSocketWouldBlock) n = 0;
  }
  EXPECT_EQ(n, 0) << "the server keeps a connection it can never read again";
}

void ExpectNextServed(CommandServer* server) {
  player::PlayerClient next;
  std::string message;
  ASSERT_TRUE(next.Connect(platform::Ipv4Address::Loopback(), server->port(), kWaitMs, &message));
  EXPECT_EQ(LastText(next.ExchangeText(kSetup)), "#RET_OK()");
}

void ExpectHangUpThenNextServed(CommandServer* server, const std::string& bytes) {
  ExpectHangUp(server, bytes);
  ExpectNextServed(server);
}

TEST_F(CommandSession, GarbageEndsTheSessionSaysWhyAndFreesThePort) {
  settings_.Update([](S_CONFIG& config) { config.iServerLog = 1; });
  StartServer();
  ExpectHangUp(server_.get(), "GET / HTTP/1.1\r\n\r\n");
  // The disconnection is what the user sees; it names the fatal error.
  const StatusEvent event = WaitForSessionEnd();
  EXPECT_EQ(event.first_text, "切断(不正なパケット: GetHeader() : ForeCC'PACK'が一致しない)");
  EXPECT_EQ(event.second_text, "127.0.0.1");
  ExpectNextServed(server_.get());
  server_.reset();
  const std::string log = test::ReadFileOrEmpty(ServerLog::DefaultPath());
  for (const char* line : {
           "EVENT           , code=0x0201, msg1=\"致命的なエラー\", "
           "msg2=\"GetHeader() : ForeCC'PACK'が一致しない\"\r\n",
           "EVENT           , code=0x0003, "
           "msg1=\"切断(不正なパケット: GetHeader() : ForeCC'PACK'が一致しない)\", "
           "msg2=\"127.0.0.1\"\r\n",
       }) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\nnot in:\n" << log;
  }
}

TEST_F(CommandSession, ANegativePacketLengthEndsTheSession) {
  StartServer();
  ExpectHangUpThenNextServed(server_.get(), Header("PACK", -8) + std::string(16, 'x'));
}

TEST_F(CommandSession, APacketLongerThanTheBufferEndsTheSession) {
  StartServer();
  ExpectHangUpThenNextServed(server_.get(), Header("PACK", 2000000));
}

TEST_F(CommandSession, AChunkRunningPastItsPacketIsRefused) {
  StartServer();
  platform::Socket raw;
  ASSERT_TRUE(raw.ConnectTcp(platform::Ipv4Address::Loopback(), server_->port(), kWaitMs));
  const std::string setup = player::EncodePacket({player::MakeTextChunk(kSetup)});
  const std::string body = setup.substr(8) + Header("STRG", 1000) + "ab";
  ASSERT_TRUE(SendAll(&raw, Header("PACK", static_cast<int32_t>(body.size())) + body));
  // The good chunk before it is served, the broken one refused.
  const std::vector<std::string> results = ReadResultLines(&raw, 2);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0], "#RET_OK()");
  EXPECT_EQ(results[1].rfind("#RET_ERR(", 0), 0u);
  // The session goes on with the next packet.
  ASSERT_TRUE(SendAll(&raw, setup));
  EXPECT_EQ(ReadResultLines(&raw, 1), std::vector<std::string>{"#RET_OK()"});
}

TEST_F(CommandSession, AnEmptyPacketGetsNoReply) {
  StartServer();
  platform::Socket raw;
  ASSERT_TRUE(raw.ConnectTcp(platform::Ipv4Address::Loopback(), server_->port(), kWaitMs));
  ASSERT_TRUE(
      SendAll(&raw, Header("PACK", 0) + player::EncodePacket({player::MakeTextChunk(kSetup)})));
  EXPECT_EQ(ReadResultLines(&raw, 1), std::vector<std::string>{"#RET_OK()"});
}

}  // namespace
}  // namespace velmor
