#include "platform/socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <utility>

namespace velmor::platform {
namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

// errno as the Winsock number the logs show on every host.
SocketError ErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return kSocketOk;
#if EAGAIN != EWOULDBLOCK
    case EWOULDBLOCK:
#endif
    case EAGAIN:
      return kSocketWouldBlock;
    case EINPROGRESS:
      return kSocketInProgress;
    case EALREADY:
      return static_cast<SocketError>(10037);
    case EBADF:
    case ENOTSOCK:
      return static_cast<SocketError>(10038);
    case EMSGSIZE:
      return static_cast<SocketError>(10040);
    case EACCES:
      return static_cast<SocketError>(10013);
    case EADDRINUSE:
      return kSocketAddressInUse;
    case EADDRNOTAVAIL:
      return static_cast<SocketError>(10049);
    case ENETDOWN:
      return kSocketNetworkDown;
    case ENETUNREACH:
      return static_cast<SocketError>(10051);
    case ECONNABORTED:
      return kSocketConnectionAborted;
    case ECONNRESET:
    case EPIPE:  // writing to a connection the peer has dropped
      return kSocketConnectionReset;
    case ENOBUFS:
      return static_cast<SocketError>(10055);
    case ENOTCONN:
      return kSocketNotConnected;
    case ETIMEDOUT:
      return kSocketTimedOut;
    case ECONNREFUSED:
      return kSocketConnectionRefused;
    case EHOSTUNREACH:
      return static_cast<SocketError>(10065);
    default:
      return kSocketOtherError;
  }
}

int PollTimeout(uint32_t timeout_ms) {
  return timeout_ms > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(timeout_ms);
}

bool WaitFor(intptr_t handle, short events, uint32_t timeout_ms) {
  if (handle < 0) return false;
  pollfd entry{Fd(handle), events, 0};
  int result;
  do {
    result = poll(&entry, 1, PollTimeout(timeout_ms));
  } while (result < 0 && errno == EINTR);
  return result > 0;
}

bool SetBlockingMode(int fd, bool non_blocking) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int wanted = non_blocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
  return wanted == flags || fcntl(fd, F_SETFL, wanted) == 0;
}

sockaddr_in MakeAddress(const Ipv4Address& address, uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  memcpy(&result.sin_addr, address.bytes, 4);
  return result;
}

sockaddr_in AnyAddress(uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  result.sin_addr.s_addr = htonl(INADDR_ANY);
  return result;
}

// An outgoing connection from that local address (any port); 0.0.0.0
// leaves the choice to the system.
bool BindLocal(int fd, const Ipv4Address& local) {
  if (local.bytes[0] == 0 && local.bytes[1] == 0 && local.bytes[2] == 0 && local.bytes[3] == 0) {
    return true;
  }
  const sockaddr_in address = MakeAddress(local, 0);
  return bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

void SetError(SocketError* error, SocketError value) {
  if (error != nullptr) *error = value;
}

}  // namespace

bool StartNetworking() { return true; }
void StopNetworking() {}

Socket::~Socket() { Close(); }

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kInvalid);
  }
  return *this;
}

bool Socket::ListenTcp(uint16_t port, int backlog, SocketError* error) {
  Close();
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    SetError(error, ErrorFromErrno(errno));
    return false;
  }
  // A restarted server must bind while its old connections sit in TIME_WAIT;
  // on POSIX this does not let two listeners share the port.
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  const sockaddr_in address = AnyAddress(port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd, backlog) != 0) {
    SetError(error, ErrorFromErrno(errno));
    close(fd);
    return false;
  }
  handle_ = fd;
  SetError(error, kSocketOk);
  return true;
}

