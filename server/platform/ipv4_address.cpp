#include <cstdio>

#include "platform/socket.h"

namespace velmor::platform {

std::string Ipv4Address::ToString() const {
  char text[16];
  std::snprintf(text, sizeof(text), "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

Ipv4Address Ipv4Address::Loopback() {
  Ipv4Address result;
  result.bytes[0] = 127;
  result.bytes[3] = 1;
  return result;
}

}  // namespace velmor::platform
