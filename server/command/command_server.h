// The command server: the listener on the command port and the session with
// one player at a time, with its status event slot and server log. The
// library it serves belongs to its owner; the server opens it when it
// starts listening and releases it at its end. It publishes for the stream
// server's admission the authenticated flag and the player's address,
// neither of which needs the command lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "command/command_context.h"
#include "command/handshake.h"
#include "command/library_context.h"
#include "command/packet_reader.h"
#include "command/packet_writer.h"
#include "command/status_slot.h"
#include "core/server_log.h"
#include "core/worker_thread.h"
#include "platform/socket.h"

namespace velmor {

class ServerHost;
class Settings;

class CommandServer final : private SessionReplies {
 public:
  // Receive and send buffers hold one packet of up to 1 MiB and its header.
  static constexpr size_t kBufferCapacity = 1048608;
  static constexpr size_t kScratchSize = 2048;

  // The millisecond clock every time-out of the session is measured on;
  // tests drive it by hand.
  using Clock = uint32_t (*)();

  // The settings and the library outlive the server; ApplyServerSettings and
  // the command handlers read the settings, CM_SET_CHANNEL_TYPE changes the
  // channel table.
  CommandServer(ServerHost* host, Settings* settings, LibraryContext* library,
                Clock clock = nullptr);
  ~CommandServer();  // the shutdown steps: stop the session, Release
  CommandServer(const CommandServer&) = delete;
  CommandServer& operator=(const CommandServer&) = delete;

  // Opens the listener, opens the library and applies the settings. False (with everything
  // released) when the port cannot be opened.
  bool StartCommandListener(uint16_t port);
  // Applies the current settings to the running server; safe while a
  // player is served (it holds the command lock).
  void ApplyServerSettings();

  // What the status bar shows; the event consumer takes it without waiting
  // for the command lock.
  StatusSlot& status() { return status_; }

  void RequestForcedDisconnect() { forced_disconnect_.store(true); }
  void EndSession(const std::string& reason);
  void Release();

  bool listening() const { return listening_.load(); }
  bool connected() const { return connected_.load(); }
  bool authenticated() const { return authenticated_.load(); }
  uint16_t port() const;
  uint32_t live_timeout_ms() const { return live_timeout_ms_.load(); }
  bool suspended() const override { return suspended_.load(); }
  std::string peer_address() const override;

  // For the stream server's admission, from any thread without the command
  // lock: the address is published before the flag is set, and the flag
  // cleared before the address changes.
  bool AdmitsPeer(const platform::Ipv4Address& peer) const;
  // 0 without an admitted player; every admission gets a new number.
  uint32_t admitted_session() const { return admitted_session_.load(); }

  ServerLog& server_log() { return server_log_; }
  ServerHost* host() const { return host_; }
  Settings& settings() const { return *settings_; }
  std::recursive_mutex& lock() { return lock_; }

 private:
  // The session as the command handlers answer through it.
  void QueueText(const std::string& text) override;
  PacketWriter* send_buffer() override { return send_.get(); }
  bool TakeFollowingChunk(Chunk* chunk) override;
  int client_protocol_version() const override { return handshake_.protocol_version; }
  void set_suspended(bool suspended) override;
  CommandContext HandlerContext();

  static int SessionPassCallback(void* self);
  int SessionPass();
  // One turn of the session (command_session.cpp): accept, receive, frame,
  // answer every chunk of one packet.
  void SessionStep();
  bool AcceptPlayer();
  bool ReceivePacket();
  void ServePacket();
  int DispatchChunk(const Chunk& chunk);
  int HandleText(const std::string& text);
  int HandleCommand(const Chunk& chunk);
  int ApplyHandshake(const HandshakeOutcome& outcome);
  void QueueResultLine(int result);
  bool SendPacket(std::span<const uint8_t> packet);
  enum class SendResult { kSent, kTimedOut, kFailed };
  SendResult SendAll(const uint8_t* data, size_t size, uint32_t timeout_ms);
  void DropPacket();
  void ResetSessionState();
  bool HasBufferedPacket() const;
  // Waits (without the lock) for the next thing the session can do.
  void WaitForWork(bool connected);
  void ReleaseLibrary();
  void ReportSaveFailure();
  void PublishPlayerAddress(const platform::Ipv4Address& peer);

  ServerHost* host_;
  Settings* settings_;
  std::recursive_mutex lock_;
  bool networking_ = false;

  // Session state.
  platform::Socket listener_;
  platform::Socket client_;
  platform::Ipv4Address peer_;
  std::atomic<bool> listening_{false};
  std::atomic<bool> connected_{false};
  std::atomic<bool> authenticated_{false};
  std::atomic<bool> suspended_{false};
  std::atomic<bool> suspension_changed_{false};
  std::atomic<bool> forced_disconnect_{false};
  Clock clock_;
  HandshakeState handshake_;
  std::atomic<uint32_t> live_timeout_ms_{120000};
  uint32_t last_activity_ms_ = 0;
  uint32_t accepted_ms_ = 0;
  uint32_t admission_deadline_ms_ = 0;  // from accepted_ms_, until admitted
  size_t recv_capacity_ = kBufferCapacity;
  size_t send_capacity_ = kBufferCapacity;
  std::unique_ptr<uint8_t[]> recv_buffer_;  // allocated at the first receive
  size_t recv_fill_ = 0;
  PacketView packet_;  // the packet being served, framed at the buffer's front
  ChunkCursor cursor_;
  std::unique_ptr<PacketWriter> send_;  // allocated at the first accept
  ServerLog server_log_;
  StatusSlot status_{&lock_, &server_log_};
  LibraryContext* library_;  // opened while listening

  // Published for the stream thread: the player's address packed into 32
  // bits.
  std::atomic<uint32_t> player_address_{0};
  std::atomic<uint32_t> admitted_session_{0};
  uint32_t sessions_admitted_ = 0;

  std::vector<uint8_t> scratch_;

  WorkerThread session_thread_;
};

}  // namespace velmor
