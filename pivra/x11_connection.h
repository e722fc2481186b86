// One X connection and the thread of its own that speaks on it. Xlib is
// not asked to be thread-safe: before Start the owner sets the connection
// up on its thread, afterwards only the connection's thread touches the
// display, and the owner asks for changes through SettleNow.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "pivra/x11_calls.h"

namespace pivra {

class XConnection {
 public:
  // Called on the connection's thread with each event read.
  using EventHandler = std::function<void(XEvent* event)>;
  // Called on the connection's thread after each batch of events, after
  // each SettleNow and, with quitting set, once before the thread ends:
  // makes what the connection holds (a grab) match what its owner wants.
  // True when something could not be taken yet (another client holds it),
  // so it is called again within 100 ms.
  using Settler = std::function<bool(bool quitting)>;

  // A connection to $DISPLAY; null without libX11 or without a display.
  static std::unique_ptr<XConnection> Open();
  // Stops the thread and closes the display; the X server then drops
  // whatever this connection still held.
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  const XCalls& x() const { return *x_; }
  Display* display() const { return display_; }
  // True once the X server is gone: the display must not be asked anything
  // more.
  bool lost() const { return lost_; }

  void Start(EventHandler on_event, Settler settle);
  // Asks the thread to settle and returns once it has (at most 2 s).
  void SettleNow();
  // Ends the thread after a last settle with quitting set.
  void Stop();

 private:
  XConnection(const XCalls* x, Display* display, int wake_read, int wake_write);
  void Run();
  void ReadEvents();
  void Wake();
  static void OnConnectionLost(Display*, void* connection);

  const XCalls* const x_;
  Display* const display_;
  const int wake_read_;
  const int wake_write_;
  std::atomic<bool> lost_{false};
  EventHandler on_event_;
  Settler settle_;

  std::mutex mutex_;
  std::condition_variable settled_;
  bool quit_ = false;
  uint64_t requests_ = 0;          // settles asked for
  uint64_t settled_requests_ = 0;  // settles the thread has done

  std::thread thread_;
};

}  // namespace pivra
