// The thumbnail maker's run: every media file of the search list's folders
// (or of folders dropped on the tool) gets its missing thumbnail.
#pragma once

#include <string>
#include <vector>

#include "thumbnail/batch_job.h"

namespace velmor {

// What the progress window shows as the run starts.
inline constexpr char kThumbnailBatchStartTitle[] = "サムネイル作成中・・・";
inline constexpr char kThumbnailBatchStartText[] = "サムネイルを作成しています。";

// "サムネイル作成中・・・(作成:%d  チェック:%d)"
std::string ThumbnailBatchTitle(const BatchCounters& counters);

// The whole run, on the job's worker. Without dropped paths: the folders of
// the search list (context.search_list); with them: each absolute folder
// among them (anything else is ignored) and its subfolders.
void RunThumbnailBatch(BatchJob& job, const BatchContext& context,
                       const std::vector<std::string>& dropped);

// Counts a checked file; when its record has no thumbnail file yet, makes
// one with the job's ThumbnailJob. True when one was made.
bool MakeMissingThumbnail(BatchJob& job, const BatchContext& context, const std::string& folder,
                          const std::string& name, int64_t size);

}  // namespace velmor
