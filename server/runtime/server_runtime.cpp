#include "runtime/server_runtime.h"

#include <string>
#include <utility>

#include "command/command_server.h"
#include "core/settings.h"
#include "remote/mouse_remote.h"
#include "runtime/player_stream_admission.h"
#include "stream/stream_server.h"

namespace velmor {
namespace {

// The ports of the settings that cannot be opened, as the status bar names
// them ("動画用 0, マウス 70000"); empty when all can.
std::string UnusablePorts(const S_CONFIG& config, bool any_free_port) {
  const struct {
    const char* name;
    int port;
  } ports[] = {{"コマンド", config.iPortServer},
               {"動画用", config.iPortHttp},
               {"マウス", config.iPortMouse}};
  std::string text;
  for (const auto& [name, port] : ports) {
    if (PortUsable(port, any_free_port)) continue;
    if (!text.empty()) text += ", ";
    text += std::string(name) + " " + std::to_string(port);
  }
  return text;
}

}  // namespace

bool PortUsable(int port, bool any_free_port) {
  return (port > 0 || (port == 0 && any_free_port)) && port <= 65535;
}

ServerRuntime::ServerRuntime(S_CONFIG settings) : settings_(std::move(settings)) {}

ServerRuntime::~ServerRuntime() { Shutdown(); }

void ServerRuntime::Start() {
  const S_CONFIG config = settings_.Copy();
  stream_server_ = std::make_unique<StreamServer>();
  command_server_ = std::make_unique<CommandServer>(this, &settings_, &library_);
  mouse_remote_ = std::make_unique<MouseRemote>(mouse_remote_parts_);
  admission_ = std::make_unique<PlayerStreamAdmission>(command_server_.get(), &library_);

  StreamServer::ListenSettings http;
  http.port = static_cast<uint16_t>(config.iPortHttp);
  http.admission = admission_.get();
  http.accept_num = config.iServerAcceptNum;
  http.accept_full_num = config.iServerAcceptFullNum;
  http.cache_block_mb = config.iServerCacheBuffSizeMB;
  http.cache_block_count = config.iServerCacheBuffNum;
  http.cache_protect_count = config.iServerCacheBuffProtectNum;
  if (PortUsable(config.iPortHttp, any_free_port_)) stream_server_->StartListener(http);

  if (PortUsable(config.iPortServer, any_free_port_)) {
    command_server_->StartCommandListener(static_cast<uint16_t>(config.iPortServer));
  }
  // A port typed as 0 or above 65535 in the settings would open some other
  // port (or none): its server stays idle and the user is told why.
  const std::string unusable = UnusablePorts(config, any_free_port_);
  if (!unusable.empty()) {
    command_server_->status().Post(kStatusPortUnusable, kTextPortUnusable + unusable,
                                   kTextPortUnusableHint);
  }
}

void ServerRuntime::Shutdown() {
  stream_server_.reset();
  command_server_.reset();
  admission_.reset();
  mouse_remote_.reset();
}

void ServerRuntime::ApplySettings() {
  if (command_server_) command_server_->ApplyServerSettings();
}

bool ServerRuntime::ConsumeStatusEvent(const std::function<void(const StatusEvent&)>& show) {
  if (!command_server_) return true;
  RunWindowCommands();
  StatusEvent event;
  if (!command_server_->status().Take(&event)) return false;
  if (event.code != kStatusNone && show) show(event);
  React(event);
  return true;
}

void ServerRuntime::React(const StatusEvent& event) {
  switch (event.code) {
    case kStatusConnected: {
      const S_CONFIG config = settings_.Copy();
      if (config.iUseMouse != 0 && mouse_remote_) {
        // Without a session the address is "non", which starts nothing.
        const std::string address = event.second_text.empty() ? "non" : event.second_text;
        mouse_remote_->StartMouseRemote(this, address, config.iPortMouse,
                                        config.iUseMouseGetKeybordFocus != 0);
      }
      break;
    }
    case kStatusDisconnected:
      if (stream_server_) stream_server_->StopAllSessions();
      if (mouse_remote_) mouse_remote_->StopMouseRemote();
      command_server_->status().Post(kStatusWaiting, kTextWaiting, "");
      break;
    case kStatusSuspended:
      if (mouse_remote_ && mouse_remote_->running()) mouse_remote_->CaptureOff();
      break;
    case kStatusResumed:
      if (mouse_remote_ && mouse_remote_->running()) mouse_remote_->CaptureOn();
      break;
    default:
      break;
  }
}

void ServerRuntime::ForceDisconnect() {
  if (command_server_) command_server_->RequestForcedDisconnect();
  if (stream_server_) stream_server_->StopAllSessions();
}

void ServerRuntime::PostWindowCommand(int control_id) {
  std::lock_guard<std::mutex> lock(window_commands_lock_);
  window_commands_.push_back(control_id);
}

void ServerRuntime::RunWindowCommands() {
  std::vector<int> commands;
  {
    std::lock_guard<std::mutex> lock(window_commands_lock_);
    commands.swap(window_commands_);
  }
  for (const int command : commands) {
    switch (command) {
      case kWindowCommandMouseOn:
        if (mouse_remote_) mouse_remote_->CaptureOn();
        break;
      case kWindowCommandMouseOff:
        if (mouse_remote_) mouse_remote_->CaptureOff();
        break;
      case kWindowCommandForcedDisconnect:
        ForceDisconnect();
        break;
      case kWindowCommandRefresh:
        settings_.Save();
        break;
      default:
        break;
    }
    if (window_command_) window_command_(command);
  }
}

}  // namespace velmor
