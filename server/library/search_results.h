// The result list of the search jobs, shared by the worker that appends to
// it and the polling commands that read it: every access takes its lock, so
// reading while a job appends is safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace velmor {

// One result: a found path (text) with its size (value, -2 for a folder),
// or a folder browser record text with the name it sorts by.
struct S_PATH {
  std::string text;
  std::string name;
  int64_t value = 0;
};

class SearchResults {
 public:
  void Clear();
  void Append(S_PATH entry);
  void Append(std::vector<S_PATH> entries);
  size_t size() const;
  // Up to count results from start on (fewer at the end of the list).
  std::vector<S_PATH> Range(size_t start, size_t count) const;

 private:
  mutable std::mutex lock_;
  std::vector<S_PATH> entries_;
};

}  // namespace velmor
