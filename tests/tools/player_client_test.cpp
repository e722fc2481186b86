#include "player_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_peer.h"

namespace velmor::player {
namespace {

using test::FakePeer;
using test::PeerConnection;
using test::TextOf;

Chunk Slot(uint16_t slot, int64_t value, const std::string& text) {
  std::string payload;
  payload.push_back(static_cast<char>(slot & 0xFF));
  payload.push_back(static_cast<char>(slot >> 8));
  for (int i = 0; i < 8; ++i) payload.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  const std::string bytes = EncodeWireText(text);
  payload.push_back(static_cast<char>(bytes.size() & 0xFF));
  payload.push_back(static_cast<char>(bytes.size() >> 8));
  return Chunk{"RTMS", payload + bytes};
}

Chunk Ok() { return MakeTextChunk("#RET_OK()"); }
Chunk Err(int code, const std::string& message) {
  return MakeTextChunk("#RET_ERR(<code>" + std::to_string(code) + ",<message>\"" + message + "\")");
}

Command HttpStreamCommand() { return {"CM_GET_HTTP_STREAM", {}}; }

class ExchangeTest : public testing::Test {
 protected:
  void Connect(const FakePeer& peer) {
    std::string error;
    ASSERT_TRUE(client_.Connect(platform::Ipv4Address::Loopback(), peer.port(), 10000, &error))
        << error;
  }

  PlayerClient client_;
};

TEST(CountCommandChunksTest, UploadPiecesShareTheirCommandsResultLine) {
  const Chunk data{"DATA", "xyz"};
  EXPECT_EQ(CountCommandChunks({}), 0u);
  EXPECT_EQ(CountCommandChunks({Chunk{"MKTH", ""}, data, data}), 1u);
  EXPECT_EQ(CountCommandChunks({MakeTextChunk("#CMD_SAVE_CHANNEL(<ch>7)"),
                                MakeTextChunk("#DAT_SAVE_CHANNEL(<fs>1,<path>\"/a\")"),
                                MakeTextChunk("#DAT_END(<no>1)")}),
            1u);
  EXPECT_EQ(CountCommandChunks({MakeTextChunk("#CMD_SETUP()"), Chunk{"MSGE", ""}}), 2u);
}

TEST(CommandTextTest, FormatsTheHandshakeAndRefusesQuotes) {
  EXPECT_EQ(SetupCommandText(220, "Copyright (C) VelmorVR", nullptr),
            "#CMD_SETUP(<protocol_ver>220,<copyright>\"Copyright (C) VelmorVR\")");
  EXPECT_EQ(PasswordCommandText("pa ss", nullptr), "#CMD_PASSWORD(<pass>\"pa ss\")");
  std::string error;
  EXPECT_FALSE(PasswordCommandText("a\"b", &error));
  EXPECT_NE(error.find("double quote"), std::string::npos);
  EXPECT_FALSE(SetupCommandText(220, "\"", nullptr));
}

TEST(ParseIpv4Test, AcceptsDottedQuadsAndLocalhost) {
  EXPECT_EQ(ParseIpv4("192.168.1.20")->ToString(), "192.168.1.20");
  EXPECT_EQ(ParseIpv4("localhost")->ToString(), "127.0.0.1");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "a.b.c.d", "1.2.3.4 ",
                          "0001.2.3.4", "example.com"}) {
    EXPECT_FALSE(ParseIpv4(bad)) << bad;
  }
}

TEST_F(ExchangeTest, TwoChunksGetTwoReplyPacketsAndTwoResults) {
  std::vector<Chunk> received;
  FakePeer peer([&](PeerConnection& connection) {
    received = connection.ReceivePacket().value_or(std::vector<Chunk>{});
    connection.SendPacket({MakeTextChunk("#RET_VERSION(<protocol_ver>220)"), Ok()});
    connection.SendPacket({Slot(0, 5, ""), Err(2, "127.0.0.1")});
    connection.WaitForClose();
  });
  Connect(peer);
  const std::vector<Chunk> request = {MakeTextChunk("#CMD_SETUP(<protocol_ver>220)"),
                                      *MakeCommandChunk(HttpStreamCommand(), nullptr)};
  const Reply reply = client_.Exchange(request);
  client_.Close();
  peer.Join();

  EXPECT_EQ(received, request);
  ASSERT_TRUE(reply.complete()) << reply.error;
  EXPECT_EQ(reply.packets, 2);
  ASSERT_EQ(reply.chunks.size(), 4u);
  EXPECT_EQ(reply.chunks[2].code, "RTMS");
  ASSERT_EQ(reply.results.size(), 2u);
  EXPECT_TRUE(reply.results[0].ok);
  EXPECT_FALSE(reply.results[1].ok);
  EXPECT_EQ(reply.results[1].code, 2);
  EXPECT_EQ(reply.results[1].message, "127.0.0.1");
  EXPECT_FALSE(reply.LastOk());
}

