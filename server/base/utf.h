// Conversions between the UTF-8 the core works in and the UTF-16 of the wire
// and of UTF-16 files. Malformed input becomes U+FFFD, never a crash.
#pragma once

#include <string>
#include <string_view>

namespace velmor {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The number of UTF-16 units the UTF-8 text takes.
size_t Utf16Length(std::string_view text);
// The longest prefix of the text that fits in max_units UTF-16 units without
// splitting a character.
std::string CutToUtf16Units(std::string_view text, size_t max_units);

}  // namespace velmor
