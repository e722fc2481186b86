// The status event slot: the session posts what the status bar shows (the
// last event wins) and writes it as an EVENT line to the server log; the
// host's consumer takes it every 100 ms. The slot lives under the command
// lock, and the consumer only tries that lock, so it never waits on a busy
// session.
#pragma once

#include <mutex>
#include <string>

#include "command/status_event.h"

namespace velmor {

class ServerLog;

class StatusSlot {
 public:
  StatusSlot(std::recursive_mutex* lock, ServerLog* log) : lock_(lock), log_(log) {}

  // Texts are kept to 259 characters; codes below 0 are not logged.
  void Post(int code, const std::string& first_text, const std::string& second_text);
  // Takes and clears the slot; false when the lock is busy (try again next
  // turn).
  bool Take(StatusEvent* event);
  // The event not yet taken, for the error line of a failed command; only
  // under the command lock.
  const StatusEvent& pending() const { return event_; }

 private:
  void WriteEventLine() const;

  std::recursive_mutex* lock_;
  ServerLog* log_;
  StatusEvent event_;
};

}  // namespace velmor
