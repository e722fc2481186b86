#include "platform/socket_wait.h"

#include <windows.h>
#include <winsock2.h>

namespace velmor::platform {

void SocketWaitSet::Add(const Socket& socket, bool read, bool write) {
  if (!socket.IsOpen() || (!read && !write)) return;
  entries_.push_back({socket.handle_, read, write});
}

bool SocketWaitSet::Wait(uint32_t timeout_ms) const {
  // WSAPoll refuses an empty set.
  if (entries_.empty()) {
    Sleep(timeout_ms);
    return false;
  }
  std::vector<WSAPOLLFD> fds;
  fds.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    const SHORT events =
        static_cast<SHORT>((entry.read ? POLLRDNORM : 0) | (entry.write ? POLLWRNORM : 0));
    fds.push_back({static_cast<SOCKET>(entry.handle), events, 0});
  }
  const INT timeout = timeout_ms > 0x7FFFFFFFu ? -1 : static_cast<INT>(timeout_ms);
  const int result = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeout);
  // A socket closed by another thread makes WSAPoll fail at once; the
  // caller's next turn sees the change.
  if (result == SOCKET_ERROR) Sleep(timeout_ms < 1 ? 0 : 1);
  return result > 0;
}

}  // namespace velmor::platform
