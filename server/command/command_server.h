// The command server: the listener on the command port and the session with
// one player at a time, the status event slot, the server log, and the
// library objects every command works on (it owns them while it listens).
// It publishes for the stream server's admission the authenticated flag,
// the player's address and the extension sets, none of which needs the
// command lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "command/handshake.h"
#include "command/packet_reader.h"
#include "command/packet_writer.h"
#include "command/status_event.h"
#include "core/server_log.h"
#include "core/worker_thread.h"
#include "library/channel_list.h"
#include "library/data_table.h"
#include "library/ext_set.h"
#include "library/search_manager.h"
#include "library/word_list.h"
#include "platform/socket.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor {

class ServerHost;
class Settings;
struct S_CONFIG;

class CommandServer {
 public:
  // Receive and send buffers hold one packet of up to 1 MiB and its header.
  static constexpr size_t kBufferCapacity = 1048608;
  static constexpr size_t kScratchSize = 2048;

  // The millisecond clock every time-out of the session is measured on;
  // tests drive it by hand.
  using Clock = uint32_t (*)();

  // The settings outlive the server; ApplyServerSettings and the command
  // handlers read them, CM_SET_CHANNEL_TYPE changes the channel table.
  CommandServer(ServerHost* host, Settings* settings, Clock clock = nullptr);
  ~CommandServer();  // the shutdown steps: stop the session, Release
  CommandServer(const CommandServer&) = delete;
  CommandServer& operator=(const CommandServer&) = delete;

  // Opens the listener, creates the library objects and applies the
  // settings. False (with everything released) when the port cannot be
  // opened.
  bool StartCommandListener(uint16_t port);
  // Applies the current settings to the running server; safe while a
  // player is served (it holds the command lock).
  void ApplyServerSettings();

  void PostStatusEvent(int code, const std::string& first_text, const std::string& second_text);
  // For the event consumer: takes and clears the slot without waiting for
  // the lock; false when the lock is busy (try again next turn).
  bool TakeStatusEvent(StatusEvent* event);

  void RequestForcedDisconnect() { forced_disconnect_.store(true); }
  void EndSession(const std::string& reason);
  void Release();

  bool listening() const { return listening_.load(); }
  bool connected() const { return connected_.load(); }
  bool authenticated() const { return authenticated_.load(); }
  int client_protocol_version() const { return handshake_.protocol_version; }
  uint16_t port() const;
  uint32_t live_timeout_ms() const { return live_timeout_ms_.load(); }
  // The liveness check is off while suspended (CM_LIVE_TIME).
  bool suspended() const { return suspended_.load(); }
  void set_suspended(bool suspended);
  std::string peer_address() const;

  // For the stream server's admission, from any thread without the command
  // lock: the address is published before the flag is set, and the flag
  // cleared before the address changes.
  bool AdmitsPeer(const platform::Ipv4Address& peer) const;
  bool IsMediaPath(const std::string& path) const;

  ServerLog& server_log() { return server_log_; }
  // For handlers that answer with more than a result line: queues a reply
  // text, or takes the next chunk of an upload from the rest of the packet
  // and then from the packets that follow (false when the session ended or
  // the server stops before it came).
  void QueueText(const std::string& text);
  // The session's send buffer (null without a player), for handlers that
  // send records of their own.
  PacketWriter* send_buffer() { return send_.get(); }
  bool TakeFollowingChunk(Chunk* chunk);
  ServerHost* host() const { return host_; }
  Settings& settings() const { return *settings_; }
  std::recursive_mutex& lock() { return lock_; }
  // Library objects: null before the listener starts and after Release.
  CChannelList* favourites() const { return favourites_.get(); }
  CChannelList* search_results() const { return search_results_.get(); }
  WordList* word_list() const { return word_list_.get(); }
  // The search jobs' holder: null until the first search command creates
  // it; CreateSearchManager gives null when its thread cannot start.
  SearchManager* search_manager() const { return search_.get(); }
  SearchManager* CreateSearchManager();
  ThumbnailManager* thumbnails() const { return thumbnails_.get(); }
  DataTable* data_table() const { return data_table_.get(); }
  // Valid while the command lock is held: only ApplyServerSettings, under
  // that lock, replaces them.
  const CExt& video_extensions() const { return media_->video; }
  const CExt& audio_extensions() const { return media_->audio; }
  const CExt& image_extensions() const { return media_->image; }

 private:
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
  void WriteEventLine(int code, const std::string& first_text, const std::string& second_text);
  void BindChannelLists(const S_CONFIG& config);
  void ReleaseLibrary();
  void PublishPlayerAddress(const platform::Ipv4Address& peer);
  void PublishMediaExtensions(const S_CONFIG& config);

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
  size_t recv_capacity_ = kBufferCapacity;
  size_t send_capacity_ = kBufferCapacity;
  std::unique_ptr<uint8_t[]> recv_buffer_;  // allocated at the first receive
  size_t recv_fill_ = 0;
  PacketView packet_;  // the packet being served, framed at the buffer's front
  ChunkCursor cursor_;
  std::unique_ptr<PacketWriter> send_;  // allocated at the first accept
  StatusEvent status_;

  // Library objects, owned while listening.
  ServerLog server_log_;
  std::unique_ptr<CChannelList> favourites_;
  std::unique_ptr<CChannelList> search_results_;
  std::unique_ptr<WordList> word_list_;
  std::unique_ptr<SearchManager> search_;
  std::unique_ptr<ThumbnailManager> thumbnails_;
  std::unique_ptr<DataTable> data_table_;

  // Published for the stream thread: the player's address packed into 32
  // bits, and the three sets, replaced whole, never changed.
  struct MediaExtensions {
    CExt video;
    CExt audio;
    CExt image;
    MediaSets Sets() const { return {video, audio, image}; }
  };
  std::atomic<uint32_t> player_address_{0};
  mutable std::mutex media_lock_;  // guards only the pointer's copy and swap
  std::shared_ptr<const MediaExtensions> media_ = std::make_shared<const MediaExtensions>();

  std::vector<uint8_t> scratch_;

  WorkerThread session_thread_;
};

}  // namespace velmor
