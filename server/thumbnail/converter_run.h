// The converter's run: thumbnails and marker files of the older server
// version become data table records with thumbnails and markers of the
// current one, and the old files are moved aside ("converted",
// "duplication", "null").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "thumbnail/batch_job.h"

namespace velmor {

// What the progress window shows as the run starts.
inline constexpr char kConverterStartTitle[] = "変換中・・・";
inline constexpr char kConverterStartText[] = "変換しています。";

// "変換中・・・(サムネイル:%d  マーカー:%d  空:%d  チェック:%d)"
std::string ConverterTitle(const BatchCounters& counters);

// The whole run, on the job's worker, ending with a save of the table.
// Without dropped paths: the empty marker files are swept, then the
// favourites and search results lists and the search list's folders are
// converted; with them: each dropped folder (and its subfolders), file or
// ".vrl" playlist.
void RunConverter(BatchJob& job, const BatchContext& context,
                  const std::vector<std::string>& dropped);

// Converts the old thumbnail and marker file of one media file (or folder,
// size -2); with add_record the file gets a record even without either.
void ConvertOldFiles(BatchJob& job, const BatchContext& context, const std::string& folder,
                     const std::string& name, int64_t size, bool add_record);

}  // namespace velmor
