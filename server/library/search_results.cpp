#include "library/search_results.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace velmor {

void SearchResults::Clear() {
  std::lock_guard<std::mutex> lock(lock_);
  entries_.clear();
}

void SearchResults::Append(S_PATH entry) {
  std::lock_guard<std::mutex> lock(lock_);
  entries_.push_back(std::move(entry));
}

void SearchResults::Append(std::vector<S_PATH> entries) {
  std::lock_guard<std::mutex> lock(lock_);
  entries_.insert(entries_.end(), std::make_move_iterator(entries.begin()),
                  std::make_move_iterator(entries.end()));
}

size_t SearchResults::size() const {
  std::lock_guard<std::mutex> lock(lock_);
  return entries_.size();
}

std::vector<S_PATH> SearchResults::Range(size_t start, size_t count) const {
  std::lock_guard<std::mutex> lock(lock_);
  if (start >= entries_.size()) return {};
  const size_t end = start + std::min(count, entries_.size() - start);
  return std::vector<S_PATH>(entries_.begin() + static_cast<std::ptrdiff_t>(start),
                             entries_.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace velmor
