// The list of records whose thumbnails a player is waiting for. The worker
// serves it newest first: what the player asked for last is what it shows
// now. Guarded by its own lock; the command session adds, the worker takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace velmor {

class ThumbnailRequests {
 public:
  static constexpr size_t kInitialRoom = 64;

  ThumbnailRequests() { ids_.reserve(kInitialRoom); }

  // An id already waiting stays where it is, unless the request has
  // priority: then it moves to the end, to be made next.
  void Add(int64_t id, bool priority);
  // The newest id, removed together with every other occurrence of it;
  // false when nothing waits.
  bool TakeNewest(int64_t* id);
  size_t Count() const;
  void Clear();

 private:
  void RemoveAll(int64_t id);

  mutable std::mutex lock_;
  std::vector<int64_t> ids_;
};

}  // namespace velmor
