#include "stream/percent_decode.h"

#include "base/utf.h"

namespace velmor {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecode(std::string_view encoded) {
  std::string decoded;
  decoded.reserve(encoded.size());
  for (size_t i = 0; i < encoded.size(); ++i) {
    const int high = encoded[i] == '%' && i + 2 < encoded.size() ? HexValue(encoded[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(encoded[i + 2]) : -1;
    if (low < 0) {
      decoded.push_back(encoded[i]);
      continue;
    }
    decoded.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return decoded;
}

std::optional<std::string> DecodeRequestPath(std::string_view encoded) {
  std::string path = PercentDecode(encoded);
  if (path.find('\0') != std::string::npos) return std::nullopt;
  if (Utf16Length(path) > kMaxRequestPathUnits) return std::nullopt;
  return path;
}

}  // namespace velmor
