#include "thumbnail/batch_job.h"

#include <utility>

#include "core/paths.h"
#include "library/channel_list.h"
#include "library/data_table.h"
#include "library/folder_entries.h"
#include "library/list_file.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

// A folder setting as an absolute path, without making the folder: the old
// folders are only read.
std::string AbsoluteInProgramFolder(const std::string& value) {
  if (value.empty()) return ProgramFolder();
  const std::string path = ToHostSeparators(value);
  return WithForwardSlashes(platform::IsAbsolutePath(path) ? path
                                                           : JoinPath(ProgramFolder(), path));
}

// The last channel of each list type names its file, as the server binds
// them.
void ChannelListFiles(const S_CONFIG& config, BatchContext* context) {
  for (const S_CONFIG_CH& entry : config.channel) {
    CChannelList::Kind kind;
    std::string file;
    if (!ChannelListFile(entry, &kind, &file)) continue;
    (kind == CChannelList::kSearchList ? context->search_results : context->favourites_list) =
        WithForwardSlashes(file);
  }
}

}  // namespace

BatchContext BatchContextFor(const S_CONFIG& config) {
  BatchContext context;
  context.video.Parse(config.pcExt);
  context.audio.Parse(config.pcAudioExt);
  context.image.Parse(config.pcImageExt);
  context.channels = config.channel;
  context.thumbnail_folder = ResolveFolderSetting(config.pcThumbnailPath220);
  std::string search_list;
  ResolveFileSetting(config.pcSearchFolder1, "SearchFolder1.vrl", &search_list);
  context.search_list = WithForwardSlashes(search_list);
  ChannelListFiles(config, &context);
  context.old_marker_folder = AbsoluteInProgramFolder(config.pcTrimPath);
  context.old_thumbnail_folder = AbsoluteInProgramFolder(config.pcThumbnailPath);
  return context;
}

BatchJob::~BatchJob() { Stop(); }

bool BatchJob::Start(Run run) {
  if (worker_.IsRunning()) {
    if (!done_.IsSet()) return false;
    worker_.Stop();  // the last run's thread, ended
  }
  run_ = std::move(run);
  cancelled_ = false;
  done_.Reset();
  if (worker_.Start(&RunOnWorker, nullptr, nullptr, this)) return true;
  done_.Set();
  return false;
}

int BatchJob::RunOnWorker(void* self) {
  auto* job = static_cast<BatchJob*>(self);
  job->run_(*job);
  job->done_.Set();
  return 0;
}

bool BatchJob::Stop() { return worker_.Stop(); }

void BatchJob::BeginRun(DataTable* table) {
  if (table != nullptr) table->RefreshDateKeepingTemporaryIds();
  counters_ = BatchCounters();
  shown_once_ = false;
  progress_->BeforeWalk(*this);
}

void BatchJob::ShowProgress(const std::string& title, const std::string& text) {
  const uint32_t now = platform::TickCount();
  if (shown_once_ &&
      platform::TickDiff(now, last_shown_ms_) < static_cast<int32_t>(kProgressPeriodMs)) {
    return;
  }
  shown_once_ = true;
  last_shown_ms_ = now;
  progress_->SetTitle(title);
  progress_->SetText(text);
}

void BatchJob::EndRun(const std::string& final_title) {
  progress_->SetTitle(final_title);
  if (!cancelled_) {
    progress_->SetText(kBatchFinishedText);
    progress_->SetButtonText(kBatchOkButton);
  }
  progress_->AfterFinalText(*this);
}

std::string BatchProgressText(const std::string& label, const std::string& folder,
                              const std::string& file_name) {
  return label + "\n\n" + folder + "\n" + file_name;
}

namespace {

constexpr int kMaxDroppedFolderDepth = 64;

void WalkDroppedFolderAt(BatchJob& job, const MediaSets& media, const std::string& folder,
                         const DroppedFolderVisitor& visit, int depth) {
  if (visit.folder) visit.folder(folder);
  const std::vector<platform::FileInfo> entries = ReadFolderMediaDetails(folder, media);
  for (const platform::FileInfo& entry : entries) {
    if (job.cancelled()) return;
    if (!entry.is_folder && media.IsMedia(entry.name)) {
      visit.media_file(folder, entry.name, entry.size);
    }
  }
  if (depth >= kMaxDroppedFolderDepth) return;
  for (const platform::FileInfo& entry : entries) {
    if (job.cancelled()) return;
    if (entry.is_folder) {
      WalkDroppedFolderAt(job, media, JoinPath(folder, entry.name), visit, depth + 1);
    }
  }
}

}  // namespace

void WalkDroppedFolder(BatchJob& job, const MediaSets& media, const std::string& folder,
                       const DroppedFolderVisitor& visit) {
  WalkDroppedFolderAt(job, media, folder, visit, 0);
}

}  // namespace velmor
