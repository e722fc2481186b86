// The mouse remote: while a player is connected it takes the PC's mouse
// (through the capture library) and the keys A, B, C, X, Y and Z (through
// the keyboard hook), and sends their state about 58 times a second as one
// text datagram to the player's address on "iPortMouse".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/worker_thread.h"
#include "platform/socket.h"
#include "remote/key_hook.h"
#include "remote/mouse_capture.h"

namespace velmor {

class RemoteWindow;

// What the remote captures with and its clock.
struct MouseRemoteParts {
  std::shared_ptr<MouseCapture> capture;  // null: the remote never starts
  std::shared_ptr<KeyHook> key_hook;      // null: the keys read as up
  std::function<uint32_t()> clock;        // null: the system's tick counter
};

// This build's capture library and keyboard hook, and the system clock.
MouseRemoteParts ProductMouseRemoteParts();

class MouseRemote {
 public:
  // Holding buttons 1 and 2 this long forces a disconnect.
  static constexpr uint32_t kBothButtonsHoldMs = 15000;
  // Sender pass periods.
  static constexpr uint32_t kCapturingPassMs = 17;
  static constexpr uint32_t kIdlePassMs = 100;

  explicit MouseRemote(MouseRemoteParts parts = ProductMouseRemoteParts());  // starts the sender
  ~MouseRemote();  // stops the sender and the remote
  MouseRemote(const MouseRemote&) = delete;
  MouseRemote& operator=(const MouseRemote&) = delete;

  // Starts the remote toward the player at address ("a.b.c.d") and port,
  // with capture on. Fails, leaving the remote stopped, when there is no
  // working capture library, the socket cannot be made, or the address or
  // port is not a valid IPv4 destination (the text "non" included).
  bool StartMouseRemote(RemoteWindow* window, const std::string& address, int port,
                        bool take_keyboard_focus);
  void StopMouseRemote();
  // Capture on (the mouse and the keys go to the player); while the remote
  // is not running it only takes the keyboard focus when asked to.
  void CaptureOn();
  // Capture off; returns whether the remote is running.
  bool CaptureOff();

  // What CM_GET_MOUSE_ENABLE answers: 2 when the remote is not running, else
  // 1 while capturing and 0 when not.
  enum EnableStateValue : int { kNotCapturing = 0, kCapturing = 1, kNotRunning = 2 };
  int EnableState() const;

  bool running() const;
  bool capturing() const;
  // The destination address while running, else empty.
  std::string peer_address() const;

 private:
  static constexpr uint32_t kDeadlineFired = 0xffffffffu;

  static int Pass(void* self);
  // Under the lock.
  void StopLocked();
  void CaptureOnLocked();
  void RemoveKeyHookLocked();
  // Builds and sends one datagram; true when the both-buttons hold has just
  // run out.
  bool SendDatagramLocked();

  const MouseRemoteParts parts_;
  const bool networking_;

  mutable std::mutex lock_;
  RemoteWindow* window_ = nullptr;
  bool take_keyboard_focus_ = false;
  platform::Socket socket_;
  platform::Ipv4Address destination_;
  uint16_t port_ = 0;
  MouseCapture::Handle handle_ = nullptr;
  bool running_ = false;
  bool capturing_ = false;
  bool key_hook_installed_ = false;
  // Unsigned, so the sums wrap as two's complement numbers.
  uint32_t ct_ = 0;
  uint32_t px_ = 0;
  uint32_t py_ = 0;
  uint32_t pw_ = 0;
  uint32_t both_buttons_deadline_ = 0;  // 0 not armed, kDeadlineFired fired
  WorkerThread thread_;
};

}  // namespace velmor
