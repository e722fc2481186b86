#include "library/folder_read_ahead.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "library/folder_entries.h"

namespace velmor {

FolderReadAhead::FolderReadAhead(platform::WantsDetails wants_details)
    : wants_details_(std::move(wants_details)) {
  try {
    thread_ = std::thread(&FolderReadAhead::Run, this);
  } catch (const std::system_error&) {
    // No thread: every folder is read when it is taken.
  }
}

FolderReadAhead::~FolderReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FolderReadAhead::QueueNext(const std::vector<std::string>& folders) {
  if (!thread_.joinable() || folders.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.insert(queued_.begin(), folders.begin(), folders.end());
  }
  changed_.notify_all();
}

std::vector<platform::FileInfo> FolderReadAhead::Take(const std::string& folder) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return reading_ != folder; });
    const auto done = read_.find(folder);
    if (done != read_.end()) {
      std::vector<platform::FileInfo> entries = std::move(done->second);
      read_.erase(done);
      lock.unlock();
      changed_.notify_all();
      return entries;
    }
    const auto waiting = std::find(queued_.begin(), queued_.end(), folder);
    if (waiting != queued_.end()) queued_.erase(waiting);
  }
  return ReadFolderEntries(folder, wants_details_);
}

void FolderReadAhead::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock,
                  [&] { return stopping_ || (!queued_.empty() && read_.size() < kMostAhead); });
    if (stopping_) return;
    const std::string folder = std::move(queued_.front());
    queued_.pop_front();
    reading_ = folder;
    lock.unlock();
    std::vector<platform::FileInfo> entries = ReadFolderEntries(folder, wants_details_);
    lock.lock();
    read_[folder] = std::move(entries);
    reading_.clear();
    changed_.notify_all();
  }
}

}  // namespace velmor
