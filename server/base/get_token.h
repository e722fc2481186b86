// Tokens of a text line, as every line-oriented file of the server is read
// (list files, the PC folder list, extension lists, the tag list, the word
// list): blanks and tabs separate tokens, double quotes group a token and are
// removed, and a line ends at LF or CR LF.
#pragma once

#include <string>
#include <string_view>

namespace velmor {

// The n-th token (from 1) of the line and the position just after it, so a
// caller reads token after token with n = 1 from each returned position.
// False when the line reaches its end (or LF, or CR LF) first.
bool GetToken(std::string_view line, int n, std::string* token, size_t* next_position = nullptr);

// The n-th token, or "" when there is none.
std::string TokenAt(std::string_view line, int n);

}  // namespace velmor
