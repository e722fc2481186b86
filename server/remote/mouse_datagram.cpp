#include "remote/mouse_datagram.h"

#include <cstdio>

namespace velmor {

std::string FormatMouseDatagram(const MouseDatagram& d) {
  char text[256];
  const int length = std::snprintf(
      text, sizeof(text),
      "#MOUSE(ct=%d,px=%d,py=%d,pw=%d,bt1=%d,bt2=%d,bt3=%d,opa=%d,opb=%d,opc=%d,opx=%d,opy=%d,"
      "opz=%d)*",
      static_cast<int32_t>(d.ct), static_cast<int32_t>(d.px), static_cast<int32_t>(d.py),
      static_cast<int32_t>(d.pw), d.bt1, d.bt2, d.bt3, d.opa, d.opb, d.opc, d.opx, d.opy, d.opz);
  if (length <= 0) return std::string();
  return std::string(text, static_cast<size_t>(length) < sizeof(text) ? length : sizeof(text) - 1);
}

}  // namespace velmor
