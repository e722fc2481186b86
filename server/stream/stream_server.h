// The HTTP stream server: its listener on "iPortHttp" and the thread that
// serves the stream slots.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/worker_thread.h"
#include "platform/socket.h"

namespace velmor {

class CommandServer;

class StreamServer {
 public:
  struct ListenSettings {
    uint16_t port = 11921;
    CommandServer* owner = nullptr;
    int accept_num = 5;       // stream slots, also the listen backlog
    int accept_full_num = 3;  // slots from 0 that get the configured cache
    int cache_block_mb = 1;
    int cache_block_count = 32;
    int cache_protect_count = 8;
  };

  StreamServer();   // starts its thread
  ~StreamServer();  // stops the thread, closes every socket
  StreamServer(const StreamServer&) = delete;
  StreamServer& operator=(const StreamServer&) = delete;

  bool StartListener(const ListenSettings& settings);
  // Ends every stream (the player is gone or was disconnected).
  void StopAllSessions();

  bool listening() const;
  uint16_t port() const;

 private:
  static int Pass(void* self);

  mutable std::mutex lock_;
  ListenSettings settings_;
  platform::Socket listener_;
  bool networking_ = false;
  WorkerThread thread_;
};

}  // namespace velmor
