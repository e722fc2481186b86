// Running a Windows program of this build under Wine from a native test.
#pragma once

#include <cstdint>
#include <string>

namespace velmor::test {

inline constexpr char kWine[] = "/usr/bin/wine";
inline constexpr uint32_t kWineWaitMs = 60000;  // a first start of Wine in a prefix is slow

// A Linux path as the Windows program sees it (Wine's drive Z: is "/").
inline std::string WinePath(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

}  // namespace velmor::test
