// Helpers of the stream tests: media files whose every byte tells its
// offset, a raw HTTP connection on 127.0.0.1, waiting for a condition, and
// a command server with an authenticated player beside a stream server.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/socket.h"
#include "player_client.h"
#include "runtime/player_stream_admission.h"
#include "stream/stream_server.h"
#include "test_support.h"

namespace velmor::test {

inline constexpr uint32_t kWaitMs = 20000;
inline constexpr int64_t kMiB = 1048576;

// The byte at a file offset: changes at every offset and differs between
// 4,096-byte pages, so a block at the wrong place never matches.
inline char PatternByte(int64_t offset) {
  return static_cast<char>((offset % 251) ^ ((offset >> 12) & 0xFF));
}

inline std::string PatternBytes(int64_t offset, int64_t length) {
  std::string bytes(static_cast<size_t>(length), '\0');
  for (int64_t i = 0; i < length; ++i) bytes[static_cast<size_t>(i)] = PatternByte(offset + i);
  return bytes;
}

inline void WritePatternFile(const std::string& path, int64_t size) {
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::File::Mode::kCreate)) << path;
  constexpr int64_t kPiece = 1 << 20;
  for (int64_t offset = 0; offset < size; offset += kPiece) {
    const std::string piece = PatternBytes(offset, std::min(kPiece, size - offset));
    ASSERT_EQ(file.Write(piece.data(), piece.size()), static_cast<int64_t>(piece.size()));
  }
}

// Index of the first byte that differs from the pattern at `offset`, or -1.
inline int64_t FirstPatternMismatch(std::string_view bytes, int64_t offset) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != PatternByte(offset + static_cast<int64_t>(i))) return static_cast<int64_t>(i);
  }
  return -1;
}

// Polls the condition until it holds; false when it never did.
inline bool WaitFor(const std::function<bool()>& condition) {
  const uint32_t start = platform::TickCount();
  while (!condition()) {
    if (platform::TickDiff(platform::TickCount(), start) > static_cast<int32_t>(kWaitMs)) {
      return false;
    }
    platform::SleepMs(2);
  }
  return true;
}

// One HTTP connection driven byte by byte.
class RawHttp {
 public:
  bool Connect(uint16_t port,
               const platform::Ipv4Address& address = platform::Ipv4Address::Loopback()) {
    return socket_.ConnectTcp(address, port, kWaitMs);
  }
  // From another local address: 127.0.0.2 plays a second machine.
  bool ConnectFrom(const platform::Ipv4Address& local, uint16_t port) {
    return socket_.ConnectTcpFrom(local, platform::Ipv4Address::Loopback(), port, kWaitMs);
  }
  bool Send(std::string_view bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      platform::SocketError error;
      const int64_t n = socket_.Send(bytes.data() + sent, bytes.size() - sent, &error);
      if (n > 0) {
        sent += static_cast<size_t>(n);
      } else if (n < 0 && error == platform::kSocketWouldBlock) {
        socket_.WaitWritable(kWaitMs);
      } else {
        return false;
      }
    }
    return true;
  }
  // The answer's header block with its empty line; nothing when the
  // connection closed or stayed silent first.
  std::optional<std::string> ReadHead() {
    for (;;) {
      const size_t end = received_.find("\r\n\r\n");
      if (end != std::string::npos) {
        std::string head = received_.substr(0, end + 4);
        received_.erase(0, end + 4);
        return head;
      }
      if (!ReceiveMore()) return std::nullopt;
    }
  }
  // Exactly `count` bytes (fewer when the connection closes first).
  std::string ReadBytes(int64_t count) {
    while (static_cast<int64_t>(received_.size()) < count && ReceiveMore()) {
    }
    const size_t taken = std::min(received_.size(), static_cast<size_t>(count));
    std::string bytes = received_.substr(0, taken);
    received_.erase(0, taken);
    return bytes;
  }
  // Reads until the server closes; the number of bytes that came first.
  // Nothing when the connection stays open.
  std::optional<int64_t> ReadUntilClosed() {
    int64_t count = static_cast<int64_t>(received_.size());
    received_.clear();
    for (;;) {
      if (!socket_.WaitReadable(kWaitMs)) return std::nullopt;
      char buffer[65536];
      platform::SocketError error;
      const int64_t n = socket_.Receive(buffer, sizeof buffer, &error);
      if (n == 0 || (n < 0 && error != platform::kSocketWouldBlock)) return count;
      if (n > 0) count += n;
    }
  }
  // What has arrived, waiting for at least one byte; empty once closed.
  std::string ReadSome() {
    if (received_.empty()) ReceiveMore();
    return std::exchange(received_, std::string());
  }
  void Close() { socket_.Close(); }

 private:
  bool ReceiveMore() {
    if (!socket_.WaitReadable(kWaitMs)) return false;
    char buffer[65536];
    platform::SocketError error;
    const int64_t n = socket_.Receive(buffer, sizeof buffer, &error);
    if (n > 0) received_.append(buffer, static_cast<size_t>(n));
    return n > 0 || (n < 0 && error == platform::kSocketWouldBlock);
  }

  platform::Socket socket_;
  std::string received_;
};

