#include "thumbnail/thumbnail_requests.h"

#include <algorithm>

namespace velmor {

void ThumbnailRequests::Add(int64_t id, bool priority) {
  std::lock_guard<std::mutex> lock(lock_);
  const bool waiting = std::find(ids_.begin(), ids_.end(), id) != ids_.end();
  if (waiting && !priority) return;
  if (waiting) RemoveAll(id);
  ids_.push_back(id);
}

bool ThumbnailRequests::TakeNewest(int64_t* id) {
  std::lock_guard<std::mutex> lock(lock_);
  if (ids_.empty()) return false;
  *id = ids_.back();
  RemoveAll(*id);
  return true;
}

size_t ThumbnailRequests::Count() const {
  std::lock_guard<std::mutex> lock(lock_);
  return ids_.size();
}

void ThumbnailRequests::Clear() {
  std::lock_guard<std::mutex> lock(lock_);
  ids_.clear();
}

void ThumbnailRequests::RemoveAll(int64_t id) { std::erase(ids_, id); }

}  // namespace velmor
