// What the stream server asks before it serves a connection: is a player
// admitted, does a connection come from its machine, and does a path name
// a media file. The stream thread asks on every accept and every request,
// so an implementation answers from state it has published and never
// waits on the player's session.
#pragma once

#include <cstdint>
#include <string>

#include "platform/socket.h"

namespace velmor {

class StreamAdmission {
 public:
  // A player holds an authenticated command session.
  virtual bool PlayerAdmitted() const = 0;
  // The admitted player's machine, by the address of its command
  // connection.
  virtual bool AdmitsPeer(const platform::Ipv4Address& peer) const = 0;
  // The admitted session's number: 0 while none is, a new number for every
  // admission. Streams of a session that ended stop.
  virtual uint32_t AdmittedSession() const = 0;
  // A file of the video, audio or image extension lists.
  virtual bool IsMediaPath(const std::string& path) const = 0;

 protected:
  ~StreamAdmission() = default;
};

}  // namespace velmor
