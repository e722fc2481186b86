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

void CopyText(char* target, size_t size, const std::string& text) {
  if (size == 0) return;
  const size_t length = text.size() < size - 1 ? text.size() : size - 1;
  text.copy(target, length);
  target[length] = '\0';
}

}  // namespace tarnwick
