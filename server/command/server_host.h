// What the command server reaches through its host (the main window, or the
// headless host): the other two servers and the window's commands.
#pragma once

namespace velmor {

// The main window's button commands the server asks its host to run.
enum WindowCommand : int {
  kWindowCommandRefresh = 1005,           // show the channel table again, save the settings
  kWindowCommandMouseOn = 1028,           // mouse capture on
  kWindowCommandMouseOff = 1029,          // mouse capture off
  kWindowCommandForcedDisconnect = 1035,  // disconnect the player, release the streams
};

class MouseRemote;
class StreamServer;

class ServerHost {
 public:
  virtual ~ServerHost() = default;
  virtual StreamServer* stream_server() = 0;
  virtual MouseRemote* mouse_remote() = 0;
  // Asks the window to run one of its button commands (WindowCommand) on
  // its own thread; returns at once.
  virtual void PostWindowCommand(int control_id) = 0;
};

}  // namespace velmor
