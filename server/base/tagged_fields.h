// Flat tagged fields: a key in angle brackets directly followed by its value,
// a decimal number or a double-quoted string without escapes, as in
// "#CMD_PASSWORD(<pass>\"secret\")" or "<flag>1<id_int>42<path>\"C:\\a.mp4\"".
// Texts are UTF-8; keys are given with their brackets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmor {

// The string buffer of a field holds 260 UTF-16 units with its zero.
inline constexpr size_t kFieldStringMax = 259;

// Finds the first occurrence of the key anywhere in the text, matching case
// (also inside an earlier quoted value that happens to contain it). False
// when it is absent: the caller keeps its default.
//
// Number: the C library's decimal conversion of what follows the key
// (blanks, a sign, digits; out-of-range values wrap). A key without digits
// after it reads as 0 and still counts as found.
bool FindNumber(std::string_view text, std::string_view key, int64_t* value);
bool FindNumber(std::string_view text, std::string_view key, int* value);

// String: skips to the first double quote after the key; the value runs to
// the next double quote, or to the end of the text when there is none. A
// key without any quote after it gives the empty string (still found).
// Values are cut to kFieldStringMax UTF-16 units.
bool FindString(std::string_view text, std::string_view key, std::string* value);

// The value between double quotes, as fields are written.
std::string Quote(std::string_view value);

}  // namespace velmor
