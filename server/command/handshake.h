// The handshake of a player: "#CMD_SETUP" checks its protocol version and
// copyright text and answers with the server's version, the channel names,
// the mouse and HTTP settings and the tag list; "#CMD_PASSWORD" admits it
// when the password matches, with a 30 s lock-out after every failed try.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/config.h"

namespace velmor {

inline constexpr int kMinimumPlayerProtocol = 220;
inline constexpr uint32_t kPasswordLockoutMs = 30000;

// What a handshake command decided; the session queues the replies, posts
// the status event of a refusal and answers with the result line.
struct HandshakeOutcome {
  bool ok = false;
  int status_code = 0;  // of a refusal
  std::string status_text;
  std::vector<std::string> replies;  // in the order they are sent
  bool authenticated = false;        // the session is admitted now
};

// The session values the handshake reads and keeps.
struct HandshakeState {
  int protocol_version = 0;  // kept from one session to the next
  bool authenticated = false;
  uint32_t lockout_until_ms = 0;  // kept across sessions; 0: never locked
};

HandshakeOutcome HandleSetup(std::string_view text, const S_CONFIG& config,
                             const std::string& tag_list_path, HandshakeState* state);
HandshakeOutcome HandlePassword(std::string_view text, const S_CONFIG& config, uint32_t now_ms,
                                HandshakeState* state);

// "#RET_CH_NAME(...)" with the eight channels' types and names.
std::string ChannelNamesReply(const S_CONFIG& config);
// The name a channel shows: fixed for the built-in types, the playlist's
// "#name" for a playlist channel.
std::string ChannelName(const S_CONFIG_CH& channel);

}  // namespace velmor
