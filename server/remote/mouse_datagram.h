// The text datagram the mouse remote sends the player on every pass.
#pragma once

#include <cstdint>
#include <string>

namespace velmor {

struct MouseDatagram {
  uint32_t ct = 0;  // counter since the remote started
  // Running sums of the movement since the remote started; they wrap as
  // 32-bit two's complement numbers.
  uint32_t px = 0;
  uint32_t py = 0;
  uint32_t pw = 0;
  int bt1 = 0, bt2 = 0, bt3 = 0;                             // buttons, 1 while pressed
  int opa = 0, opb = 0, opc = 0, opx = 0, opy = 0, opz = 0;  // keys, 1 while down
};

// "#MOUSE(ct=..,px=..,...,opz=..)*" with every number as a signed decimal,
// without a terminator.
std::string FormatMouseDatagram(const MouseDatagram& datagram);

}  // namespace velmor
