// The command connection's wire format as the player speaks it: packets
// ("PACK" + signed 32-bit length + chunks), chunks (four-character code +
// 32-bit length + payload), UTF-16LE texts with their terminating zero, and
// the binary "MSGE" command. Written independently of the server's own code so
// that it catches the server's encoding mistakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::player {

// The server's receive buffer holds at most this many bytes of one packet,
// header included; a longer packet can never complete on either side.
inline constexpr size_t kMaxPacketBytes = 1048608;
inline constexpr size_t kPacketHeaderBytes = 8;
inline constexpr size_t kChunkHeaderBytes = 8;
// A binary command carries at most four fields.
inline constexpr size_t kMaxCommandFields = 4;

struct Chunk {
  std::string code;     // four ASCII characters, e.g. "STRG"
  std::string payload;  // the raw payload bytes

  bool operator==(const Chunk&) const = default;
};

// A binary command of the command set: "CM_..." and up to four text fields.
struct Command {
  std::string name;
  std::vector<std::string> fields;

  bool operator==(const Command&) const = default;
};

// UTF-8 -> UTF-16LE bytes with the terminating zero character.
std::string EncodeWireText(std::string_view utf8);
// UTF-16LE bytes that end in exactly one zero character -> UTF-8. Refuses odd
// byte counts, a missing terminator and a zero inside the text.
std::optional<std::string> DecodeWireText(std::string_view bytes, std::string* error);

Chunk MakeTextChunk(std::string_view utf8);
// Refuses more than four fields and any text too long for its 16-bit count.
std::optional<Chunk> MakeCommandChunk(const Command& command, std::string* error);
std::optional<Command> DecodeCommand(std::string_view payload, std::string* error);

// The bytes of one packet holding the chunks.
std::string EncodePacket(const std::vector<Chunk>& chunks);

enum class FrameState { kIncomplete, kComplete, kInvalid };

struct Frame {
  FrameState state = FrameState::kIncomplete;
  size_t packet_bytes = 0;  // header + body, when complete
  std::string error;        // when invalid
};

// Looks at the front of the received bytes: is a whole packet there?
Frame FramePacket(std::string_view buffered);
// The chunks of a packet body (the bytes after the packet header). Refuses a
// chunk header or payload that runs past the end of the body.
std::optional<std::vector<Chunk>> SplitChunks(std::string_view body, std::string* error);

}  // namespace velmor::player
