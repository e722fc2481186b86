#include "thumbnail/thumbnail_batch_run.h"

#include "core/paths.h"
#include "library/list_file.h"
#include "library/list_scanner.h"
#include "platform/file_system.h"
#include "thumbnail/batch_record.h"
#include "thumbnail/thumbnail_file.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor {
namespace {

constexpr char kSearchListLabel[] = "検索対象リスト上のフォルダ";
constexpr char kDroppedFolderLabel[] = "ドロップされたフォルダ";
// Folder links that loop end here.
constexpr int kMaxFolderDepth = 64;

void MakeWithProgress(BatchJob& job, const BatchContext& context, const char* label,
                      const std::string& folder, const platform::FileInfo& entry) {
  job.ShowProgress(ThumbnailBatchTitle(job.run_counters()),
                   BatchProgressText(label, folder, entry.name));
  MakeMissingThumbnail(job, context, folder, entry.name, entry.size);
}

void WalkSearchList(BatchJob& job, const BatchContext& context) {
  ListScanner scanner(context.media(), context.channels);
  // Search target lists walk each folder once unless they say otherwise.
  scanner.ScanListFile(0, context.search_list, 1, {},
                       [&](const std::string& folder, const platform::FileInfo* entry, int code) {
                         if (job.cancelled()) return 0;
                         if (code == ListScanner::kMediaFile && entry != nullptr) {
                           MakeWithProgress(job, context, kSearchListLabel, folder, *entry);
                         }
                         return job.cancelled() ? 0 : 1;
                       });
}

// The folder's media files, then each subfolder, depth first.
void WalkDroppedFolder(BatchJob& job, const BatchContext& context, const std::string& folder,
                       int depth) {
  std::vector<platform::FileInfo> entries;
  if (!platform::ListFolder(ToHostSeparators(folder), &entries)) return;
  const MediaSets media = context.media();
  for (const platform::FileInfo& entry : entries) {
    if (job.cancelled()) return;
    if (entry.is_folder || !media.IsMedia(entry.name)) continue;
    MakeWithProgress(job, context, kDroppedFolderLabel, folder, entry);
  }
  if (depth >= kMaxFolderDepth) return;
  for (const platform::FileInfo& entry : entries) {
    if (job.cancelled()) return;
    if (entry.is_folder) WalkDroppedFolder(job, context, JoinPath(folder, entry.name), depth + 1);
  }
}

}  // namespace

std::string ThumbnailBatchTitle(const BatchCounters& counters) {
  return "サムネイル作成中・・・(作成:" + std::to_string(counters.made) +
         "  チェック:" + std::to_string(counters.checked) + ")";
}

bool MakeMissingThumbnail(BatchJob& job, const BatchContext& context, const std::string& folder,
                          const std::string& name, int64_t size) {
  ++job.run_counters().checked;
  BatchRecord record;
  if (!FindOrAddRecord(context.table, JoinPath(folder, name), size, &record)) return false;
  std::string thumbnail;
  if (!ThumbnailPathFor(context.thumbnail_folder, record.id_text, &thumbnail) ||
      ThumbnailFileExists(thumbnail)) {
    return false;
  }
  ThumbnailJob& thumbnail_job = job.thumbnail_job();
  thumbnail_job.record_id = record.id;
  if (!context.thumbnails->MakeThumbnail(&thumbnail_job,
                                         ThumbnailManager::MakeMode::kMakeOrAdopt)) {
    return false;
  }
  ++job.run_counters().made;
  return true;
}

void RunThumbnailBatch(BatchJob& job, const BatchContext& context,
                       const std::vector<std::string>& dropped) {
  job.BeginRun(context.table);
  if (dropped.empty()) {
    WalkSearchList(job, context);
  } else {
    for (const std::string& item : dropped) {
      if (job.cancelled()) break;
      const std::string folder = WithForwardSlashes(item);
      if (PathKind(ToHostSeparators(folder)) != kPathFolder) continue;
      WalkDroppedFolder(job, context, folder, 0);
    }
  }
  job.EndRun(ThumbnailBatchTitle(job.counters()));
}

}  // namespace velmor
