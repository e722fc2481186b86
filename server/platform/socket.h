// IPv4 TCP and UDP sockets, non-blocking where the servers need it. Errors
// are reported with Winsock's numbers on every host (10035 "would block",
// 10054 "reset" ...), so logs and status texts read the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::platform {

enum SocketError : int {
  kSocketOk = 0,
  kSocketWouldBlock = 10035,
  kSocketInProgress = 10036,
  kSocketAddressInUse = 10048,
  kSocketNetworkDown = 10050,
  kSocketConnectionAborted = 10053,
  kSocketConnectionReset = 10054,
  kSocketNotConnected = 10057,
  kSocketTimedOut = 10060,
  kSocketConnectionRefused = 10061,
  kSocketOtherError = 10000,  // anything without a closer Winsock number
};

// Networking is started and stopped by each network object for itself; the
// calls count, so only the last stop really ends it (WSAStartup on Windows,
// nothing on POSIX).
bool StartNetworking();
void StopNetworking();

// An IPv4 address in network order as four bytes a.b.c.d.
struct Ipv4Address {
  uint8_t bytes[4] = {0, 0, 0, 0};
  std::string ToString() const;  // "%d.%d.%d.%d"
  static Ipv4Address Loopback();
  // "a.b.c.d": four decimal numbers 0 to 255 of one to three digits,
  // nothing else.
  static std::optional<Ipv4Address> Parse(std::string_view text);
};

class Socket {
 public:
  Socket() = default;
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;

  // A non-blocking TCP listener on every local address.
  bool ListenTcp(uint16_t port, int backlog, SocketError* error = nullptr);
  // The port a listener was bound to (useful with port 0).
  uint16_t LocalPort() const;
  // kSocketOk with *client filled, kSocketWouldBlock when nobody is waiting,
  // or another error. The client has the listener's blocking mode on every
  // host (as on Windows).
  SocketError Accept(Socket* client, Ipv4Address* peer);
  // A blocking connect, for the client tool and tests.
  bool ConnectTcp(const Ipv4Address& address, uint16_t port, uint32_t timeout_ms);
  // The same from a chosen local address (0.0.0.0: any), so that a second
  // loopback address such as 127.0.0.2 can play another machine.
  bool ConnectTcpFrom(const Ipv4Address& local, const Ipv4Address& address, uint16_t port,
                      uint32_t timeout_ms);

  bool OpenUdp();
  // A blocking UDP socket bound to every local address on the port (0: any
  // free one), for receiving datagrams with Receive.
  bool BindUdp(uint16_t port);
  bool SendTo(const Ipv4Address& address, uint16_t port, const void* data, size_t size);

  bool SetNonBlocking(bool non_blocking);
  // TCP: sends small segments at once instead of holding them until the
  // peer acknowledges what went before (Nagle's algorithm).
  bool SetNoDelay(bool no_delay);
  // Bytes moved (0 on receive means the peer closed), or -1 with *error set.
  int64_t Receive(void* buffer, size_t size, SocketError* error);
  int64_t Send(const void* data, size_t size, SocketError* error);
  // Waits until the socket can be read (or accepted) or written.
  bool WaitReadable(uint32_t timeout_ms) const;
  bool WaitWritable(uint32_t timeout_ms) const;

  bool IsOpen() const { return handle_ != kInvalid; }
  void Close();

 private:
  friend class SocketWaitSet;  // waits on many sockets at once (socket_wait.h)

  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
};

// The PC's IPv4 addresses as the user types them into the player, loopback
// last (or absent when the PC has others).
std::vector<std::string> LocalIpv4Addresses();

}  // namespace velmor::platform
