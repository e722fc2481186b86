// The search manager: the command server's one holder of the three search
// jobs (word search, re-finding a file, folder browser), their shared result
// list and the worker thread that runs the job started last. The command
// session starts jobs and polls their progress and results; the worker runs
// each job to its end.
//
// Starting a job while another one runs cancels the running one and waits
// for it to stop (it stops at the next folder it enters) before the results
// are cleared and the new job is handed to the worker, so results of two
// jobs never mix.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/worker_thread.h"
#include "library/find_file_job.h"
#include "library/get_dir_job.h"
#include "library/search_file_job.h"
#include "library/search_results.h"

namespace velmor {

class SearchManager {
 public:
  // How long a start waits for the running job to stop; a job stuck longer
  // (in a file system that does not answer) makes the start fail.
  static constexpr uint32_t kStopWaitMs = 5000;
  // The worker looks for a new job at least this often.
  static constexpr uint32_t kIdlePassMs = 100;

  // The table the jobs look records up in; it must outlive the manager.
  explicit SearchManager(DataTable* table);
  // Cancels the running job and waits until it has stopped.
  ~SearchManager();
  SearchManager(const SearchManager&) = delete;
  SearchManager& operator=(const SearchManager&) = delete;

  // Starts the worker; false when the thread cannot be started.
  bool Start();

  // Each start clears the results and makes its job the current one; false
  // when the running job did not stop in time (nothing changes then).
  bool StartSearchFile(const SearchSettings& settings, std::string_view query, int mode);
  bool StartFindFile(const SearchSettings& settings, std::string path, int64_t size);
  bool StartGetDir(const SearchSettings& settings, std::string path, int mode);

  // True when no job is current or the current one has stopped running.
  bool IsFinished() const;
  void RequestCancel();
  // The folder the current job is in; "" without a current job.
  std::string Progress() const;
  SearchResults& results() { return results_; }

  // For watching the jobs' walk (tests): called on the worker thread as a
  // job enters each folder. Set it before the first start.
  void SetFolderObserver(const SearchJob::FolderObserver& observer);

 private:
  static int PassCallback(void* self);
  int Pass();
  // With lock_ held: cancels and waits for a running job, then clears the
  // results. False when the job did not stop in time.
  bool PrepareStart(std::unique_lock<std::mutex>* lock);
  void MakeCurrent(SearchJob* job);

  SearchResults results_;
  SearchFileJob search_file_;
  FindFileJob find_file_;
  GetDirJob get_dir_;

  mutable std::mutex lock_;
  std::condition_variable changed_;
  SearchJob* current_ = nullptr;  // started, not yet finished
  SearchJob* active_ = nullptr;   // the one the worker runs now
  bool stopping_ = false;
  WorkerThread worker_;
};

}  // namespace velmor
