// The binary command of an "MSGE" chunk:
//   N (16-bit): byte count of the name, its terminating zero included
//   the name, UTF-16LE
//   K (16-bit): number of fields, at most 4
//   per field: its byte count (16-bit) and a UTF-16LE text with its zero
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmor {

inline constexpr size_t kBinaryCommandMaxFields = 4;

struct BinaryCommand {
  std::string name;                 // UTF-8, without the zero: compare as whole text
  std::vector<std::string> fields;  // UTF-8, without the zero; at most 4

  // Field 1 to 4 as the handlers number them; empty when the command did
  // not send it.
  const std::string& Field(size_t number) const;
};

// Parses an "MSGE" payload. Refuses (false) a name count that is odd, 0,
// or runs past the payload, a name that does not end with its zero, more
// than 4 fields, and a field count that is odd or runs past the payload.
// The name is its text up to the first zero; a field is its text up to its
// first zero, or all of its bytes when it has none. Bytes after the last
// field are ignored. Never reads outside the payload.
bool ParseBinaryCommand(const uint8_t* payload, size_t size, BinaryCommand* command);

// The player's side, for its client code and tests: the payload of the
// command. False when it has more than 4 fields or a text too long for
// its 16-bit byte count.
bool EncodeBinaryCommand(const BinaryCommand& command, std::vector<uint8_t>* payload);

}  // namespace velmor
