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

void MakeWithProgress(BatchJob& job, const BatchContext& context, const char* label,
                      const std::string& folder, const std::string& name, int64_t size) {
  job.ShowProgress(ThumbnailBatchTitle(job.run_counters()), BatchProgressText(label, folder, name));
  MakeMissingThumbnail(job, context, folder, name, size);
}

void WalkSearchList(BatchJob& job, const BatchContext& context) {
  ListScanner scanner(context.media(), context.channels);
  // Search target lists walk each folder once unless they say otherwise.
  scanner.ScanListFile(0, context.search_list, 1, {},
                       [&](const std::string& folder, const platform::FileInfo* entry, int code) {
                         if (job.cancelled()) return 0;
                         if (code == ListScanner::kMediaFile && entry != nullptr) {
                           MakeWithProgress(job, context, kSearchListLabel, folder, entry->name,
                                            entry->size);
                         }
                         return job.cancelled() ? 0 : 1;
                       });
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
      WalkDroppedFolder(
          job, context.media(), folder,
          {nullptr, [&](const std::string& at, const std::string& name, int64_t size) {
             MakeWithProgress(job, context, kDroppedFolderLabel, at, name, size);
           }});
    }
  }
  job.EndRun(ThumbnailBatchTitle(job.counters()));
}

}  // namespace velmor
