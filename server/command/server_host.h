// What the command server reaches through its host (the main window, or the
// headless host): the other two servers and the window's commands.
#pragma once

namespace velmor {

class MouseRemote;
class StreamServer;

class ServerHost {
 public:
  virtual ~ServerHost() = default;
  virtual StreamServer* stream_server() = 0;
  virtual MouseRemote* mouse_remote() = 0;
  // Asks the window to run one of its button commands (by control id).
  virtual void PostWindowCommand(int control_id) = 0;
};

}  // namespace velmor
