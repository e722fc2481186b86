// UTF-8 paths and texts as the UTF-16 the wide Win32 functions take, and back.
#pragma once

#include <string>
#include <string_view>

#include "base/utf.h"

namespace velmor::platform {

inline std::wstring Widen(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

// A path for the Win32 functions: UTF-16 with the host's own separators.
inline std::wstring WidePath(std::string_view path) {
  std::wstring wide = Widen(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

inline std::string Narrow(std::wstring_view text) {
  return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace velmor::platform
