// The three network servers brought up and torn down in their fixed order,
// and the consumer of the command server's status events. The main window
// and the headless host both run the server through this.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "command/library_context.h"
#include "command/server_host.h"
#include "command/status_event.h"
#include "core/settings.h"
#include "remote/mouse_remote.h"
#include "remote/remote_window.h"

namespace velmor {

class CommandServer;
class PlayerStreamAdmission;

// A port the settings may name: 1 to 65535 (0 too when it may be any free
// port).
bool PortUsable(int port, bool any_free_port);

class ServerRuntime : public ServerHost, public RemoteWindow {
 public:
  // Runs with these settings until the host loads them from the file.
  explicit ServerRuntime(S_CONFIG settings = DefaultConfig());
  ~ServerRuntime() override;  // shuts down when still running
  ServerRuntime(const ServerRuntime&) = delete;
  ServerRuntime& operator=(const ServerRuntime&) = delete;

  // What the mouse remote captures with (before Start; this build's
  // capture library by default).
  void SetMouseRemoteParts(MouseRemoteParts parts) { mouse_remote_parts_ = std::move(parts); }

  // Server start: the stream server and its listener, the command server
  // and its listener (which applies the settings), the mouse remote. A
  // port outside 1-65535 is not opened; the status event says which.
  void Start();
  // Lets a port of 0 in the settings open any free port (for tests).
  void AllowAnyFreePort() { any_free_port_ = true; }
  // Server shutdown: stream server, command server (saves, writes
  // "SHUTDOWN", closes the log), mouse remote.
  void Shutdown();

  // Applies the current settings again (after a reload or the dialog).
  void ApplySettings();

  // One turn of the event consumer (every 100 ms): takes the status event,
  // hands it to show() when its code is not 0, and reacts to it. False when
  // the command lock was busy and the turn was skipped.
  bool ConsumeStatusEvent(const std::function<void(const StatusEvent&)>& show);

  // The user's forced disconnect.
  void ForceDisconnect();

  // The settings the servers run with; the host loads them before Start.
  Settings& settings() { return settings_; }
  CommandServer* command_server() const { return command_server_.get(); }
  // The library the command server opens while it listens.
  LibraryContext& library() { return library_; }
  StreamServer* stream_server() override { return stream_server_.get(); }
  MouseRemote* mouse_remote() override { return mouse_remote_.get(); }
  // Queues a window command; it runs in the next consumer turn, on the
  // host's thread.
  void PostWindowCommand(int control_id) override;
  // Where window commands the runtime does not carry out itself go (the
  // main window refreshes its table); a host without a window leaves it
  // empty.
  void SetWindowCommandHandler(std::function<void(int)> handler) {
    window_command_ = std::move(handler);
  }
  // How the window comes to the foreground when mouse capture starts; a
  // host without a window leaves it empty.
  void SetKeyboardFocusHandler(std::function<void()> handler) {
    keyboard_focus_ = std::move(handler);
  }

  // The mouse remote's window: its both-buttons hold runs the forced
  // disconnect command in the next consumer turn.
  void PostForcedDisconnect() override { PostWindowCommand(kWindowCommandForcedDisconnect); }
  void TakeKeyboardFocus() override {
    if (keyboard_focus_) keyboard_focus_();
  }

 private:
  void React(const StatusEvent& event);
  void RunWindowCommands();

  Settings settings_;
  LibraryContext library_;  // outlives the command server that opens it
  std::unique_ptr<StreamServer> stream_server_;
  std::unique_ptr<CommandServer> command_server_;
  std::unique_ptr<PlayerStreamAdmission> admission_;  // the stream server asks it
  MouseRemoteParts mouse_remote_parts_ = ProductMouseRemoteParts();
  std::unique_ptr<MouseRemote> mouse_remote_;
  bool any_free_port_ = false;
  std::function<void(int)> window_command_;
  std::function<void()> keyboard_focus_;
  std::mutex window_commands_lock_;
  std::vector<int> window_commands_;
};

}  // namespace velmor
