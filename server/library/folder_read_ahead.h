// Reads the folders a walk over a tree will list next on a thread of its
// own, so that the file system's work (reading each folder and the status
// of its files) runs beside the walk's own: sorting, lookups, encoding.
//
// The walk says which folders come next as it learns them: a depth-first
// walk queues a folder's subfolders, in its order, when it lists the folder,
// and they come before everything queued earlier. At most kMostAhead
// folders wait read and untaken, so a walk that stops early costs little.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"

namespace velmor {

class FolderReadAhead {
 public:
  static constexpr size_t kMostAhead = 32;

  // `wants_details` is called on the reading thread too.
  explicit FolderReadAhead(platform::WantsDetails wants_details);
  ~FolderReadAhead();
  FolderReadAhead(const FolderReadAhead&) = delete;
  FolderReadAhead& operator=(const FolderReadAhead&) = delete;

  // The folders the walk lists next, in its order, before any queued
  // earlier.
  void QueueNext(const std::vector<std::string>& folders);
  // The folder's entries: those read ahead, or read now.
  std::vector<platform::FileInfo> Take(const std::string& folder);

 private:
  void Run();

  const platform::WantsDetails wants_details_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> queued_;
  std::unordered_map<std::string, std::vector<platform::FileInfo>> read_;
  std::string reading_;  // empty while the thread waits (no folder is "")
  bool stopping_ = false;
  std::thread thread_;  // not joinable when none could be started
};

}  // namespace velmor
