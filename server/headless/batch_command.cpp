#include "headless/batch_command.h"

#include <string>
#include <vector>

#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "headless/config_command.h"
#include "library/data_table.h"
#include "library/list_file.h"
#include "platform/clock.h"
#include "platform/console_program.h"
#include "platform/file_system.h"
#include "platform/process_signals.h"
#include "thumbnail/batch_job.h"
#include "thumbnail/converter_run.h"
#include "thumbnail/thumbnail_batch_run.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor {

const char kBatchUsage[] =
    "  --make-thumbnails [FOLDER...]  makes every missing thumbnail of the media files in\n"
    "                                 the folders (default: the search list's folders)\n"
    "  --convert [PATH...]            converts old thumbnails and marker files for the\n"
    "                                 folders, files and .vrl playlists given (default:\n"
    "                                 the favourites, search results and search list)\n"
    "  Ctrl+C ends either after the current file. Exit code: 0 done, 1 cancelled,\n"
    "  2 bad arguments, 3 a server with this home is running (it owns the data table).\n";

namespace {

constexpr int kExitDone = 0;
constexpr int kExitCancelled = 1;
constexpr int kExitBadArguments = 2;
constexpr int kExitCannotRun = 3;
// A terminal gets a few progress lines a second, not one per file.
constexpr uint32_t kLinePeriodMs = 250;
constexpr uint32_t kSignalPollMs = 100;

void Print(const std::string& text) {
  platform::WriteConsoleText(platform::ConsoleStream::kOutput, text + "\n");
}

void PrintError(const std::string& text) {
  platform::WriteConsoleText(platform::ConsoleStream::kError, text + "\n");
}

// The progress window's three lines on one line.
std::string OneLine(const std::string& text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') {
      line += text[i];
    } else if (i == 0 || text[i - 1] != '\n') {
      line += "  ";
    }
  }
  return line;
}

// The progress window as terminal lines: the title with its counters and
// the current file, at most every kLinePeriodMs; the final title and text
// always.
class TerminalProgress : public BatchProgress {
 public:
  void SetTitle(const std::string& title) override { title_ = title; }
  void SetText(const std::string& text) override {
    text_ = text;
    // The final text comes with the final title, after the run.
    if (text == kBatchFinishedText) return;
    const uint32_t now = platform::TickCount();
    if (printed_ && platform::TickDiff(now, last_line_ms_) < static_cast<int32_t>(kLinePeriodMs)) {
      return;
    }
    printed_ = true;
    last_line_ms_ = now;
    Print(title_ + "  " + OneLine(text_));
  }
  void SetButtonText(const std::string&) override {}
  void AfterFinalText(BatchJob& job) override {
    Print(title_);
    Print(job.cancelled() ? std::string("cancelled after the current file") : text_);
  }

 private:
  std::string title_;
  std::string text_;
  bool printed_ = false;
  uint32_t last_line_ms_ = 0;
};

// The paths as given, absolute; false (told) when one does not exist or,
// for the thumbnail maker, is not a folder.
bool AbsolutePaths(const HeadlessOptions& options, std::vector<std::string>* paths) {
  for (const std::string& given : options.batch_paths) {
    std::string path = given;
    if (!platform::IsAbsolutePath(path)) path = JoinPath(platform::CurrentFolder(), path);
    const platform::PathType type = platform::GetPathType(path);
    if (type == platform::PathType::kNone) {
      PrintError("no such folder or file: " + given);
      return false;
    }
    if (options.batch == BatchMode::kMakeThumbnails && type != platform::PathType::kFolder) {
      PrintError("not a folder: " + given);
      return false;
    }
    paths->push_back(WithForwardSlashes(path));
  }
  return true;
}

void ConfigureMaker(const S_CONFIG& config, const BatchContext& context, ThumbnailManager* maker) {
  ThumbnailManager::Settings settings = ThumbnailManager::SettingsFor(
      nullptr, context.thumbnail_folder, ResolveFolderSetting(config.pcFFMpegPath));
  settings.video = context.video;
  settings.audio = context.audio;
  settings.image = context.image;
  maker->Configure(settings);
}

void PrintSummary(BatchMode mode, const BatchCounters& counters) {
  if (mode == BatchMode::kMakeThumbnails) {
    Print("made " + std::to_string(counters.made) + ", checked " +
          std::to_string(counters.checked));
    return;
  }
  Print("thumbnails " + std::to_string(counters.made) + ", markers " +
        std::to_string(counters.markers) + ", empty " + std::to_string(counters.empty) +
        ", checked " + std::to_string(counters.checked));
}

// Waits for the run, turning Ctrl+C into a cancel (the handlers are in
// place before the run starts).
void WatchRun(BatchJob* job) {
  while (!job->done()) {
    const platform::ProcessSignal signal = platform::WaitProcessSignal(kSignalPollMs);
    if (signal == platform::ProcessSignal::kStop && !job->cancelled()) {
      Print("cancelling: the current file is finished first");
      job->Cancel();
    }
  }
  job->Stop();
}

}  // namespace

int RunHeadlessBatch(const HeadlessOptions& options) {
  UseHeadlessHome(options);
  std::vector<std::string> paths;
  if (!AbsolutePaths(options, &paths)) return kExitBadArguments;
  if (const int process_id = RunningServerProcess()) {
    PrintError("a server with this home is running (process " + std::to_string(process_id) +
               ") and owns its data table: stop it first");
    return kExitCannotRun;
  }
  Settings settings;
  if (!settings.Load()) {
    PrintError("cannot read or create " + ConfigFilePath());
    return kExitCannotRun;
  }
  const S_CONFIG config = settings.Copy();
  BatchContext context = BatchContextFor(config);
  DataTable table;
  table.Open({config.iDataTableDeviceID, config.pcDataTablePath, context.thumbnail_folder});
  ThumbnailManager maker;
  ConfigureMaker(config, context, &maker);
  maker.SetDataTable(&table);
  context.table = &table;
  context.thumbnails = &maker;

  TerminalProgress progress;
  BatchJob job(&progress);
  const bool convert = options.batch == BatchMode::kConvert;
  Print(convert ? kConverterStartText : kThumbnailBatchStartText);
  // A Ctrl+C from the first progress line on cancels instead of killing.
  platform::InstallProcessSignalHandlers();
  const bool started = job.Start([&context, &paths, convert](BatchJob& run) {
    if (convert) {
      RunConverter(run, context, paths);
    } else {
      RunThumbnailBatch(run, context, paths);
    }
  });
  if (!started) {
    PrintError("cannot start the run's thread");
    return kExitCannotRun;
  }
  WatchRun(&job);
  if (table.dirty() && !table.Save()) {
    PrintError("cannot save " + table.settings().path + ": the run's changes are not on disk");
  }
  PrintSummary(options.batch, job.counters());
  return job.cancelled() ? kExitCancelled : kExitDone;
}

}  // namespace velmor
