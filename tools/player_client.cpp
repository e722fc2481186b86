#include "player_client.h"

#include <utility>

#include "platform/clock.h"

namespace velmor::player {
namespace {

constexpr size_t kReceivePiece = 64 * 1024;

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::optional<std::string> QuotedValue(std::string_view value, std::string_view what,
                                       std::string* error) {
  if (value.find('"') != std::string_view::npos) {
    SetError(error, std::string(what) + " cannot hold a double quote");
    return std::nullopt;
  }
  return "\"" + std::string(value) + "\"";
}

// Milliseconds left until the deadline, 0 when it has passed.
uint32_t Remaining(uint32_t deadline) {
  const int32_t left = platform::TickDiff(deadline, platform::TickCount());
  return left > 0 ? static_cast<uint32_t>(left) : 0;
}

std::optional<uint16_t> AnnouncedHttpPort(std::string_view text) {
  if (!StartsWith(text, "#RET_USE_HTTP(")) return std::nullopt;
  const auto port = FlatNumber(text, "<port>");
  if (!port || *port < 1 || *port > 65535) return std::nullopt;
  return static_cast<uint16_t>(*port);
}

}  // namespace

std::optional<platform::Ipv4Address> ParseIpv4(std::string_view host) {
  if (host == "localhost") return platform::Ipv4Address::Loopback();
  return platform::Ipv4Address::Parse(host);
}

size_t CountCommandChunks(const std::vector<Chunk>& chunks) {
  size_t count = 0;
  for (const Chunk& chunk : chunks) {
    if (chunk.code == "DATA") continue;
    if (chunk.code == "STRG") {
      const auto text = DecodeWireText(chunk.payload, nullptr);
      if (text && StartsWith(*text, "#DAT")) continue;
    }
    ++count;
  }
  return count;
}

std::optional<std::string> SetupCommandText(int protocol_ver, std::string_view copyright,
                                            std::string* error) {
  const auto quoted = QuotedValue(copyright, "the copyright text", error);
  if (!quoted) return std::nullopt;
  return "#CMD_SETUP(<protocol_ver>" + std::to_string(protocol_ver) + ",<copyright>" + *quoted +
         ")";
}

std::optional<std::string> PasswordCommandText(std::string_view password, std::string* error) {
  const auto quoted = QuotedValue(password, "the password", error);
  if (!quoted) return std::nullopt;
  return "#CMD_PASSWORD(<pass>" + *quoted + ")";
}

bool HandshakeReply::Admitted() const {
  if (!error.empty() || !setup.LastOk()) return false;
  if (!password_requested) return true;
  return password && password->LastOk();
}

PlayerClient::PlayerClient() : networking_(platform::StartNetworking()) {}

PlayerClient::~PlayerClient() {
  Close();
  if (networking_) platform::StopNetworking();
}

bool PlayerClient::Connect(const platform::Ipv4Address& address, uint16_t port, uint32_t timeout_ms,
                           std::string* error) {
  Close();
  address_ = address;
  if (!networking_) {
    SetError(error, "networking is not available");
    return false;
  }
  if (!socket_.ConnectTcp(address, port, timeout_ms)) {
    SetError(error, "connection refused or timed out");
    return false;
  }
  return true;
}

void PlayerClient::Close() {
  socket_.Close();
  received_.clear();
}

bool PlayerClient::SendPacket(const std::vector<Chunk>& chunks, std::string* error) {
  const std::string packet = EncodePacket(chunks);
  if (packet.size() > kMaxPacketBytes) {
    SetError(error, "packet of " + std::to_string(packet.size()) +
                        " bytes exceeds the server's limit of " + std::to_string(kMaxPacketBytes));
    return false;
  }
  const uint32_t deadline = platform::TickCount() + timeout_ms_;
  size_t sent = 0;
  while (sent < packet.size()) {
    platform::SocketError socket_error = platform::kSocketOk;
    const int64_t n = socket_.Send(packet.data() + sent, packet.size() - sent, &socket_error);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && socket_error != platform::kSocketWouldBlock) {
      SetError(error, "send failed (socket error " + std::to_string(socket_error) + ")");
      return false;
    }
    if (!socket_.WaitWritable(Remaining(deadline))) {
      SetError(error, "send timed out after " + std::to_string(sent) + " of " +
                          std::to_string(packet.size()) + " bytes");
      return false;
    }
  }
  return true;
}

