// A manual-reset event: once set it stays set until reset, and every waiter
// wakes. The worker threads use one to be told to stop and one to say they
// are done.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace velmor::platform {

class ManualResetEvent {
 public:
  ManualResetEvent() = default;
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // True when the event is (or becomes) set within the time-out.
  bool Wait(uint32_t timeout_ms) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace velmor::platform
