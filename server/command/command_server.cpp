#include "command/command_server.h"

#include "base/utf.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/clock.h"

namespace velmor {
namespace {

uint32_t PackedAddress(const platform::Ipv4Address& address) {
  return static_cast<uint32_t>(address.bytes[0]) << 24 |
         static_cast<uint32_t>(address.bytes[1]) << 16 |
         static_cast<uint32_t>(address.bytes[2]) << 8 | address.bytes[3];
}

std::string FormatDisconnected(const std::string& reason) {
  std::string text = kTextDisconnectedFormat;
  text.replace(text.find("%s"), 2, reason);
  return text;
}

}  // namespace

CommandServer::CommandServer(ServerHost* host, Settings* settings, LibraryContext* library,
                             Clock clock)
    : host_(host),
      settings_(settings),
      clock_(clock != nullptr ? clock : &platform::TickCount),
      library_(library) {
  scratch_.resize(kScratchSize);
  networking_ = platform::StartNetworking();
  if (!session_thread_.Start(nullptr, &SessionPassCallback, nullptr, this)) Release();
}

CommandServer::~CommandServer() {
  {
    // The search job goes first: its worker reads the data table.
    std::lock_guard<std::recursive_mutex> lock(lock_);
    library_->StopSearches();
  }
  session_thread_.Stop();
  Release();
  if (networking_) platform::StopNetworking();
}

bool CommandServer::StartCommandListener(uint16_t port) {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (!listener_.ListenTcp(port, 1)) {
      Release();
      return false;
    }
    library_->Open();
  }
  ApplyServerSettings();
  connected_ = false;
  authenticated_ = false;
  status_.Post(kStatusNone, "", "");
  listening_ = true;
  status_.Post(kStatusWaiting, kTextWaiting, "");
  return true;
}

void CommandServer::ApplyServerSettings() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const S_CONFIG config = settings_->Copy();
  ResolveFolderSetting(config.pcTrimPath);
  live_timeout_ms_ = static_cast<uint32_t>(config.iLiveTimeOutSec) * 1000u;
  if (suspended_) {
    suspended_ = false;
    suspension_changed_ = true;
  }
  server_log_.Apply(config.iServerLog);
  library_->Apply(config);
}

void CommandServer::EndSession(const std::string& reason) {
  if (client_.IsOpen()) {
    client_.Close();
    status_.Post(kStatusDisconnected, FormatDisconnected(reason), peer_address());
  }
  std::lock_guard<std::recursive_mutex> lock(lock_);
  library_->EndSession();
  ResetSessionState();
  server_log_.Flush();
}

// What a session begins and ends with: no player, nothing received or
// queued.
void CommandServer::ResetSessionState() {
  forced_disconnect_ = false;
  connected_ = false;
  authenticated_ = false;
  admitted_session_ = 0;
  handshake_.authenticated = false;
  recv_fill_ = 0;
  packet_ = PacketView();
  cursor_ = ChunkCursor();
  if (send_) send_->Reset();
}

void CommandServer::Release() {
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    listening_ = false;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (send_) {
      send_->Flush();
      send_.reset();
    }
  }
  EndSession(kReasonRelease);
  listener_.Close();
  ReleaseLibrary();
}

void CommandServer::ReleaseLibrary() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  library_->Release();
  if (server_log_.IsOpen()) server_log_.WriteShutdownAndClose();
}

// Once per streak of failed saves (the table stays dirty and is retried),
// and never over an event the user interface has not taken yet.
void CommandServer::ReportSaveFailure() {
  DataTable* table = library_->data_table();
  if (table == nullptr || status_.pending().code != kStatusNone) return;
  if (table->TakeSaveFailure()) {
    status_.Post(kStatusSaveFailed, kTextError,
                 std::string(kTextCannotSave) + ": " + table->settings().path);
  }
}

void CommandServer::set_suspended(bool suspended) {
  suspended_ = suspended;
  suspension_changed_ = true;
}

CommandContext CommandServer::HandlerContext() {
  return {*library_, *settings_, *this, status_, server_log_, host_};
}

uint16_t CommandServer::port() const { return listener_.IsOpen() ? listener_.LocalPort() : 0; }

std::string CommandServer::peer_address() const {
  return connected_ ? peer_.ToString() : kNoPeerAddress;
}

// The session clears the flag before it publishes another address, so an
// address read between two set flags is the admitted player's.
bool CommandServer::AdmitsPeer(const platform::Ipv4Address& peer) const {
  if (!authenticated_.load()) return false;
  const bool same_machine = player_address_.load() == PackedAddress(peer);
  return same_machine && authenticated_.load();
}

void CommandServer::PublishPlayerAddress(const platform::Ipv4Address& peer) {
  player_address_.store(PackedAddress(peer));
}

}  // namespace velmor
