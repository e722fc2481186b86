#include "core/worker_thread.h"

#include <system_error>
#include <utility>

namespace velmor {

WorkerThread::~WorkerThread() { Stop(); }

bool WorkerThread::Start(Callback start, Callback pass, Callback end, void* user_data) {
  if (thread_.joinable()) return false;
  events_ = std::make_shared<Events>();
  try {
    thread_ = std::thread(&WorkerThread::Run, events_, start, pass, end, user_data);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void WorkerThread::Run(std::shared_ptr<Events> events, Callback start, Callback pass, Callback end,
                       void* user_data) {
  const bool go_on = start == nullptr || start(user_data) != 0;
  if (go_on && pass != nullptr) {
    while (!events->stop.IsSet()) {
      if (pass(user_data) == 0) break;
    }
  }
  if (end != nullptr) end(user_data);
  events->done.Set();
}

bool WorkerThread::Stop() {
  if (!thread_.joinable()) return true;
  events_->stop.Set();
  const bool finished = events_->done.Wait(kStopTimeoutMs);
  if (finished) {
    thread_.join();
  } else {
    thread_.detach();
  }
  return finished;
}

}  // namespace velmor
