#include "platform/socket.h"

#include <winsock2.h>
// In this order: Winsock first, the helper API after it.
#include <iphlpapi.h>
#include <windows.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <utility>

namespace velmor::platform {
namespace {

std::mutex networking_mutex;
int networking_users = 0;

SOCKET Raw(intptr_t handle) { return static_cast<SOCKET>(handle); }

SocketError LastError() { return static_cast<SocketError>(WSAGetLastError()); }

void SetError(SocketError* error, SocketError value) {
  if (error != nullptr) *error = value;
}

// Sockets are inheritable by default; a child process must not keep the
// server's port or connections open.
SOCKET NewSocket(int type, int protocol) {
  return WSASocketW(AF_INET, type, protocol, nullptr, 0,
                    WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
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
bool BindLocal(SOCKET socket, const Ipv4Address& local) {
  if (local.bytes[0] == 0 && local.bytes[1] == 0 && local.bytes[2] == 0 && local.bytes[3] == 0) {
    return true;
  }
  const sockaddr_in address = MakeAddress(local, 0);
  return bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

timeval Timeval(uint32_t timeout_ms) {
  timeval result{};
  result.tv_sec = static_cast<long>(timeout_ms / 1000);
  result.tv_usec = static_cast<long>(timeout_ms % 1000) * 1000;
  return result;
}

int ClampSize(size_t size) { return static_cast<int>(std::min<size_t>(size, INT_MAX)); }

bool IsLoopback(const Ipv4Address& address) { return address.bytes[0] == 127; }

void AddUnique(std::vector<std::string>* list, const std::string& text) {
  if (std::find(list->begin(), list->end(), text) == list->end()) list->push_back(text);
}

// The addresses of the adapters that are up, loopback left out.
void AddAdapterAddresses(std::vector<std::string>* result) {
  const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG status = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    status = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (status != NO_ERROR) return;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    if (adapter->OperStatus != IfOperStatusUp) continue;
    for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      const sockaddr* raw = unicast->Address.lpSockaddr;
      if (raw == nullptr || raw->sa_family != AF_INET) continue;
      Ipv4Address address;
      memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(raw)->sin_addr, 4);
      if (!IsLoopback(address)) AddUnique(result, address.ToString());
    }
  }
}

// The older way, for systems where the adapter list is not available.
void AddHostNameAddresses(std::vector<std::string>* result) {
  char name[256];
  if (gethostname(name, sizeof(name)) != 0) return;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* list = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &list) != 0) return;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    Ipv4Address address;
    memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr, 4);
    if (!IsLoopback(address)) AddUnique(result, address.ToString());
  }
  freeaddrinfo(list);
}

}  // namespace

bool StartNetworking() {
  std::lock_guard<std::mutex> lock(networking_mutex);
  if (networking_users == 0) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  }
  ++networking_users;
  return true;
}

void StopNetworking() {
  std::lock_guard<std::mutex> lock(networking_mutex);
  if (networking_users == 0) return;
  if (--networking_users == 0) WSACleanup();
}

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
  const SOCKET socket = NewSocket(SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) {
    SetError(error, LastError());
    return false;
  }
  // No SO_REUSEADDR: on Windows it would let another program take the port
  // from under us; TIME_WAIT does not block a new listener there anyway.
  const sockaddr_in address = AnyAddress(port);
  u_long non_blocking = 1;
  if (bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(socket, backlog) != 0 || ioctlsocket(socket, FIONBIO, &non_blocking) != 0) {
    SetError(error, LastError());
    closesocket(socket);
    return false;
  }
  handle_ = static_cast<intptr_t>(socket);
  SetError(error, kSocketOk);
  return true;
}