inline std::string GetText(std::string_view encoded_path, std::string_view query,
                           std::optional<int64_t> range_start = std::nullopt) {
  std::string text =
      "GET /" + std::string(encoded_path) + std::string(query) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  if (range_start) text += "Range: bytes=" + std::to_string(*range_start) + "-\r\n";
  return text + "\r\n";
}

// The request with one more header line.
inline std::string WithHeader(std::string request, std::string_view line) {
  return request.insert(request.size() - 2, std::string(line) + "\r\n");
}

// A command server with an authenticated player on 127.0.0.1 and a stream
// server owned by it (5 slots: 0-2 with 32 blocks of 1 MiB and 8 protected,
// 3-4 with 2 blocks), its port announced in the handshake.
class StreamServerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(settings_.Load());
    command_ = std::make_unique<CommandServer>(nullptr, &settings_, &library_);
    ASSERT_TRUE(command_->StartCommandListener(0));
    stream_ = std::make_unique<StreamServer>();
    StreamServer::ListenSettings settings;
    settings.port = 0;
    admission_ = std::make_unique<PlayerStreamAdmission>(command_.get(), &library_);
    settings.admission = admission_.get();
    ASSERT_TRUE(stream_->StartListener(settings));
    settings_.Update([this](S_CONFIG& config) { config.iPortHttp = stream_->port(); });
  }

  void TearDown() override {
    stream_.reset();
    player_.reset();
    command_.reset();
  }

  // The player connects to the command port at `address` and is admitted.
  void ConnectPlayer(const platform::Ipv4Address& address = platform::Ipv4Address::Loopback()) {
    player_ = std::make_unique<player::PlayerClient>();
    std::string error;
    ASSERT_TRUE(player_->Connect(address, command_->port(), kWaitMs, &error)) << error;
    player_->set_timeout_ms(kWaitMs);
    const player::HandshakeReply reply = player_->Handshake({});
    ASSERT_TRUE(reply.Admitted()) << reply.error;
    ASSERT_TRUE(command_->authenticated());
  }

  void DisconnectPlayer() {
    player_.reset();
    ASSERT_TRUE(WaitFor([&] { return !command_->authenticated(); }));
  }

  // The media file's full path as the player writes it in a request.
  std::string MediaFile(std::string_view name, int64_t size) {
    const std::string path = media_.Join(name);
    WritePatternFile(path, size);
    return path;
  }

  TempFolder home_;
  TempFolder media_;
  Settings settings_;
  LibraryContext library_;  // declared first: the server releases it
  std::unique_ptr<CommandServer> command_;
  std::unique_ptr<PlayerStreamAdmission> admission_;
  std::unique_ptr<StreamServer> stream_;
  std::unique_ptr<player::PlayerClient> player_;
};

}  // namespace velmor::test
