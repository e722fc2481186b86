// The command server: the listener on the command port and the session with
// one player at a time, the status event slot, the server log, and the
// library objects every command works on (it owns them while it listens).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "command/status_event.h"
#include "core/server_log.h"
#include "core/worker_thread.h"
#include "library/channel_list.h"
#include "library/data_table.h"
#include "library/ext_set.h"
#include "library/word_list.h"
#include "platform/socket.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor {

class ServerHost;

class CommandServer {
 public:
  // Receive and send buffers hold one packet of up to 1 MiB and its header.
  static constexpr size_t kBufferCapacity = 1048608;
  static constexpr size_t kScratchSize = 2048;

  explicit CommandServer(ServerHost* host);
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
  uint16_t port() const;
  uint32_t live_timeout_ms() const { return live_timeout_ms_.load(); }
  std::string peer_address() const;

  ServerLog& server_log() { return server_log_; }
  ServerHost* host() const { return host_; }
  std::recursive_mutex& lock() { return lock_; }
  // Library objects: null before the listener starts and after Release.
  CChannelList* favourites() const { return favourites_.get(); }
  CChannelList* search_results() const { return search_results_.get(); }
  WordList* word_list() const { return word_list_.get(); }
  ThumbnailManager* thumbnails() const { return thumbnails_.get(); }
  DataTable* data_table() const { return data_table_.get(); }
  const CExt& video_extensions() const { return video_ext_; }
  const CExt& audio_extensions() const { return audio_ext_; }
  const CExt& image_extensions() const { return image_ext_; }

 private:
  static int SessionPassCallback(void* self);
  int SessionPass();
  void SessionStep();
  void WriteEventLine(int code, const std::string& first_text, const std::string& second_text);
  void BindChannelLists();
  void ReleaseLibrary();

  ServerHost* host_;
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
  int client_protocol_version_ = 0;
  std::atomic<uint32_t> live_timeout_ms_{120000};
  uint32_t last_activity_ms_ = 0;
  size_t recv_capacity_ = kBufferCapacity;
  size_t send_capacity_ = kBufferCapacity;
  std::vector<uint8_t> recv_buffer_;
  std::vector<uint8_t> send_buffer_;
  uint32_t password_lockout_until_ms_ = 0;
  StatusEvent status_;

  // Library objects, owned while listening.
  ServerLog server_log_;
  std::unique_ptr<CChannelList> favourites_;
  std::unique_ptr<CChannelList> search_results_;
  std::unique_ptr<WordList> word_list_;
  std::unique_ptr<ThumbnailManager> thumbnails_;
  std::unique_ptr<DataTable> data_table_;
  CExt video_ext_;
  CExt audio_ext_;
  CExt image_ext_;
  std::vector<uint8_t> scratch_;

  WorkerThread session_thread_;
};

}  // namespace velmor
