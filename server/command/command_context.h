// What a command handler works with, and nothing more: the library, the
// settings, the session it answers (reply texts, the send buffer, the rest of an upload,
// the player's facts), the status slot, the server log and the host.
#pragma once

#include <string>

#include "command/library_context.h"
#include "command/packet_reader.h"
#include "command/packet_writer.h"
#include "command/server_host.h"
#include "command/status_slot.h"
#include "core/server_log.h"
#include "core/settings.h"

namespace velmor {

// The session a handler answers; it runs on the session thread under the
// command lock.
class SessionReplies {
 public:
  // Queues a reply text.
  virtual void QueueText(const std::string& text) = 0;
  // The send buffer (null without a player), for handlers that send
  // records of their own.
  virtual PacketWriter* send_buffer() = 0;
  // The next chunk of an upload, from the rest of the packet and then from
  // the packets that follow; false when the session ended or the server
  // stops before it came.
  virtual bool TakeFollowingChunk(Chunk* chunk) = 0;
  // The player's address, "non" without one.
  virtual std::string peer_address() const = 0;
  virtual int client_protocol_version() const = 0;
  // The liveness check is off while suspended (CM_LIVE_TIME).
  virtual bool suspended() const = 0;
  virtual void set_suspended(bool suspended) = 0;

 protected:
  ~SessionReplies() = default;
};

struct CommandContext {
  LibraryContext& library;
  Settings& settings;
  SessionReplies& session;
  StatusSlot& status;
  ServerLog& log;
  ServerHost* host;  // null in tests without a host
};

}  // namespace velmor
