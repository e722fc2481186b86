#include "platform/socket_wait.h"

#include <errno.h>
#include <poll.h>

#include <climits>

namespace velmor::platform {

void SocketWaitSet::Add(const Socket& socket, bool read, bool write) {
  if (!socket.IsOpen() || (!read && !write)) return;
  entries_.push_back({socket.handle_, read, write});
}

bool SocketWaitSet::Wait(uint32_t timeout_ms) const {
  std::vector<pollfd> fds;
  fds.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    const short events =
        static_cast<short>((entry.read ? POLLIN : 0) | (entry.write ? POLLOUT : 0));
    fds.push_back({static_cast<int>(entry.handle), events, 0});
  }
  const int timeout =
      timeout_ms > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(timeout_ms);
  int result;
  do {
    result = poll(fds.data(), fds.size(), timeout);
  } while (result < 0 && errno == EINTR);
  return result > 0;
}

}  // namespace velmor::platform
