// Test helpers for the player client: bytes written as hex, and a peer on
// 127.0.0.1 that accepts one connection on its own thread and runs a script
// against it (a stand-in for the server's command or HTTP port).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "wire.h"

namespace velmor::player::test {

// "50 41 43 4b" -> "PACK"; blanks separate bytes.
inline std::string Hex(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

// The accepted connection as the script sees it. Every wait is bounded so
// that a failing client never hangs the test.
class PeerConnection {
 public:
  static constexpr uint32_t kWaitMs = 10000;

  explicit PeerConnection(platform::Socket socket) : socket_(std::move(socket)) {}

  bool Send(std::string_view bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      platform::SocketError error = platform::kSocketOk;
      const int64_t n = socket_.Send(bytes.data() + sent, bytes.size() - sent, &error);
      if (n > 0) {
        sent += static_cast<size_t>(n);
      } else if (error != platform::kSocketWouldBlock || !socket_.WaitWritable(kWaitMs)) {
        return false;
      }
    }
    return true;
  }

  bool SendPacket(const std::vector<Chunk>& chunks) { return Send(EncodePacket(chunks)); }

  // Sends a packet one byte per send call.
  bool TricklePacket(const std::vector<Chunk>& chunks) {
    const std::string packet = EncodePacket(chunks);
    for (char byte : packet) {
      if (!Send(std::string_view(&byte, 1))) return false;
    }
    return true;
  }

  // Bytes until `terminator` has arrived (inclusive), or nothing on close.
  std::optional<std::string> ReceiveUntil(std::string_view terminator) {
    while (received_.find(terminator) == std::string::npos) {
      if (!ReceiveMore()) return std::nullopt;
    }
    const size_t end = received_.find(terminator) + terminator.size();
    std::string text = received_.substr(0, end);
    received_.erase(0, end);
    return text;
  }

  // The chunks of the next packet from the client, or nothing on close.
  std::optional<std::vector<Chunk>> ReceivePacket() {
    for (;;) {
      const Frame frame = FramePacket(received_);
      if (frame.state == FrameState::kInvalid) return std::nullopt;
      if (frame.state == FrameState::kComplete) {
        auto chunks =
            SplitChunks(std::string_view(received_).substr(8, frame.packet_bytes - 8), nullptr);
        received_.erase(0, frame.packet_bytes);
        return chunks;
      }
      if (!ReceiveMore()) return std::nullopt;
    }
  }

  // Waits until the client closes its end.
  void WaitForClose() {
    while (ReceiveMore()) {
    }
  }

  void Close() { socket_.Close(); }

 private:
  bool ReceiveMore() {
    if (!socket_.WaitReadable(kWaitMs)) return false;
    char piece[4096];
    platform::SocketError error = platform::kSocketOk;
    const int64_t n = socket_.Receive(piece, sizeof piece, &error);
    if (n < 0 && error == platform::kSocketWouldBlock) return true;
    if (n <= 0) return false;
    received_.append(piece, static_cast<size_t>(n));
    return true;
  }

  platform::Socket socket_;
  std::string received_;
};

class FakePeer {
 public:
  using Script = std::function<void(PeerConnection&)>;

  explicit FakePeer(Script script) {
    platform::StartNetworking();
    if (!listener_.ListenTcp(0, 1)) {
      ADD_FAILURE() << "cannot listen";
      return;
    }
    port_ = listener_.LocalPort();
    thread_ = std::thread([this, script = std::move(script)] { Serve(script); });
  }

  ~FakePeer() {
    Join();
    listener_.Close();
    platform::StopNetworking();
  }

  FakePeer(const FakePeer&) = delete;
  FakePeer& operator=(const FakePeer&) = delete;

  uint16_t port() const { return port_; }
  // Waits for the script to finish; what it recorded may be read after this.
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Serve(const Script& script) {
    if (!listener_.WaitReadable(PeerConnection::kWaitMs)) return;
    platform::Socket client;
    if (listener_.Accept(&client, nullptr) != platform::kSocketOk) return;
    PeerConnection connection(std::move(client));
    script(connection);
  }

  platform::Socket listener_;
  uint16_t port_ = 0;
  std::thread thread_;
};

inline std::string TextOf(const Chunk& chunk) {
  return DecodeWireText(chunk.payload, nullptr).value_or("<bad text>");
}

}  // namespace velmor::player::test
