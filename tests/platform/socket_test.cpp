#include "platform/socket.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace velmor::platform {
namespace {

class SocketTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartNetworking()); }
  void TearDown() override { StopNetworking(); }

  // A listener on a free port and a client connected to it, accepted.
  void Connect(Socket* listener, Socket* client, Socket* server_side) {
    ASSERT_TRUE(listener->ListenTcp(0, 4));
    ASSERT_NE(listener->LocalPort(), 0);
    ASSERT_TRUE(client->ConnectTcp(Ipv4Address::Loopback(), listener->LocalPort(), 10000));
    ASSERT_TRUE(listener->WaitReadable(10000));
    Ipv4Address peer;
    ASSERT_EQ(listener->Accept(server_side, &peer), kSocketOk);
    EXPECT_EQ(peer.ToString(), "127.0.0.1");
  }
};

std::string ReceiveExactly(Socket* socket, size_t size) {
  std::string received;
  char buffer[4096];
  while (received.size() < size && socket->WaitReadable(10000)) {
    SocketError error = kSocketOk;
    const int64_t got = socket->Receive(buffer, sizeof(buffer), &error);
    if (got <= 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

TEST(Ipv4AddressTest, FormatsDottedQuads) {
  EXPECT_EQ(Ipv4Address::Loopback().ToString(), "127.0.0.1");
  Ipv4Address address;
  EXPECT_EQ(address.ToString(), "0.0.0.0");
  const uint8_t bytes[4] = {192, 168, 10, 255};
  memcpy(address.bytes, bytes, 4);
  EXPECT_EQ(address.ToString(), "192.168.10.255");
}

TEST_F(SocketTest, AcceptWouldBlockWhenNobodyWaits) {
  Socket listener;
  SocketError error = kSocketOtherError;
  ASSERT_TRUE(listener.ListenTcp(0, 4, &error));
  EXPECT_EQ(error, kSocketOk);
  Socket client;
  EXPECT_EQ(listener.Accept(&client, nullptr), kSocketWouldBlock);
  EXPECT_FALSE(client.IsOpen());
  EXPECT_FALSE(listener.WaitReadable(0));
}

TEST_F(SocketTest, SecondListenerOnTheSamePortFails) {
  Socket first;
  ASSERT_TRUE(first.ListenTcp(0, 4));
  Socket second;
  SocketError error = kSocketOk;
  EXPECT_FALSE(second.ListenTcp(first.LocalPort(), 4, &error));
  EXPECT_EQ(error, kSocketAddressInUse);
  EXPECT_FALSE(second.IsOpen());
}

TEST_F(SocketTest, SendsAndReceivesBothWays) {
  Socket listener, client, server_side;
  Connect(&listener, &client, &server_side);

  const std::string request = "GET / HTTP/1.1\r\n\r\n";
  SocketError error = kSocketOtherError;
  ASSERT_EQ(client.Send(request.data(), request.size(), &error),
            static_cast<int64_t>(request.size()));
  EXPECT_EQ(error, kSocketOk);
  EXPECT_EQ(ReceiveExactly(&server_side, request.size()), request);

  // A larger answer arrives whole, in however many pieces.
  std::string answer(256 * 1024, 'a');
  for (size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(server_side.SetNonBlocking(false));
  ASSERT_EQ(server_side.Send(answer.data(), answer.size(), &error),
            static_cast<int64_t>(answer.size()));
  EXPECT_EQ(ReceiveExactly(&client, answer.size()), answer);
}

TEST_F(SocketTest, AcceptedSocketKeepsTheListenersNonBlockingMode) {
  Socket listener, client, server_side;
  Connect(&listener, &client, &server_side);
  char byte;
  SocketError error = kSocketOk;
  EXPECT_EQ(server_side.Receive(&byte, 1, &error), -1);
  EXPECT_EQ(error, kSocketWouldBlock);
}

TEST_F(SocketTest, ReceiveReturnsZeroWhenThePeerCloses) {
  Socket listener, client, server_side;
  Connect(&listener, &client, &server_side);
  ASSERT_EQ(client.Send("bye", 3, nullptr), 3);
  client.Close();
  EXPECT_EQ(ReceiveExactly(&server_side, 3), "bye");
  ASSERT_TRUE(server_side.WaitReadable(10000));
  char buffer[16];
  SocketError error = kSocketOtherError;
  EXPECT_EQ(server_side.Receive(buffer, sizeof(buffer), &error), 0);
}

TEST_F(SocketTest, SendingToAVanishedPeerIsAnErrorNotACrash) {
  Socket listener, client, server_side;
  Connect(&listener, &client, &server_side);
  client.Close();
  // The first send may still be accepted; the reset makes a later one fail.
  SocketError error = kSocketOk;
  int64_t result = 0;
  for (int attempt = 0; attempt < 200 && result >= 0; ++attempt) {
    server_side.WaitWritable(100);
    result = server_side.Send("data", 4, &error);
    if (result < 0 && error == kSocketWouldBlock) result = 0;
  }
  ASSERT_LT(result, 0);
  EXPECT_TRUE(error == kSocketConnectionReset || error == kSocketConnectionAborted) << error;
}

TEST_F(SocketTest, ConnectToAClosedPortFails) {
  uint16_t port;
  {
    Socket listener;
    ASSERT_TRUE(listener.ListenTcp(0, 1));
    port = listener.LocalPort();
  }
  Socket client;
  EXPECT_FALSE(client.ConnectTcp(Ipv4Address::Loopback(), port, 5000));
  EXPECT_FALSE(client.IsOpen());
}

TEST_F(SocketTest, UdpDatagramReachesABoundReceiver) {
  Socket receiver;
  ASSERT_TRUE(receiver.BindUdp(0));
  ASSERT_NE(receiver.LocalPort(), 0);
  Socket sender;
  ASSERT_TRUE(sender.OpenUdp());
  const std::string message = "VELMOR-ANNOUNCE 1";
  ASSERT_TRUE(
      sender.SendTo(Ipv4Address::Loopback(), receiver.LocalPort(), message.data(), message.size()));
  ASSERT_TRUE(receiver.WaitReadable(10000));
  char buffer[64];
  SocketError error = kSocketOtherError;
  const int64_t got = receiver.Receive(buffer, sizeof(buffer), &error);
  ASSERT_EQ(got, static_cast<int64_t>(message.size()));
  EXPECT_EQ(std::string(buffer, message.size()), message);
}

TEST_F(SocketTest, ClosedSocketsFailCleanly) {
  Socket socket;
  char byte = 0;
  SocketError error = kSocketOk;
  EXPECT_EQ(socket.Receive(&byte, 1, &error), -1);
  EXPECT_NE(error, kSocketOk);
  EXPECT_EQ(socket.Send(&byte, 1, &error), -1);
  EXPECT_FALSE(socket.SendTo(Ipv4Address::Loopback(), 9, &byte, 1));
  EXPECT_FALSE(socket.WaitReadable(0));
  EXPECT_EQ(socket.LocalPort(), 0);
  Socket moved(std::move(socket));
  EXPECT_FALSE(moved.IsOpen());
}

TEST_F(SocketTest, NetworkingStartsAreCounted) {
  ASSERT_TRUE(StartNetworking());
  StopNetworking();  // the fixture's start still holds
  Socket listener, client, server_side;
  Connect(&listener, &client, &server_side);
}

TEST(LocalAddressesTest, ListsDottedQuadsWithLoopbackLast) {
  const std::vector<std::string> addresses = LocalIpv4Addresses();
  ASSERT_FALSE(addresses.empty());
  for (size_t i = 0; i < addresses.size(); ++i) {
    int parts[4];
    char rest;
    EXPECT_EQ(sscanf(addresses[i].c_str(), "%d.%d.%d.%d%c", &parts[0], &parts[1], &parts[2],
                     &parts[3], &rest),
              4)
        << addresses[i];
    if (addresses[i].rfind("127.", 0) == 0) {
      EXPECT_EQ(i, addresses.size() - 1);
    }
  }
}

}  // namespace
}  // namespace velmor::platform
