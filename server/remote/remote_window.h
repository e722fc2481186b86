// The window the mouse remote works for (the main window, or the headless
// host): it carries out the both-buttons forced disconnect and takes the
// keyboard focus when capture starts.
#pragma once

namespace velmor {

class RemoteWindow {
 public:
  virtual ~RemoteWindow() = default;
  // Asks the window to run its forced disconnect on its own thread; returns
  // at once (called from the remote's sender thread).
  virtual void PostForcedDisconnect() = 0;
  // Brings the window to the foreground; called on the window's thread.
  virtual void TakeKeyboardFocus() = 0;
};

}  // namespace velmor
