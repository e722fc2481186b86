// The names of the filters in the player's graph, in the graph's order, as
// hosts read them one by one to show what decodes a file.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

class FilterList {
 public:
  static constexpr int kMaxNames = 16;
  // Names longer than this many bytes are cut (the hosts' buffers hold 260).
  static constexpr size_t kMaxNameBytes = 259;

  // Adds the next filter's name; false when the list was already full: the
  // last name then reads "Error More Data" and the caller stops adding.
  bool Add(const std::string& name);
  void Clear();

  int count() const { return static_cast<int>(names_.size()); }
  // The name at index, or null outside 0 to count - 1.
  const char* Name(int index) const;

 private:
  std::vector<std::string> names_;
};

}  // namespace tarnwick
