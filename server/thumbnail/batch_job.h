// The job behind the two batch tools of the server window (the thumbnail
// maker and the converter of old thumbnails and markers) and their
// command-line twins: a run on a worker thread of its own, with its own
// ThumbnailJob, that reports through a BatchProgress and stops after the
// current file once cancelled.
//
//   BatchJob job(&progress_window);
//   job.Start([context, dropped](BatchJob& run) { RunConverter(run, context, dropped); });
//   ... show the progress window; its button calls job.Cancel() ...
//   job.Stop();
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/worker_thread.h"
#include "library/ext_set.h"
#include "platform/event.h"
#include "thumbnail/thumbnail_job.h"

namespace velmor {

class BatchJob;
class DataTable;
class ThumbnailManager;

// Where a run shows how far it got: the progress window, or the terminal.
// Called on the run's worker thread.
class BatchProgress {
 public:
  virtual ~BatchProgress() = default;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetButtonText(const std::string& text) = 0;
  // The front end's own steps, on the worker: before the walk (the window
  // waits until its progress window exists) and after the final text (the
  // window waits until the user presses OK).
  virtual void BeforeWalk(BatchJob&) {}
  virtual void AfterFinalText(BatchJob&) {}
};

// Reset at each start. The thumbnail maker counts made thumbnails in
// `made`; the converter counts old thumbnails there.
struct BatchCounters {
  int checked = 0;
  int made = 0;
  int markers = 0;
  int empty = 0;
};

// What a run works with: the server's table and thumbnail maker, and the
// settings' folders and lists, absolute with "/" separators.
struct BatchContext {
  DataTable* table = nullptr;
  ThumbnailManager* thumbnails = nullptr;  // the thumbnail maker's runs
  CExt video;
  CExt audio;
  CExt image;
  ChannelTable channels;             // for "#ch N" lines of the search list
  std::string thumbnail_folder;      // "pcThumbnailPath.220"
  std::string search_list;           // "pcSearchFolder1"
  std::string favourites_list;       // "" when no channel is the favourites list
  std::string search_results;        // "" when no channel is the search list
  std::string old_marker_folder;     // "pcTrimPath"
  std::string old_thumbnail_folder;  // "pcThumbnailPath"

  MediaSets media() const { return {video, audio, image}; }
};

// The folders and lists of the settings (the table and the maker are left
// to the caller). Relative paths are taken in the program folder.
BatchContext BatchContextFor(const S_CONFIG& config);

class BatchJob {
 public:
  // Progress texts come at most this often, the final ones always.
  static constexpr uint32_t kProgressPeriodMs = 50;
  using Run = std::function<void(BatchJob& job)>;

  explicit BatchJob(BatchProgress* progress) : progress_(progress) {}
  ~BatchJob();  // stops
  BatchJob(const BatchJob&) = delete;
  BatchJob& operator=(const BatchJob&) = delete;

  // Runs `run` on a worker thread; false when a run is still going or the
  // thread cannot be started (then done() is true at once).
  bool Start(Run run);
  // True once the run has returned.
  bool WaitUntilDone(uint32_t timeout_ms) const { return done_.Wait(timeout_ms); }
  bool done() const { return done_.IsSet(); }
  // Waits at most WorkerThread::kStopTimeoutMs for the run; true when it
  // ended.
  bool Stop();

  // The progress window's button, or Ctrl+C: the run finishes the current
  // file and ends.
  void Cancel() { cancelled_ = true; }
  bool cancelled() const { return cancelled_; }

  // What the counters say once the run is done (the run's own while it
  // goes).
  const BatchCounters& counters() const { return counters_; }

  // For the runs, on the worker thread.
  BatchCounters& run_counters() { return counters_; }
  ThumbnailJob& thumbnail_job() { return thumbnail_job_; }
  // Starts a new naming day when the date changed, resets the counters and
  // lets the front end get ready.
  void BeginRun(DataTable* table);
  // Title and text, unless the last ones were shown less than
  // kProgressPeriodMs ago.
  void ShowProgress(const std::string& title, const std::string& text);
  // The final title with the final counters, then, unless cancelled,
  // "完了しました。" and the button "OK"; then the front end's last step.
  void EndRun(const std::string& final_title);

 private:
  static int RunOnWorker(void* self);

  BatchProgress* progress_;
  Run run_;
  std::atomic<bool> cancelled_{false};
  platform::ManualResetEvent done_;
  BatchCounters counters_;
  bool shown_once_ = false;
  uint32_t last_shown_ms_ = 0;
  ThumbnailJob thumbnail_job_;
  WorkerThread worker_;
};

// A dropped folder walked depth first (at most 64 levels below it): each
// folder before its media files, then its subfolders; stops once the job
// is cancelled. Folders are written with "/".
struct DroppedFolderVisitor {
  std::function<void(const std::string& folder)> folder;
  std::function<void(const std::string& folder, const std::string& name, int64_t size)> media_file;
};
void WalkDroppedFolder(BatchJob& job, const MediaSets& media, const std::string& folder,
                       const DroppedFolderVisitor& visit);

// "%s\n\n%s\n%s": what is walked, the folder and the file.
std::string BatchProgressText(const std::string& label, const std::string& folder,
                              const std::string& file_name);

inline constexpr char kBatchFinishedText[] = "完了しました。";
inline constexpr char kBatchOkButton[] = "OK";
inline constexpr char kBatchCancelButton[] = "キャンセル";

}  // namespace velmor
