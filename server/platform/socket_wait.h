// Waiting on many sockets at once: a server thread that serves several
// connections sleeps until one of them can be read or written, instead of
// polling each one on a fixed period.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/socket.h"

namespace velmor::platform {

class SocketWaitSet {
 public:
  void Clear() { entries_.clear(); }
  // Closed sockets are skipped. The handle is copied, so the set may be
  // waited on after the caller released the lock that guards the sockets.
  void Add(const Socket& socket, bool read, bool write);
  bool empty() const { return entries_.empty(); }

  // Waits until one socket is ready as asked (a closed or failed connection
  // counts as ready) or the time-out ends; an empty set just sleeps. True
  // when a socket is ready.
  bool Wait(uint32_t timeout_ms) const;

 private:
  struct Entry {
    intptr_t handle;
    bool read;
    bool write;
  };
  std::vector<Entry> entries_;
};

}  // namespace velmor::platform
