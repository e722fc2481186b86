// Finds a file again that is no longer where the player last saw it: the
// same name (and size) in the folder of the previous hit, then in the
// wanted path's folder tree, then in the search target folders. The first
// hit ends the search; there is at most one result.
#pragma once

#include <cstdint>
#include <string>

#include "library/search_job.h"

namespace velmor {

class FindFileJob : public SearchJob {
 public:
  // Wanted sizes with a meaning of their own.
  static constexpr int64_t kAnySize = -1;
  static constexpr int64_t kFolder = -2;

  using SearchJob::SearchJob;

  void Start(const SearchSettings& settings, std::string path, int64_t size);
  // Where the last hit was found; searched first next time.
  const std::string& last_hit_folder() const { return last_hit_folder_; }

 protected:
  int Run() override;

 private:
  int OnFolder(const std::string& folder);
  bool IsHit(const std::string& candidate, int kind) const;

  std::string last_hit_folder_;
  int64_t wanted_size_ = -10;
  std::string wanted_name_;
  // Inside a chapter folder: the path from the chapter folder's name on,
  // which a hit must share.
  bool chapter_mode_ = false;
  std::string chapter_relative_;
  bool found_ = false;
};

}  // namespace velmor