TEST_F(ExchangeTest, CollectsAReplySpreadOverPacketsAndSplitReceives) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceivePacket();
    // The first packet arrives a byte at a time, the rest of the answer and
    // the next exchange's answer in one piece.
    connection.TricklePacket({Slot(0, 1, "a"), Slot(1, 2, "b")});
    connection.Send(EncodePacket({Slot(2, 3, "c"), Ok()}) + EncodePacket({Err(0, "")}));
    connection.ReceivePacket();
    connection.WaitForClose();
  });
  Connect(peer);
  const Reply first = client_.ExchangeCommand(HttpStreamCommand());
  const Reply second = client_.ExchangeCommand(HttpStreamCommand());
  client_.Close();
  peer.Join();

  ASSERT_TRUE(first.complete()) << first.error;
  EXPECT_EQ(first.packets, 2);
  ASSERT_EQ(first.chunks.size(), 4u);
  EXPECT_EQ(first.chunks[1], Slot(1, 2, "b"));
  EXPECT_TRUE(first.LastOk());
  ASSERT_TRUE(second.complete()) << second.error;
  ASSERT_EQ(second.results.size(), 1u);
  EXPECT_FALSE(second.results[0].ok);
}

TEST_F(ExchangeTest, ReportsAClosedConnectionAndKeepsWhatArrived) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceivePacket();
    connection.SendPacket({Slot(0, 1, "")});
    connection.Close();
  });
  Connect(peer);
  const Reply reply = client_.ExchangeCommand(HttpStreamCommand());
  EXPECT_FALSE(reply.complete());
  EXPECT_NE(reply.error.find("closed"), std::string::npos) << reply.error;
  EXPECT_EQ(reply.chunks.size(), 1u);
  EXPECT_FALSE(reply.LastOk());
}

TEST_F(ExchangeTest, GivesUpWhenTheResultLineNeverComes) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceivePacket();
    connection.SendPacket({Slot(0, 1, "")});
    connection.WaitForClose();
  });
  Connect(peer);
  client_.set_timeout_ms(200);
  const Reply reply = client_.ExchangeCommand(HttpStreamCommand());
  client_.Close();
  EXPECT_NE(reply.error.find("timed out"), std::string::npos) << reply.error;
  EXPECT_NE(reply.error.find("0 of 1"), std::string::npos) << reply.error;
}

TEST_F(ExchangeTest, RefusesGarbageInsteadOfPackets) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceivePacket();
    connection.Send("HTTP/1.1 400 Bad Request\r\n\r\n");
    connection.WaitForClose();
  });
  Connect(peer);
  const Reply reply = client_.ExchangeCommand(HttpStreamCommand());
  EXPECT_NE(reply.error.find("PACK"), std::string::npos) << reply.error;
  EXPECT_FALSE(client_.IsConnected());
}

TEST_F(ExchangeTest, RefusesAChunkRunningPastItsPacket) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceivePacket();
    connection.Send(test::Hex("50 41 43 4B 0A 00 00 00  53 54 52 47 10 00 00 00 00 00"));
    connection.WaitForClose();
  });
  Connect(peer);
  const Reply reply = client_.ExchangeCommand(HttpStreamCommand());
  client_.Close();
  EXPECT_NE(reply.error.find("runs past"), std::string::npos) << reply.error;
}

TEST_F(ExchangeTest, FlagsChunksAfterTheLastResultLine) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceivePacket();
    connection.SendPacket({Ok(), Slot(0, 1, "")});
    connection.WaitForClose();
  });
  Connect(peer);
  const Reply reply = client_.ExchangeCommand(HttpStreamCommand());
  client_.Close();
  EXPECT_NE(reply.error.find("follow the last result line"), std::string::npos) << reply.error;
  EXPECT_EQ(reply.chunks.size(), 2u);
}