bool PlayerClient::ReceiveMore(uint32_t timeout_ms, std::string* error) {
  if (!socket_.WaitReadable(timeout_ms)) {
    SetError(error, "timed out waiting for the server");
    return false;
  }
  char piece[kReceivePiece];
  platform::SocketError socket_error = platform::kSocketOk;
  const int64_t n = socket_.Receive(piece, sizeof(piece), &socket_error);
  if (n == 0) {
    SetError(error, "the server closed the connection");
    return false;
  }
  if (n < 0) {
    if (socket_error == platform::kSocketWouldBlock) return true;
    SetError(error, "receive failed (socket error " + std::to_string(socket_error) + ")");
    return false;
  }
  received_.append(piece, static_cast<size_t>(n));
  return true;
}

std::optional<std::vector<Chunk>> PlayerClient::ReceivePacket(uint32_t timeout_ms,
                                                              std::string* error) {
  const uint32_t deadline = platform::TickCount() + timeout_ms;
  for (;;) {
    const Frame frame = FramePacket(received_);
    if (frame.state == FrameState::kInvalid) {
      // The packet boundaries are lost: nothing later can be read either.
      SetError(error, frame.error);
      Close();
      return std::nullopt;
    }
    if (frame.state == FrameState::kComplete) {
      const std::string_view body = std::string_view(received_).substr(
          kPacketHeaderBytes, frame.packet_bytes - kPacketHeaderBytes);
      auto chunks = SplitChunks(body, error);
      received_.erase(0, frame.packet_bytes);
      return chunks;
    }
    if (!IsConnected()) {
      SetError(error, "not connected");
      return std::nullopt;
    }
    if (!ReceiveMore(Remaining(deadline), error)) return std::nullopt;
  }
}

void PlayerClient::CollectReply(size_t expected, Reply* reply) {
  const uint32_t deadline = platform::TickCount() + timeout_ms_;
  while (reply->results.size() < expected && reply->error.empty()) {
    std::string error;
    auto chunks = ReceivePacket(Remaining(deadline), &error);
    if (!chunks) {
      reply->error = error + " (" + std::to_string(reply->results.size()) + " of " +
                     std::to_string(expected) + " result lines received)";
      return;
    }
    ++reply->packets;
    for (Chunk& chunk : *chunks) {
      if (reply->results.size() == expected && reply->error.empty()) {
        reply->error = "chunks follow the last result line in its packet";
      }
      if (chunk.code == "STRG") {
        std::string text_error;
        const auto text = DecodeWireText(chunk.payload, &text_error);
        if (!text && reply->error.empty()) reply->error = "STRG chunk: " + text_error;
        const auto result = text ? ParseResultLine(*text) : std::nullopt;
        if (result) reply->results.push_back(*result);
      }
      reply->chunks.push_back(std::move(chunk));
    }
  }
}

Reply PlayerClient::Exchange(const std::vector<Chunk>& chunks) {
  Reply reply;
  if (!IsConnected()) {
    reply.error = "not connected";
    return reply;
  }
  if (!SendPacket(chunks, &reply.error)) return reply;
  CollectReply(CountCommandChunks(chunks), &reply);
  return reply;
}

Reply PlayerClient::ExchangePackets(const std::vector<std::vector<Chunk>>& packets) {
  Reply reply;
  if (!IsConnected()) {
    reply.error = "not connected";
    return reply;
  }
  size_t expected = 0;
  for (const std::vector<Chunk>& chunks : packets) {
    if (!SendPacket(chunks, &reply.error)) return reply;
    expected += CountCommandChunks(chunks);
  }
  CollectReply(expected, &reply);
  return reply;
}

Reply PlayerClient::ExchangeCommand(const Command& command) {
  Reply reply;
  const auto chunk = MakeCommandChunk(command, &reply.error);
  if (!chunk) return reply;
  return Exchange({*chunk});
}

HandshakeReply PlayerClient::Handshake(const HandshakeOptions& options) {
  HandshakeReply result;
  const auto setup = SetupCommandText(options.protocol_ver, options.copyright, &result.error);
  if (!setup) return result;
  result.setup = ExchangeText(*setup);
  if (!result.setup.complete()) {
    result.error = result.setup.error;
    return result;
  }
  for (const Chunk& chunk : result.setup.chunks) {
    if (chunk.code != "STRG") continue;
    const auto text = DecodeWireText(chunk.payload, nullptr);
    if (!text) continue;
    if (StartsWith(*text, "#RET_REQUEST_PASSWORD(")) result.password_requested = true;
    if (const auto port = AnnouncedHttpPort(*text)) result.http_port = port;
  }
  if (!result.setup.LastOk() || !result.password_requested || !options.password) return result;
  const auto password = PasswordCommandText(*options.password, &result.error);
  if (!password) return result;
  result.password = ExchangeText(*password);
  if (!result.password->complete()) result.error = result.password->error;
  return result;
}

}  // namespace velmor::player
