#include <cstdio>

#include "platform/socket.h"

namespace velmor::platform {

std::string Ipv4Address::ToString() const {
  char text[16];
  std::snprintf(text, sizeof(text), "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

std::optional<Ipv4Address> Ipv4Address::Parse(std::string_view text) {
  Ipv4Address address;
  size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (at >= text.size() || text[at++] != '.')) return std::nullopt;
    int value = 0;
    size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3; ++at, ++digits) {
      value = value * 10 + (text[at] - '0');
    }
    if (digits == 0 || value > 255) return std::nullopt;
    address.bytes[part] = static_cast<uint8_t>(value);
  }
  if (at != text.size()) return std::nullopt;
  return address;
}

Ipv4Address Ipv4Address::Loopback() {
  Ipv4Address result;
  result.bytes[0] = 127;
  result.bytes[3] = 1;
  return result;
}

}  // namespace velmor::platform
