// The mouse remote: hands the PC's mouse to the connected player, sending
// its state as datagrams to the player's address on "iPortMouse".
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "core/worker_thread.h"

namespace velmor {

class MouseRemote {
 public:
  MouseRemote();   // starts its thread
  ~MouseRemote();  // stops the thread and remote control
  MouseRemote(const MouseRemote&) = delete;
  MouseRemote& operator=(const MouseRemote&) = delete;

  // Starts remote control toward the player.
  void Start(const std::string& peer_address, int port, bool take_keyboard_focus);
  void Stop();
  // Switches capture off and on while remote control stays active.
  void SetControl(bool on);

  // What the player is told: 2 when the remote is not running, else 1 while
  // capturing and 0 when not.
  enum EnableStateValue : int { kNotCapturing = 0, kCapturing = 1, kNotRunning = 2 };
  int EnableState() const;

  bool active() const;
  bool control() const;
  std::string peer_address() const;

 private:
  static int Pass(void* self);

  mutable std::mutex lock_;
  bool active_ = false;
  bool control_ = false;
  std::string peer_address_;
  int port_ = 0;
  bool take_keyboard_focus_ = false;
  WorkerThread thread_;
};

}  // namespace velmor
