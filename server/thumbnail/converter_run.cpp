#include "thumbnail/converter_run.h"

#include "core/paths.h"
#include "library/channel_list.h"
#include "library/data_table.h"
#include "library/list_file.h"
#include "library/list_scanner.h"
#include "library/tag_text.h"
#include "platform/file_system.h"
#include "thumbnail/batch_record.h"
#include "thumbnail/moved_aside.h"
#include "thumbnail/old_markers.h"
#include "thumbnail/old_thumbnail.h"
#include "thumbnail/thumbnail_file.h"
#include "thumbnail/thumbnail_info.h"

namespace velmor {
namespace {

constexpr char kFavouritesLabel[] = "お気に入りリスト内のファイル";
constexpr char kSearchResultsLabel[] = "検索結果リスト内のファイル";
constexpr char kSearchListLabel[] = "検索対象リスト上のフォルダ";
constexpr char kFolderLabel[] = "フォルダ";
constexpr char kDroppedFileLabel[] = "ドロップされたファイル";
constexpr char kDroppedListLabel[] = "ドロップされたプレイリスト 拡張子vrl";

std::string SweepTitle(const BatchCounters& counters) {
  return "空のマーカーファイルを移動中・・・(空:" + std::to_string(counters.empty) +
         "  チェック:" + std::to_string(counters.checked) + ")";
}

// Old thumbnails that the converter or the server's own maker already
// replaced ("<make>" 3 or 4) are not written over.
bool KeepsNewThumbnail(const BatchRecord& record, const std::string& thumbnail) {
  if (!ThumbnailFileExists(thumbnail)) return false;
  ThumbnailInfo stored;
  ApplyInfoText(record.thum, &stored);
  return stored.make == 3 || stored.make == 4;
}

// The "<thum>" value of an old thumbnail; when the old text does not fit
// the record (or its brackets do not balance), the facts read from it.
void StoreOldInfo(DataTable* table, int64_t id, const std::string& old_info,
                  const ThumbnailInfo& info) {
  DataTable::Locked locked = table->Lock();
  S_DATATABLE* record = locked.FindById(id);
  if (record == nullptr) return;
  std::string value = StoredFormOfOldInfo(old_info);
  if (!SetTagValue(&record->tags, "<thum>", &value)) {
    value = FormatInfoText(info);
    if (!SetTagValue(&record->tags, "<thum>", &value)) return;
  }
  locked.Touch(record);
}

void ConvertThumbnail(BatchJob& job, const BatchContext& context, const BatchRecord& record,
                      const std::string& old_path) {
  std::string thumbnail;
  ThumbnailJob& converting = job.thumbnail_job();
  converting.info.Reset();
  if (!ThumbnailPathFor(context.thumbnail_folder, record.id_text, &thumbnail) ||
      !platform::ReadWholeFile(old_path, &converting.image)) {
    return;  // an unreadable file stays where it is
  }
  const std::string old_info = OldInfoText(converting.image);
  ApplyInfoText(old_info, &converting.info);
  bool written = false;
  if (!KeepsNewThumbnail(record, thumbnail)) {
    // A picture the new server made from the media itself ("<make>" 1 or
    // 2) is kept: then the old one counts as a duplicate.
    written = WriteThumbnailFile(thumbnail, converting.image, converting.info.make) ==
              ThumbnailWrite::kWritten;
    if (written) StoreOldInfo(context.table, record.id, old_info, converting.info);
  }
  MoveAside(old_path, written ? kConvertedFolder : kDuplicationFolder);
  ++job.run_counters().made;
}

void StoreMarkers(DataTable* table, int64_t id, const MarkerSet& markers) {
  DataTable::Locked locked = table->Lock();
  S_DATATABLE* record = locked.FindById(id);
  if (record == nullptr) return;
  const std::string value = markers.StoredText();
  if (!SetTagValue(&record->tags, "<mark>", &value)) return;
  record->flags |= kFlagHasMarkers;
  locked.Touch(record);
}

void ConvertMarkers(BatchJob& job, const BatchContext& context, const BatchRecord& record,
                    const std::string& old_path) {
  if (record.has_markers) {
    MoveAside(old_path, kDuplicationFolder);
  } else {
    const MarkerSet markers = ReadOldMarkerFile(old_path);
    if (markers.Any()) StoreMarkers(context.table, record.id, markers);
    MoveAside(old_path, kConvertedFolder);
  }
  ++job.run_counters().markers;
}

// "/a/b/c.mp4" as "/a/b" and "c.mp4" (a name at the root has the folder
// "/"); false for a path that ends without a name.
bool SplitFolderAndName(const std::string& path, std::string* folder, std::string* name) {
  const size_t name_at = NamePosition(path);
  if (name_at == 0 || name_at >= path.size()) return false;
  *folder = path.substr(0, name_at - 1);
  if (folder->empty()) *folder = "/";
  *name = path.substr(name_at);
  return true;
}

bool IsFile(const std::string& path) {
  return platform::GetPathType(ToHostSeparators(path)) == platform::PathType::kFile;
}

void ConvertWithProgress(BatchJob& job, const BatchContext& context, const char* label,
                         const std::string& folder, const std::string& name, int64_t size,
                         bool add_record) {
  job.ShowProgress(ConverterTitle(job.run_counters()), BatchProgressText(label, folder, name));
  ConvertOldFiles(job, context, folder, name, size, add_record);
}

// A playlist line or a dropped file: its "<fs>" size, else its size on
// disk (-2 for a folder).
void ConvertListEntry(BatchJob& job, const BatchContext& context, const char* label,
                      const std::string& line) {
  const ListPathLine entry = ParseListPathLine(line);
  const std::string host_path = ToHostSeparators(entry.path);
  std::string folder;
  std::string name;
  if (!platform::IsAbsolutePath(host_path) || !SplitFolderAndName(entry.path, &folder, &name)) {
    return;
  }
  int64_t size = entry.has_size ? entry.size : CChannelList::kSizeUnknown;
  if (size == CChannelList::kSizeUnknown) {
    size = PathKind(host_path) == kPathFolder ? kSizeFolder : GetFileSize64(host_path);
  }
  ConvertWithProgress(job, context, label, folder, name, size, true);
}

void ConvertList(BatchJob& job, const BatchContext& context, const char* label,
                 const std::string& list) {
  if (list.empty() || !IsFile(list)) return;
  ReadListFileLines(ToHostSeparators(list), [&](const std::string& line) {
    if (job.cancelled()) return 0;
    ConvertListEntry(job, context, label, line);
    return job.cancelled() ? 0 : 1;
  });
}

// A folder the table knows is converted itself (its old folder thumbnail).
void ConvertKnownFolder(BatchJob& job, const BatchContext& context, const char* label,
                        const std::string& folder) {
  BatchRecord record;
  std::string parent;
  std::string name;
  if (!FindFolderRecord(context.table, folder, &record) ||
      !SplitFolderAndName(folder, &parent, &name)) {
    return;
  }
  ConvertWithProgress(job, context, label, parent, name, kSizeFolder, false);
}

void SweepEmptyMarkerFiles(BatchJob& job, const BatchContext& context) {
  std::vector<platform::FileInfo> entries;
  if (!platform::ListFolder(ToHostSeparators(context.old_marker_folder), &entries)) return;
  for (const platform::FileInfo& entry : entries) {
    if (job.cancelled()) return;
    if (entry.is_folder || AsciiLower(SplitPath(entry.name).extension) != ".trm") continue;
    BatchCounters& counters = job.run_counters();
    ++counters.checked;
    job.ShowProgress(SweepTitle(counters), entry.name);
    const std::string path = JoinPath(context.old_marker_folder, entry.name);
    if (ReadOldMarkerFile(ToHostSeparators(path)).Any()) continue;
    MoveAside(ToHostSeparators(path), kNullFolder);
    ++counters.empty;
  }
}

void WalkSearchList(BatchJob& job, const BatchContext& context) {
  ListScanner scanner(context.media(), context.channels);
  scanner.ScanListFile(0, context.search_list, 1, {},
                       [&](const std::string& folder, const platform::FileInfo* entry, int code) {
                         if (job.cancelled()) return 0;
                         if (code == ListScanner::kFolder) {
                           ConvertKnownFolder(job, context, kSearchListLabel, folder);
                         } else if (entry != nullptr) {
                           ConvertWithProgress(job, context, kSearchListLabel, folder, entry->name,
                                               entry->size, false);
                         }
                         return job.cancelled() ? 0 : 1;
                       });
}

void BatchRun(BatchJob& job, const BatchContext& context) {
  SweepEmptyMarkerFiles(job, context);
  ConvertList(job, context, kFavouritesLabel, context.favourites_list);
  ConvertList(job, context, kSearchResultsLabel, context.search_results);
  if (!job.cancelled()) WalkSearchList(job, context);
}

void ConvertDroppedFolder(BatchJob& job, const BatchContext& context, const std::string& folder) {
  WalkDroppedFolder(
      job, context.media(), folder,
      {[&](const std::string& at) { ConvertKnownFolder(job, context, kFolderLabel, at); },
       [&](const std::string& at, const std::string& name, int64_t size) {
         ConvertWithProgress(job, context, kFolderLabel, at, name, size, false);
       }});
}

void DropRun(BatchJob& job, const BatchContext& context, const std::vector<std::string>& dropped) {
  for (const std::string& item : dropped) {
    if (job.cancelled()) return;
    const std::string path = WithForwardSlashes(item);
    const int kind = PathKind(ToHostSeparators(path));
    if (kind == kPathFolder) {
      ConvertDroppedFolder(job, context, path);
    } else if (kind != kPathFile) {
      continue;
    } else if (AsciiLower(SplitPath(path).extension) == ".vrl") {
      ConvertList(job, context, kDroppedListLabel, path);
    } else {
      ConvertListEntry(job, context, kDroppedFileLabel, path);
    }
  }
}

}  // namespace

std::string ConverterTitle(const BatchCounters& counters) {
  return "変換中・・・(サムネイル:" + std::to_string(counters.made) +
         "  マーカー:" + std::to_string(counters.markers) +
         "  空:" + std::to_string(counters.empty) +
         "  チェック:" + std::to_string(counters.checked) + ")";
}

void ConvertOldFiles(BatchJob& job, const BatchContext& context, const std::string& folder,
                     const std::string& name, int64_t size, bool add_record) {
  ++job.run_counters().checked;
  const std::string path = JoinPath(folder, name);
  const bool is_folder = size == kSizeFolder;
  BatchRecord record;
  bool have_record = false;
  const std::string old_thumbnail = ToHostSeparators(
      OldThumbnailPath(context.old_thumbnail_folder, name, is_folder, context.media()));
  if (IsFile(old_thumbnail)) {
    have_record = FindOrAddRecord(context.table, path, size, &record);
    if (have_record) ConvertThumbnail(job, context, record, old_thumbnail);
  }
  const std::string old_markers =
      ToHostSeparators(JoinPath(context.old_marker_folder, OldBaseName(name, is_folder) + ".trm"));
  if (IsFile(old_markers)) {
    if (!have_record) have_record = FindOrAddRecord(context.table, path, size, &record);
    if (have_record) ConvertMarkers(job, context, record, old_markers);
  }
  if (add_record && !have_record) FindOrAddRecord(context.table, path, size, &record);
}

void RunConverter(BatchJob& job, const BatchContext& context,
                  const std::vector<std::string>& dropped) {
  job.BeginRun(context.table);
  if (dropped.empty()) {
    BatchRun(job, context);
  } else {
    DropRun(job, context, dropped);
  }
  // Also after a cancel: what was converted is on disk before the tool
  // says it is done.
  if (context.table->dirty()) context.table->Save();
  job.EndRun(ConverterTitle(job.counters()));
}

}  // namespace velmor
