// The stream server's admission, answered from what the command server
// and its library publish for any thread (the authenticated flag, the
// player's address, the extension sets): the stream thread never waits on
// the session.
#pragma once

#include <string>

#include "command/command_server.h"
#include "stream/stream_admission.h"

namespace velmor {

class PlayerStreamAdmission final : public StreamAdmission {
 public:
  PlayerStreamAdmission(const CommandServer* commands, const LibraryContext* library)
      : commands_(commands), library_(library) {}

  bool PlayerAdmitted() const override { return commands_->authenticated(); }
  bool AdmitsPeer(const platform::Ipv4Address& peer) const override {
    return commands_->AdmitsPeer(peer);
  }
  uint32_t AdmittedSession() const override { return commands_->admitted_session(); }
  bool IsMediaPath(const std::string& path) const override { return library_->IsMediaPath(path); }

 private:
  const CommandServer* commands_;
  const LibraryContext* library_;
};

}  // namespace velmor