uint16_t Socket::LocalPort() const {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (handle_ < 0 || getsockname(Fd(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return 0;
  return ntohs(address.sin_port);
}

SocketError Socket::Accept(Socket* client, Ipv4Address* peer) {
  if (handle_ < 0) return static_cast<SocketError>(10038);
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  int fd;
  do {
    fd = accept4(Fd(handle_), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ErrorFromErrno(errno);
  // Like Winsock: the new socket has the listener's blocking mode.
  const int listener_flags = fcntl(Fd(handle_), F_GETFL);
  if (listener_flags >= 0 && (listener_flags & O_NONBLOCK) != 0) SetBlockingMode(fd, true);
  client->Close();
  client->handle_ = fd;
  if (peer != nullptr) memcpy(peer->bytes, &address.sin_addr, 4);
  return kSocketOk;
}

bool Socket::ConnectTcp(const Ipv4Address& address, uint16_t port, uint32_t timeout_ms) {
  return ConnectTcpFrom(Ipv4Address{}, address, port, timeout_ms);
}

bool Socket::ConnectTcpFrom(const Ipv4Address& local, const Ipv4Address& address, uint16_t port,
                            uint32_t timeout_ms) {
  Close();
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  handle_ = fd;
  if (!BindLocal(fd, local)) {
    Close();
    return false;
  }
  const sockaddr_in target = MakeAddress(address, port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) {
    int error = errno;
    if (error == EINPROGRESS && WaitWritable(timeout_ms)) {
      socklen_t length = sizeof(error);
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    } else if (error == EINPROGRESS) {
      error = ETIMEDOUT;
    }
    if (error != 0) {
      Close();
      return false;
    }
  }
  if (!SetBlockingMode(fd, false)) {
    Close();
    return false;
  }
  return true;
}

bool Socket::OpenUdp() {
  Close();
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // Announcements go to the broadcast address.
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &yes, sizeof(yes));
  handle_ = fd;
  return true;
}

bool Socket::BindUdp(uint16_t port) {
  if (!OpenUdp()) return false;
  const sockaddr_in address = AnyAddress(port);
  if (bind(Fd(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    Close();
    return false;
  }
  return true;
}

bool Socket::SendTo(const Ipv4Address& address, uint16_t port, const void* data, size_t size) {
  if (handle_ < 0) return false;
  const sockaddr_in target = MakeAddress(address, port);
  ssize_t sent;
  do {
    sent = sendto(Fd(handle_), data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&target),
                  sizeof(target));
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(size);
}

bool Socket::SetNonBlocking(bool non_blocking) {
  return handle_ >= 0 && SetBlockingMode(Fd(handle_), non_blocking);
}

bool Socket::SetNoDelay(bool no_delay) {
  const int value = no_delay ? 1 : 0;
  return handle_ >= 0 &&
         setsockopt(Fd(handle_), IPPROTO_TCP, TCP_NODELAY, &value, sizeof(value)) == 0;
}

int64_t Socket::Receive(void* buffer, size_t size, SocketError* error) {
  if (handle_ < 0) {
    SetError(error, static_cast<SocketError>(10038));
    return -1;
  }
  ssize_t got;
  do {
    got = recv(Fd(handle_), buffer, size, 0);
  } while (got < 0 && errno == EINTR);
  SetError(error, got < 0 ? ErrorFromErrno(errno) : kSocketOk);
  return got;
}

int64_t Socket::Send(const void* data, size_t size, SocketError* error) {
  if (handle_ < 0) {
    SetError(error, static_cast<SocketError>(10038));
    return -1;
  }
  ssize_t sent;
  do {
    // No SIGPIPE when the peer is gone: the caller gets an error instead.
    sent = send(Fd(handle_), data, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  SetError(error, sent < 0 ? ErrorFromErrno(errno) : kSocketOk);
  return sent;
}

bool Socket::WaitReadable(uint32_t timeout_ms) const {
  return WaitFor(handle_, POLLIN, timeout_ms);
}

bool Socket::WaitWritable(uint32_t timeout_ms) const {
  return WaitFor(handle_, POLLOUT, timeout_ms);
}

void Socket::Close() {
  if (handle_ < 0) return;
  close(Fd(handle_));
  handle_ = kInvalid;
}

std::vector<std::string> LocalIpv4Addresses() {
  std::vector<std::string> result;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
      if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
      if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
      Ipv4Address address;
      memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, 4);
      const std::string text = address.ToString();
      bool known = false;
      for (const auto& existing : result) known = known || existing == text;
      if (!known) result.push_back(text);
    }
    freeifaddrs(list);
  }
  // Without a network the player can still reach the server on this PC.
  if (result.empty()) result.push_back(Ipv4Address::Loopback().ToString());
  return result;
}

}  // namespace velmor::platform
