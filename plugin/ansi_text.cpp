#include "ansi_text.h"

#include <windows.h>

#include <vector>

namespace tarnwick {

std::string ToAnsi(const wchar_t* text, size_t max_bytes) {
  if (text == nullptr || max_bytes == 0) return std::string();
  std::vector<char> buffer(max_bytes, '\0');
  // Shortens the text until it fits, so no character is cut in half.
  // Every unit makes at least one byte.
  int units = lstrlenW(text);
  if (static_cast<size_t>(units) > max_bytes - 1) units = static_cast<int>(max_bytes - 1);
  for (; units > 0; --units) {
    const int written = WideCharToMultiByte(CP_ACP, 0, text, units, buffer.data(),
                                            static_cast<int>(max_bytes - 1), nullptr, nullptr);
    if (written > 0) return std::string(buffer.data(), static_cast<size_t>(written));
  }
  return std::string();
}

std::wstring FromAnsi(const char* text, size_t max_units) {
  if (text == nullptr || max_units == 0) return std::wstring();
  std::vector<wchar_t> buffer(max_units, L'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, text, lstrlenA(text), buffer.data(),
                                          static_cast<int>(max_units - 1));
  return std::wstring(buffer.data(), written > 0 ? static_cast<size_t>(written) : 0);
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

}  // namespace tarnwick
