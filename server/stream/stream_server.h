// The HTTP stream server: a small HTTP/1.1 responder on "iPortHttp" that
// streams media files to the authenticated player by their full path, from
// the requested start position, out of each stream slot's read cache. One
// thread serves every connection; each slot's reader fills its own cache.
//
// The command session calls slot_count() and StopAllSessions() while it
// holds the command lock, so neither of those, nor listening() or port(),
// ever waits for the stream server's lock. The stream thread checks every
// connection through its admission, which never waits on the session: a
// player that stalls in the middle of a command holds up no stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/worker_thread.h"
#include "platform/socket.h"
#include "platform/socket_wait.h"
#include "stream/http_request.h"
#include "stream/stream_admission.h"
#include "stream/stream_connection.h"
#include "stream/stream_slot.h"

namespace velmor {

class StreamServer {
 public:
  struct ListenSettings {
    uint16_t port = 11921;
    // Who may be served: nobody without it.
    const StreamAdmission* admission = nullptr;
    int accept_num = 5;       // stream slots, also the listen backlog
    int accept_full_num = 3;  // slots from 0 that get the configured cache
    int cache_block_mb = 1;
    int cache_block_count = 32;
    int cache_protect_count = 8;
  };

  // More slots would only mean more reader threads and cache memory than
  // any player uses.
  static constexpr int kMaxSlots = 64;
  // Connections accepted but not yet given a slot by an admitted GET (a
  // refused one stays, as any connection does after a 404); the oldest is
  // closed when another arrives.
  static constexpr size_t kMaxPending = 8;

  StreamServer();   // starts its thread, which idles until a listener runs
  ~StreamServer();  // stops the thread, then StopListener
  StreamServer(const StreamServer&) = delete;
  StreamServer& operator=(const StreamServer&) = delete;

  // Listens on every local IPv4 address and creates the slots: slots below
  // accept_full_num get the configured cache, the others 2 blocks of 1 MiB.
  // False when the port cannot be opened (the server then stays idle).
  // Changes of the settings take effect at the next start.
  bool StartListener(const ListenSettings& settings);
  // Closes every connection and the listener and destroys the slots.
  void StopListener();
  // Ends every stream (the player is gone or was disconnected): each slot's
  // file is closed once its connection has ended. Only sets a flag.
  void StopAllSessions() { release_all_ = true; }

  bool listening() const { return listening_; }
  uint16_t port() const { return port_; }
  // For CM_GET_HTTP_STREAM: the number of slots the player may name.
  int slot_count() const { return slot_count_; }

  // A slot's cache, for tests and diagnosis; null outside 0..slot_count-1.
  // Valid until StopListener.
  const StreamSlot* slot(int number) const;

 private:
  static int Pass(void* self);
  void RunPass();
  bool AcceptStep();
  bool PendingStep();
  bool SlotStep(int number);
  void PropagateRelease();
  void EndStreamsOfEndedSession();
  bool CollectWaits(platform::SocketWaitSet* waits) const;

  // Request handling (stream_request.cpp).
  enum class ReceiveResult { kNothing, kReceived, kClosed };
  static ReceiveResult ReceiveInto(StreamConnection* connection);
  bool TakePendingRequests(size_t index);
  bool TakeSlotRequests(int number);
  void MoveIntoSlot(size_t pending_index, int number);
  void Answer(int number, const std::optional<std::string>& path,
              const std::optional<ByteRange>& range);
  std::optional<std::string> AdmittedPath(const platform::Ipv4Address& peer,
                                          std::string_view encoded_path) const;
  bool PlayerAdmitted() const;
  bool SendHeader(StreamConnection* connection, bool* progress);
  bool SendBody(int number, bool* progress);
  void EndConnection(int number);
  static void RefuseTooLong(StreamConnection* connection);
  void StopListenerLocked();

  mutable std::mutex lock_;
  const StreamAdmission* admission_ = nullptr;
  uint32_t served_session_ = 0;  // the admitted session the streams belong to
  platform::Socket listener_;
  std::vector<std::unique_ptr<StreamConnection>> pending_;
  std::vector<std::unique_ptr<StreamSlot>> slots_;
  std::vector<std::unique_ptr<StreamConnection>> connections_;  // one per slot
  bool running_ = false;

  std::atomic<bool> listening_{false};
  std::atomic<uint16_t> port_{0};
  std::atomic<int> slot_count_{0};
  std::atomic<bool> release_all_{false};
  bool networking_ = false;
  WorkerThread thread_;
};

}  // namespace velmor
