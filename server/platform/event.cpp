#include "platform/event.h"

#include <chrono>

namespace velmor::platform {

void ManualResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool ManualResetEvent::Wait(uint32_t timeout_ms) const {
  std::unique_lock<std::mutex> lock(mutex_);
  // steady_clock, so a change of the wall clock neither shortens nor
  // stretches the wait.
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return set_; });
}

}  // namespace velmor::platform
