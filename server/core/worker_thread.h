// The long-running thread helper of the server: optional start, pass and end
// callbacks with user data, a stop event and a done event. The pass callback
// runs again and again until the thread is stopped or a pass returns 0; each
// pass does its own sleeping (or waiting on a socket or event).
#pragma once

#include <cstdint>
#include <memory>
#include <thread>

#include "platform/event.h"

namespace velmor {

class WorkerThread {
 public:
  using Callback = int (*)(void* user_data);

  // How long Stop waits for the thread before it abandons it.
  static constexpr uint32_t kStopTimeoutMs = 5000;

  WorkerThread() = default;
  ~WorkerThread();  // stops
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // False when the thread cannot be started (nothing further is reported).
  bool Start(Callback start, Callback pass, Callback end, void* user_data);
  // Signals the stop event and waits at most kStopTimeoutMs for the thread
  // to finish; a thread that does not finish in time is abandoned. Returns
  // true when the thread finished (or never ran).
  bool Stop();

  bool IsRunning() const { return thread_.joinable(); }
  // For pass callbacks that wait: set once Stop has been called.
  const platform::ManualResetEvent& stop_event() const { return events_->stop; }
  // Waits at most timeout_ms on the stop event; true when stop was asked.
  bool SleepUnlessStopped(uint32_t timeout_ms) const { return events_->stop.Wait(timeout_ms); }

 private:
  // Shared with the thread, so an abandoned thread never touches freed
  // events.
  struct Events {
    platform::ManualResetEvent stop;
    platform::ManualResetEvent done;
  };

  static void Run(std::shared_ptr<Events> events, Callback start, Callback pass, Callback end,
                  void* user_data);

  std::shared_ptr<Events> events_ = std::make_shared<Events>();
  std::thread thread_;
};

}  // namespace velmor
