// The bytes a connection has sent and the server has not yet answered. A
// request may arrive in several TCP segments (or several in one): header
// blocks are handed out only once their empty line has arrived.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace velmor {

class RequestBuffer {
 public:
  // A header block must fit, as in the player's own server.
  static constexpr size_t kCapacity = 4096;

  enum class Next {
    kNeedMore,  // no complete header block yet
    kRequest,   // *block holds one, up to and including its empty line
    kTooLong,   // the buffer is full without an empty line: refuse
  };

  // Where the next receive may write, and how much.
  char* free_space() { return bytes_.data() + fill_; }
  size_t free_size() const { return kCapacity - fill_; }
  // After a receive wrote `count` bytes into free_space().
  void Commit(size_t count);

  Next TakeRequest(std::string* block);
  void Clear() { fill_ = 0; }
  size_t size() const { return fill_; }

 private:
  std::array<char, kCapacity> bytes_{};
  size_t fill_ = 0;
};

}  // namespace velmor
