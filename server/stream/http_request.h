// The player's HTTP requests: a header block (request line and header lines,
// each ending with CR LF, then an empty line) parsed once into a small
// struct, and the request target split into its path and stream slot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmor {

// The start of a "Range: bytes=..." header. The end position is not read:
// the answer always runs to the end of the file, as the player expects.
class ByteRange {
 public:
  static ByteRange From(int64_t start) { return ByteRange(false, start); }
  // "bytes=-N": the last N bytes.
  static ByteRange Suffix(int64_t length) { return ByteRange(true, length); }

  // The first byte to send of a file of that size (may lie at or past its
  // end, which the caller refuses).
  int64_t StartFor(int64_t file_size) const;

  bool suffix() const { return suffix_; }
  int64_t value() const { return value_; }
  bool operator==(const ByteRange&) const = default;

 private:
  ByteRange(bool suffix, int64_t value) : suffix_(suffix), value_(value) {}
  bool suffix_;
  int64_t value_;
};

struct HttpRequest {
  // The request target behind the slash that starts it, still
  // percent-encoded, query included: "/home/u/a%20b.mp4?stream=1" for
  // "GET //home/u/a%20b.mp4?stream=1 HTTP/1.1".
  std::string target;
  std::optional<ByteRange> range;  // absent, or not understood
};

// A header block whose request line is a GET; nothing for other methods.
// Header names are compared without case; other headers are ignored.
std::optional<HttpRequest> ParseHttpRequest(std::string_view header_block);

struct RequestTarget {
  std::string_view path;  // percent-encoded, everything before the first "?"
  // "stream=N" of the query: 0 without one (or without digits), -1 for a
  // negative number or one too large for any slot.
  int stream = 0;
};

// Splits before any percent-decoding, so a "?" written as %3F stays part of
// the file name.
RequestTarget SplitRequestTarget(std::string_view target);

}  // namespace velmor
