// What the three search jobs share: their input, the running and cancel
// flags, the progress text (the folder being walked) and the result list.
// A job is prepared by the search manager on the command session's thread
// and then run to its end on the manager's worker thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/config.h"
#include "library/data_table.h"
#include "library/ext_set.h"
#include "library/search_results.h"

namespace velmor {

// A result text must fit a reply slot, which holds this many UTF-16
// characters; a longer one would reach the player cut short.
inline constexpr size_t kResultTextMaxUnits = 780;
// The longest path a search result reports: its reply text
// "<flag>%d<id_int>%I64d<path>\"%s\"<file_size>%I64d" adds at most 84.
inline constexpr size_t kResultPathMaxUnits = kResultTextMaxUnits - 84;
// Progress texts and query texts hold at most this many.
inline constexpr size_t kSearchTextMaxUnits = 259;

// What a job reads besides its input, copied when it starts, so the worker
// never reads what the session may change while the job runs.
struct SearchSettings {
  CExt video;
  CExt audio;
  CExt image;
  std::string search_targets;  // the search target list ("pcSearchFolder1")
  std::string pc_folder_list;  // the PC folder list ("pcPCFolderListPath")
  ChannelTable channels;       // what "#ch N" lines of the lists name

  // The given extension sets, and the list files and channels of config.
  static SearchSettings From(const CExt& video, const CExt& audio, const CExt& image,
                             const S_CONFIG& config);
};

class SearchJob {
 public:
  // Told of every folder a job enters, on the worker thread.
  using FolderObserver = std::function<void(const SearchJob& job, const std::string& folder)>;

  SearchJob(DataTable* table, SearchResults* results) : table_(table), results_(results) {}
  virtual ~SearchJob() = default;
  SearchJob(const SearchJob&) = delete;
  SearchJob& operator=(const SearchJob&) = delete;

  // Runs the job to its end (or its cancel), then clears the running flag.
  void Execute();

  bool running() const { return running_.load() == 1; }
  void RequestCancel();
  bool cancel_requested() const { return cancel_.load() != 0; }
  // The folder being walked.
  std::string progress() const;
  // Set only while no job runs.
  void set_folder_observer(FolderObserver observer) { observer_ = std::move(observer); }
  // A job that is replaced before it ran is not running any more.
  void Abandon() { running_ = 0; }

 protected:
  // The search itself; 1 when it went to its end, 0 when it was stopped.
  virtual int Run() { return 1; }

  // Takes the settings and input, clears the progress text, and marks the
  // job running and not cancelled.
  void Prepare(const SearchSettings& settings, std::string input);
  // Before each folder: false when the job is cancelled; else the folder
  // becomes the progress text.
  bool EnterFolder(const std::string& folder);
  // A found file or folder; a path with a '"' (which would end it in the
  // reply text) or too long for the reply is left out.
  void AppendPath(const std::string& path, int64_t value);
  // A folder browser record; false (and left out) when it does not fit.
  bool AppendRecord(std::string text, std::string name, int64_t value);

  MediaSets media() const { return {settings_.video, settings_.audio, settings_.image}; }
  const SearchSettings& settings() const { return settings_; }
  const std::string& input() const { return input_; }
  DataTable* table() const { return table_; }
  SearchResults& results() { return *results_; }

 private:
  DataTable* table_;
  SearchResults* results_;
  SearchSettings settings_;
  std::string input_;
  std::atomic<int> running_{0};
  std::atomic<int> cancel_{0};
  mutable std::mutex progress_lock_;
  std::string progress_;
  FolderObserver observer_;
};

// Whether a name or path can stand in a quoted field of a reply text.
bool IsQuotable(std::string_view text);

}  // namespace velmor
