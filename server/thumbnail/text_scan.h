// Reading numbers out of the texts ffprobe and players send, the way the C
// library's "%d" and "%f" conversions read them, without their undefined
// cases: an integer too large wraps, a fraction too large is refused.
#pragma once

#include <cstddef>
#include <string_view>

namespace velmor {

class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  // Blanks, an optional sign and decimal digits. False, reading nothing,
  // when no digit follows.
  bool Int(int* value);
  // Blanks and a decimal fraction ("29.97", "-1.5e3", "inf"). False, reading
  // nothing, when none follows or it lies outside the float's range.
  bool Float(float* value);
  // The character c next; taken when it is there.
  bool Literal(char c);

  size_t position() const { return pos_; }

 private:
  void SkipBlanks();

  std::string_view text_;
  size_t pos_ = 0;
};

// The integer at the start of the text as the C library's atoi reads it: 0
// when there is none.
int LeadingInt(std::string_view text);

}  // namespace velmor
