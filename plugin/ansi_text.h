// The plug-in's 8-bit texts are in the system's ANSI code page, as its
// hosts pass and read them.
#pragma once

#include <string>

namespace tarnwick {

// At most max_bytes - 1 bytes, never a split character.
std::string ToAnsi(const wchar_t* text, size_t max_bytes);
// At most max_units - 1 UTF-16 units.
std::wstring FromAnsi(const char* text, size_t max_units);
std::string ToUtf8(const std::wstring& text);

}  // namespace tarnwick
