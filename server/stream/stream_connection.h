// One HTTP connection of the stream server: its socket, the player's
// address, the request bytes not yet answered and the answer header not yet
// sent. A connection waits as pending until its first GET names a slot.
#pragma once

#include <string>
#include <string_view>

#include "platform/socket.h"
#include "stream/request_buffer.h"

namespace velmor {

struct StreamConnection {
  platform::Socket socket;
  platform::Ipv4Address peer;
  RequestBuffer requests;
  // Header bytes still to send; the body follows only once they are out.
  std::string header;
  size_t header_sent = 0;
  // The answer being sent has a body (200 or 206); a refusal stops it.
  bool sending_body = false;

  bool IsOpen() const { return socket.IsOpen(); }
  bool HasHeaderToSend() const { return header_sent < header.size(); }
  void QueueHeader(std::string_view bytes);
  void Close();
};

}  // namespace velmor