TEST_F(ExchangeTest, RefusesAPacketTheServerCouldNeverReceive) {
  FakePeer peer([&](PeerConnection& connection) { connection.WaitForClose(); });
  Connect(peer);
  const Reply reply = client_.Exchange({Chunk{"DATA", std::string(kMaxPacketBytes, 'x')}});
  client_.Close();
  EXPECT_NE(reply.error.find("exceeds"), std::string::npos) << reply.error;
}

// The handshake as the server answers it, with or without a password.
void ServeHandshake(PeerConnection& connection, bool ask_password, std::vector<std::string>* seen) {
  auto setup = connection.ReceivePacket();
  if (!setup || setup->empty()) return;
  seen->push_back(TextOf(setup->front()));
  std::vector<Chunk> answer = {MakeTextChunk("#RET_VERSION(<protocol_ver>220,<app_ver>\"2.21\")"),
                               MakeTextChunk("#RET_USE_MOUSE(<on>0,<scale>100,<port>11923)"),
                               MakeTextChunk("#RET_USE_HTTP(<port>11921)")};
  if (ask_password) answer.push_back(MakeTextChunk("#RET_REQUEST_PASSWORD()"));
  answer.push_back(Ok());
  connection.SendPacket(answer);
  if (ask_password) {
    auto password = connection.ReceivePacket();
    if (!password || password->empty()) return;
    seen->push_back(TextOf(password->front()));
    const bool right = seen->back() == "#CMD_PASSWORD(<pass>\"secret\")";
    connection.SendPacket({right ? Ok() : Err(545, "wrong")});
  }
  connection.WaitForClose();
}

TEST_F(ExchangeTest, HandshakeSendsThePasswordOnlyWhenAsked) {
  std::vector<std::string> seen;
  FakePeer peer([&](PeerConnection& connection) { ServeHandshake(connection, true, &seen); });
  Connect(peer);
  HandshakeOptions options;
  options.password = "secret";
  const HandshakeReply reply = client_.Handshake(options);
  client_.Close();
  peer.Join();

  ASSERT_TRUE(reply.error.empty()) << reply.error;
  EXPECT_TRUE(reply.password_requested);
  EXPECT_TRUE(reply.Admitted());
  EXPECT_EQ(reply.http_port, 11921);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "#CMD_SETUP(<protocol_ver>220,<copyright>\"Copyright (C) VelmorVR\")");
}

TEST_F(ExchangeTest, HandshakeWithoutPasswordIsNotAdmittedWhenOneIsAsked) {
  std::vector<std::string> seen;
  FakePeer peer([&](PeerConnection& connection) { ServeHandshake(connection, true, &seen); });
  Connect(peer);
  const HandshakeReply reply = client_.Handshake({});
  client_.Close();
  peer.Join();
  EXPECT_TRUE(reply.password_requested);
  EXPECT_FALSE(reply.password);
  EXPECT_FALSE(reply.Admitted());
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(ExchangeTest, HandshakeWithAWrongPasswordIsRefused) {
  std::vector<std::string> seen;
  FakePeer peer([&](PeerConnection& connection) { ServeHandshake(connection, true, &seen); });
  Connect(peer);
  HandshakeOptions options;
  options.password = "guess";
  const HandshakeReply reply = client_.Handshake(options);
  client_.Close();
  ASSERT_TRUE(reply.password);
  EXPECT_FALSE(reply.Admitted());
  EXPECT_EQ(reply.Last().results.back().code, 545);
}

TEST_F(ExchangeTest, HandshakeWithoutPasswordProtectionIsAdmitted) {
  std::vector<std::string> seen;
  FakePeer peer([&](PeerConnection& connection) { ServeHandshake(connection, false, &seen); });
  Connect(peer);
  HandshakeOptions options;
  options.protocol_ver = 221;
  options.copyright = "X";
  options.password = "unused";
  const HandshakeReply reply = client_.Handshake(options);
  client_.Close();
  peer.Join();
  EXPECT_TRUE(reply.Admitted());
  EXPECT_FALSE(reply.password);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "#CMD_SETUP(<protocol_ver>221,<copyright>\"X\")");
}

}  // namespace
}  // namespace velmor::player