uint16_t Socket::LocalPort() const {
  sockaddr_in address{};
  int length = sizeof(address);
  if (!IsOpen() || getsockname(Raw(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return 0;
  return ntohs(address.sin_port);
}

SocketError Socket::Accept(Socket* client, Ipv4Address* peer) {
  if (!IsOpen()) return static_cast<SocketError>(WSAENOTSOCK);
  sockaddr_in address{};
  int length = sizeof(address);
  // The accepted socket takes the listener's mode, non-blocking included.
  const SOCKET socket = accept(Raw(handle_), reinterpret_cast<sockaddr*>(&address), &length);
  if (socket == INVALID_SOCKET) return LastError();
  SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  client->Close();
  client->handle_ = static_cast<intptr_t>(socket);
  if (peer != nullptr) memcpy(peer->bytes, &address.sin_addr, 4);
  return kSocketOk;
}

bool Socket::ConnectTcp(const Ipv4Address& address, uint16_t port, uint32_t timeout_ms) {
  return ConnectTcpFrom(Ipv4Address{}, address, port, timeout_ms);
}

bool Socket::ConnectTcpFrom(const Ipv4Address& local, const Ipv4Address& address, uint16_t port,
                            uint32_t timeout_ms) {
  Close();
  const SOCKET socket = NewSocket(SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return false;
  handle_ = static_cast<intptr_t>(socket);
  if (!BindLocal(socket, local) || !SetNonBlocking(true)) {
    Close();
    return false;
  }
  const sockaddr_in target = MakeAddress(address, port);
  if (connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
      Close();
      return false;
    }
    // A refused connection shows in the exception set, not as writable.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval timeout = Timeval(timeout_ms);
    int error = 0;
    int length = sizeof(error);
    if (select(0, nullptr, &writable, &failed, &timeout) <= 0 || !FD_ISSET(socket, &writable) ||
        getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
        error != 0) {
      Close();
      return false;
    }
  }
  if (!SetNonBlocking(false)) {
    Close();
    return false;
  }
  return true;
}

bool Socket::OpenUdp() {
  Close();
  const SOCKET socket = NewSocket(SOCK_DGRAM, IPPROTO_UDP);
  if (socket == INVALID_SOCKET) return false;
  // Announcements go to the broadcast address.
  const BOOL yes = TRUE;
  setsockopt(socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&yes), sizeof(yes));
  handle_ = static_cast<intptr_t>(socket);
  return true;
}

bool Socket::BindUdp(uint16_t port) {
  if (!OpenUdp()) return false;
  const sockaddr_in address = AnyAddress(port);
  if (bind(Raw(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    Close();
    return false;
  }
  return true;
}

bool Socket::SendTo(const Ipv4Address& address, uint16_t port, const void* data, size_t size) {
  if (!IsOpen() || size > INT_MAX) return false;
  const sockaddr_in target = MakeAddress(address, port);
  const int sent = sendto(Raw(handle_), static_cast<const char*>(data), static_cast<int>(size), 0,
                          reinterpret_cast<const sockaddr*>(&target), sizeof(target));
  return sent == static_cast<int>(size);
}

bool Socket::SetNonBlocking(bool non_blocking) {
  u_long mode = non_blocking ? 1 : 0;
  return IsOpen() && ioctlsocket(Raw(handle_), FIONBIO, &mode) == 0;
}

bool Socket::SetNoDelay(bool no_delay) {
  const BOOL value = no_delay ? TRUE : FALSE;
  return IsOpen() && setsockopt(Raw(handle_), IPPROTO_TCP, TCP_NODELAY,
                                reinterpret_cast<const char*>(&value), sizeof(value)) == 0;
}

int64_t Socket::Receive(void* buffer, size_t size, SocketError* error) {
  if (!IsOpen()) {
    SetError(error, static_cast<SocketError>(WSAENOTSOCK));
    return -1;
  }
  const int got = recv(Raw(handle_), static_cast<char*>(buffer), ClampSize(size), 0);
  SetError(error, got == SOCKET_ERROR ? LastError() : kSocketOk);
  return got == SOCKET_ERROR ? -1 : got;
}

int64_t Socket::Send(const void* data, size_t size, SocketError* error) {
  if (!IsOpen()) {
    SetError(error, static_cast<SocketError>(WSAENOTSOCK));
    return -1;
  }
  const int sent = send(Raw(handle_), static_cast<const char*>(data), ClampSize(size), 0);
  SetError(error, sent == SOCKET_ERROR ? LastError() : kSocketOk);
  return sent == SOCKET_ERROR ? -1 : sent;
}

bool Socket::WaitReadable(uint32_t timeout_ms) const {
  if (!IsOpen()) return false;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Raw(handle_), &readable);
  timeval timeout = Timeval(timeout_ms);
  return select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

bool Socket::WaitWritable(uint32_t timeout_ms) const {
  if (!IsOpen()) return false;
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(Raw(handle_), &writable);
  timeval timeout = Timeval(timeout_ms);
  return select(0, nullptr, &writable, nullptr, &timeout) > 0;
}

void Socket::Close() {
  if (!IsOpen()) return;
  closesocket(Raw(handle_));
  handle_ = kInvalid;
}

std::vector<std::string> LocalIpv4Addresses() {
  std::vector<std::string> result;
  AddAdapterAddresses(&result);
  if (result.empty() && StartNetworking()) {
    AddHostNameAddresses(&result);
    StopNetworking();
  }
  // Without a network the player can still reach the server on this PC.
  if (result.empty()) result.push_back(Ipv4Address::Loopback().ToString());
  return result;
}

}  // namespace velmor::platform
