#include "pivra/x11_connection.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace pivra {

std::unique_ptr<XConnection> XConnection::Open() {
  const XCalls* x = LoadXCalls();
  if (x == nullptr) return nullptr;
  Display* display = x->OpenDisplay(nullptr);  // $DISPLAY
  if (display == nullptr) return nullptr;
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    x->CloseDisplay(display);
    return nullptr;
  }
  return std::unique_ptr<XConnection>(new XConnection(x, display, wake[0], wake[1]));
}

XConnection::XConnection(const XCalls* x, Display* display, int wake_read, int wake_write)
    : x_(x), display_(display), wake_read_(wake_read), wake_write_(wake_write) {
  x_->SetIOErrorExitHandler(display_, OnConnectionLost, this);
}

XConnection::~XConnection() {
  Stop();
  // A display whose connection broke stays open: Xlib must not be asked
  // anything more about it.
  if (!lost_) x_->CloseDisplay(display_);
  close(wake_read_);
  close(wake_write_);
}

void XConnection::Start(EventHandler on_event, Settler settle) {
  on_event_ = std::move(on_event);
  settle_ = std::move(settle);
  thread_ = std::thread([this] { Run(); });
}

void XConnection::SettleNow() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!thread_.joinable()) return;
  uint64_t request = ++requests_;
  Wake();
  settled_.wait_for(lock, std::chrono::seconds(2), [&] { return settled_requests_ >= request; });
}

void XConnection::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  Wake();
  thread_.join();
}

void XConnection::Wake() {
  char byte = 0;
  [[maybe_unused]] ssize_t written = write(wake_write_, &byte, 1);  // a full pipe wakes as well
}

void XConnection::OnConnectionLost(Display*, void* connection) {
  static_cast<XConnection*>(connection)->lost_ = true;
}

void XConnection::Run() {
  const int x_fd = x_->ConnectionNumberOf(display_);
  for (;;) {
    ReadEvents();
    bool quit;
    uint64_t requests;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit = quit_;
      requests = requests_;
    }
    const bool retry = settle_(quit);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      settled_requests_ = requests;
    }
    settled_.notify_all();
    if (quit) return;

    pollfd fds[2] = {{wake_read_, POLLIN, 0}, {x_fd, POLLIN, 0}};
    poll(fds, lost_ ? 1 : 2, retry && !lost_ ? 100 : -1);
    char drain[64];
    while (read(wake_read_, drain, sizeof drain) > 0) {
    }
  }
}

void XConnection::ReadEvents() {
  while (!lost_ && x_->Pending(display_) > 0) {
    XEvent event;
    x_->NextEvent(display_, &event);
    on_event_(&event);
  }
}

}  // namespace pivra
