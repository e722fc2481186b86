#include "library/search_manager.h"

#include <chrono>

namespace velmor {

SearchManager::SearchManager(DataTable* table)
    : search_file_(table, &results_), find_file_(table, &results_), get_dir_(table, &results_) {}

SearchManager::~SearchManager() {
  {
    std::unique_lock<std::mutex> lock(lock_);
    stopping_ = true;
    if (active_ != nullptr) active_->RequestCancel();
    changed_.notify_all();
    // The worker must be out of the job before the jobs and the data table
    // they read go away; abandoning it after a time-out would leave it
    // reading freed memory. A cancelled job stops at its next folder.
    changed_.wait(lock, [this] { return active_ == nullptr; });
  }
  worker_.Stop();
}

bool SearchManager::Start() { return worker_.Start(nullptr, &PassCallback, nullptr, this); }

int SearchManager::PassCallback(void* self) { return static_cast<SearchManager*>(self)->Pass(); }

// Waits (at most kIdlePassMs) for a job, then runs it to its end on this
// thread.
int SearchManager::Pass() {
  SearchJob* job = nullptr;
  {
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait_for(lock, std::chrono::milliseconds(kIdlePassMs),
                      [this] { return stopping_ || current_ != nullptr; });
    if (stopping_) return 0;
    if (current_ == nullptr) return 1;
    job = active_ = current_;
  }
  job->Execute();
  {
    std::lock_guard<std::mutex> lock(lock_);
    active_ = nullptr;
    if (current_ == job) current_ = nullptr;
  }
  changed_.notify_all();
  return 1;
}

bool SearchManager::PrepareStart(std::unique_lock<std::mutex>* lock) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
  while (active_ != nullptr) {
    active_->RequestCancel();
    if (changed_.wait_until(*lock, deadline) == std::cv_status::timeout && active_ != nullptr) {
      return false;
    }
  }
  // A job started but not yet picked up by the worker is simply replaced.
  if (current_ != nullptr) current_->Abandon();
  current_ = nullptr;
  results_.Clear();
  return true;
}

void SearchManager::MakeCurrent(SearchJob* job) {
  current_ = job;
  changed_.notify_all();
}

bool SearchManager::StartSearchFile(const SearchSettings& settings, std::string_view query,
                                    int mode) {
  std::unique_lock<std::mutex> lock(lock_);
  if (!PrepareStart(&lock)) return false;
  search_file_.Start(settings, query, mode);
  MakeCurrent(&search_file_);
  return true;
}

bool SearchManager::StartFindFile(const SearchSettings& settings, std::string path, int64_t size) {
  std::unique_lock<std::mutex> lock(lock_);
  if (!PrepareStart(&lock)) return false;
  find_file_.Start(settings, std::move(path), size);
  MakeCurrent(&find_file_);
  return true;
}

bool SearchManager::StartGetDir(const SearchSettings& settings, std::string path, int mode) {
  std::unique_lock<std::mutex> lock(lock_);
  if (!PrepareStart(&lock)) return false;
  get_dir_.Start(settings, std::move(path), mode);
  MakeCurrent(&get_dir_);
  return true;
}

bool SearchManager::IsFinished() const {
  std::lock_guard<std::mutex> lock(lock_);
  return current_ == nullptr || !current_->running();
}

void SearchManager::RequestCancel() {
  std::lock_guard<std::mutex> lock(lock_);
  if (current_ != nullptr) current_->RequestCancel();
}

std::string SearchManager::Progress() const {
  std::lock_guard<std::mutex> lock(lock_);
  return current_ != nullptr ? current_->progress() : std::string();
}

void SearchManager::SetFolderObserver(const SearchJob::FolderObserver& observer) {
  std::lock_guard<std::mutex> lock(lock_);
  search_file_.set_folder_observer(observer);
  find_file_.set_folder_observer(observer);
  get_dir_.set_folder_observer(observer);
}

}  // namespace velmor
