// The player's side of the command connection: connect, send packets of
// chunks, receive and frame the server's packets, and the request/answer
// exchange every command goes through (replies, then one result line for
// each command chunk sent).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket.h"
#include "records.h"
#include "wire.h"

namespace velmor::player {

inline constexpr uint16_t kDefaultCommandPort = 11922;
inline constexpr int kDefaultProtocolVersion = 220;
inline constexpr char kDefaultCopyright[] = "Copyright (C) VelmorVR";

// "a.b.c.d" or "localhost".
std::optional<platform::Ipv4Address> ParseIpv4(std::string_view host);

// How many result lines the server sends for these chunks: one per command
// chunk. "DATA" chunks and "#DAT..." texts are taken by the command before
// them (thumbnail upload, channel save) and get none of their own.
size_t CountCommandChunks(const std::vector<Chunk>& chunks);

// "#CMD_SETUP(<protocol_ver>%d,<copyright>\"%s\")" and the password command.
// Quoted values cannot hold a double quote (the syntax has no escape), so
// such a value is refused rather than sent cut short.
std::optional<std::string> SetupCommandText(int protocol_ver, std::string_view copyright,
                                            std::string* error);
std::optional<std::string> PasswordCommandText(std::string_view password, std::string* error);

// Everything the server answered to one packet.
struct Reply {
  std::vector<Chunk> chunks;        // in arrival order, result lines included
  std::vector<ResultLine> results;  // one per command chunk, in order
  int packets = 0;                  // packets the answer came in
  std::string error;                // transport or protocol failure; chunks so far are kept

  bool complete() const { return error.empty(); }
  // True when every result line arrived and the last one is "#RET_OK()".
  bool LastOk() const { return complete() && !results.empty() && results.back().ok; }
};

struct HandshakeOptions {
  int protocol_ver = kDefaultProtocolVersion;
  std::string copyright = kDefaultCopyright;
  std::optional<std::string> password;  // sent only when the server asks for one
};

struct HandshakeReply {
  Reply setup;                    // answer to #CMD_SETUP
  std::optional<Reply> password;  // answer to #CMD_PASSWORD, when it was sent
  bool password_requested = false;
  std::optional<uint16_t> http_port;  // from "#RET_USE_HTTP(<port>%d)"
  std::string error;                  // request could not be sent or answered

  // The session is admitted: setup passed and no password was asked for, or
  // the password was accepted.
  bool Admitted() const;
  // The last reply of the conversation (the password's when it was sent).
  const Reply& Last() const { return password ? *password : setup; }
};

class PlayerClient {
 public:
  PlayerClient();
  ~PlayerClient();
  PlayerClient(const PlayerClient&) = delete;
  PlayerClient& operator=(const PlayerClient&) = delete;

  bool Connect(const platform::Ipv4Address& address, uint16_t port, uint32_t timeout_ms,
               std::string* error);
  void Close();
  bool IsConnected() const { return socket_.IsOpen(); }
  const platform::Ipv4Address& address() const { return address_; }

  // The time an exchange may take from sending to its last result line.
  void set_timeout_ms(uint32_t timeout_ms) { timeout_ms_ = timeout_ms; }
  uint32_t timeout_ms() const { return timeout_ms_; }

  // Sends one packet holding the chunks. Refuses a packet longer than the
  // server can ever receive.
  bool SendPacket(const std::vector<Chunk>& chunks, std::string* error);
  // The chunks of the next whole packet, waiting up to timeout_ms for it.
  std::optional<std::vector<Chunk>> ReceivePacket(uint32_t timeout_ms, std::string* error);

  // Sends the chunks as one packet and collects the answer until every
  // command chunk's result line arrived, within timeout_ms().
  Reply Exchange(const std::vector<Chunk>& chunks);
  Reply ExchangeText(std::string_view text) { return Exchange({MakeTextChunk(text)}); }
  // Sends the packets one after another (an upload whose pieces follow its
  // header) and collects the answer to all of them.
  Reply ExchangePackets(const std::vector<std::vector<Chunk>>& packets);
  Reply ExchangeCommand(const Command& command);

  HandshakeReply Handshake(const HandshakeOptions& options);

 private:
  bool ReceiveMore(uint32_t timeout_ms, std::string* error);
  void CollectReply(size_t expected, Reply* reply);

  platform::Socket socket_;
  platform::Ipv4Address address_;
  std::string received_;  // bytes not yet framed into packets
  uint32_t timeout_ms_ = 10000;
  bool networking_ = false;
};

}  // namespace velmor::player
