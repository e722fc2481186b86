#include "stream/stream_connection.h"

namespace velmor {

void StreamConnection::QueueHeader(std::string_view bytes) {
  if (!HasHeaderToSend()) {
    header.clear();
    header_sent = 0;
  }
  header.append(bytes);
}

void StreamConnection::Close() {
  socket.Close();
  peer = {};
  requests.Clear();
  header.clear();
  header_sent = 0;
  sending_body = false;
}

}  // namespace velmor
