#include "library/folder_listing.h"

#include <algorithm>

#include "core/paths.h"
#include "library/data_table_record.h"
#include "library/folder_entries.h"
#include "library/list_file.h"
#include "library/natural_order.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

// Chapter trees nested deeper than this (a folder link that loops) stop.
constexpr int kMaxChapterDepth = 32;

bool Wants(int mask, int media_type) {
  switch (media_type) {
    case kMediaVideo:
      return (mask & kMaskVideo) != 0;
    case kMediaAudio:
      return (mask & kMaskAudio) != 0;
    case kMediaImage:
      return (mask & kMaskImage) != 0;
    default:
      return false;
  }
}

// The item's date and date-time from one conversion to local time, not one
// each: a listing converts the time of every file it lists.
void SetDates(uint64_t file_time, S_SORTW* item) {
  const platform::LocalTime local = platform::LocalTimeOfFileTime(file_time);
  item->date = SortDate(local);
  item->date_time = SortDateTime(local);
}

}  // namespace

int64_t LocalDateOf(uint64_t file_time) {
  return SortDate(platform::LocalTimeOfFileTime(file_time));
}

int64_t LocalDateTimeOf(uint64_t file_time) {
  return SortDateTime(platform::LocalTimeOfFileTime(file_time));
}

bool FolderListing::IsInChapterFolder(const std::string& path) const {
  return table_ != nullptr && table_->Lock().FindChapterFolder(path) != nullptr;
}

bool FolderListing::IsChapterFolder(const std::string& path) const {
  if (table_ == nullptr) return false;
  DataTable::Locked table = table_->Lock();
  const S_DATATABLE* record = table.Find(path, kSizeFolder);
  return record != nullptr && (record->flags & kFlagChapterFolder) != 0;
}

int FolderListing::FolderMediaType(const std::string& folder, int mask, bool chapter) const {
  bool audio = false;
  int images = 0;
  for (const platform::FileInfo& entry : ReadFolderNames(folder)) {
    if (entry.is_folder) continue;
    const MediaType type = media_.TypeOf(entry.name);
    if (type == kMediaVideo && (mask & kMaskVideo)) return kMediaVideo;
    audio |= type == kMediaAudio && (mask & kMaskAudio);
    images += type == kMediaImage && (mask & kMaskImage) ? 1 : 0;
  }
  if (audio) return kMediaAudio;
  if (images >= (chapter ? 2 : 1)) return kMediaImage;
  return kMediaNone;
}

FolderListing::ChapterTree FolderListing::BuildChapterTree(const std::string& folder,
                                                           int depth) const {
  ChapterTree tree;
  tree.media_type = FolderMediaType(folder, request_.media_mask, true);
  const int picked = tree.media_type == kMediaNone ? kMediaVideo : tree.media_type;
  const auto chapter_entry = [&](std::string_view name, bool is_folder) {
    return is_folder || (tree.media_type != kMediaNone && media_.TypeOf(name) == picked);
  };
  for (const platform::FileInfo& entry : ReadFolderEntries(folder, chapter_entry)) {
    S_SORTW item;
    item.name = entry.name;
    SetDates(entry.write_time, &item);
    if (entry.is_folder) {
      if (depth >= kMaxChapterDepth) continue;
      ChapterTree nested = BuildChapterTree(JoinPath(folder, entry.name), depth + 1);
      item.kind = kKindNestedChapterFolder;
      item.file_size = kSizeFolder;
      item.media_type = tree.media_type;
      item.chapter_count = nested.chapter_count;
      item.chapter_tree = std::move(nested.items);
      tree.chapter_count += item.chapter_count;
      tree.newest_write_time = std::max(tree.newest_write_time, nested.newest_write_time);
      tree.items.push_back(std::move(item));
      continue;
    }
    if (tree.media_type == kMediaNone || media_.TypeOf(entry.name) != picked) continue;
    item.kind = kKindChapterFile;
    item.file_size = entry.size;
    item.media_type = tree.media_type;
    ++tree.chapter_count;
    tree.newest_write_time = std::max(tree.newest_write_time, entry.write_time);
    tree.items.push_back(std::move(item));
  }
  SortItems(&tree.items, kChapterTreeOrder);
  return tree;
}

std::vector<FolderListing::Subfolder> FolderListing::Subfolders(
    const std::vector<platform::FileInfo>& entries, const std::string& folder) const {
  std::vector<Subfolder> all;
  for (const platform::FileInfo& entry : entries) {
    if (!entry.is_folder) continue;
    Subfolder subfolder{entry.name, LocalDateOf(entry.write_time), entry.write_time,
                        IsChapterFolder(JoinPath(folder, entry.name))};
    all.push_back(subfolder);
  }
  std::stable_sort(all.begin(), all.end(), [](const Subfolder& a, const Subfolder& b) {
    return CompareNatural(a.name, b.name) < 0;
  });
  return all;
}

std::vector<S_SORTW> FolderListing::Items(const std::vector<platform::FileInfo>& entries,
                                          const std::vector<Subfolder>& subfolders,
                                          const std::string& folder) const {
  std::vector<S_SORTW> items;
  for (const Subfolder& subfolder : subfolders) {
    if (!subfolder.chapter) continue;
    ChapterTree tree = BuildChapterTree(JoinPath(folder, subfolder.name));
    if (tree.chapter_count == 0) continue;
    S_SORTW item;
    item.name = subfolder.name;
    item.kind = kKindChapterFolder;
    item.media_type = tree.media_type;
    SetDates(tree.newest_write_time, &item);
    item.file_size = kSizeFolder;
    item.chapter_count = tree.chapter_count;
    item.chapter_tree = std::move(tree.items);
    items.push_back(std::move(item));
  }
  for (const platform::FileInfo& entry : entries) {
    if (entry.is_folder) continue;
    const MediaType type = media_.TypeOf(entry.name);
    if (!Wants(request_.media_mask, type)) continue;
    S_SORTW item;
    item.name = entry.name;
    item.kind = kKindFile;
    item.media_type = type;
    SetDates(entry.write_time, &item);
    item.file_size = entry.size;
    items.push_back(std::move(item));
  }
  return items;
}

void FolderListing::Lookup(const std::string& folder, const std::string& name, int64_t size,
                           uint64_t* flags, int64_t* id) {
  *flags = 0;
  *id = 0;
  if (table_ == nullptr) return;
  DataTable::Locked table = table_->Lock();
  if (const S_DATATABLE* record = table.FindByFolderName(folder, name, size)) {
    *flags = static_cast<uint64_t>(record->flags);
    *id = record->id_int;
    return;
  }
  *id = table.NewTemporaryId();
}

// The folder's entries with the sizes and times of the files the listing
// wants: it reads no status of a file it leaves out. A walk over a tree reads
// the folders it comes to next ahead, beside its own work.
std::vector<platform::FileInfo> FolderListing::ListedEntries(const std::string& folder,
                                                             bool recursive) {
  platform::WantsDetails wants = [this](std::string_view name, bool is_folder) {
    return is_folder || Wants(request_.media_mask, media_.TypeOf(name));
  };
  if (!recursive) return ReadFolderEntries(folder, wants);
  if (read_ahead_ == nullptr) read_ahead_ = std::make_unique<FolderReadAhead>(std::move(wants));
  return read_ahead_->Take(folder);
}

int FolderListing::ListFolder(const std::string& folder, int indent, bool recursive) {
  if (IsInChapterFolder(folder)) return 1;
  records_->BeginFolder(folder, indent);
  const std::vector<platform::FileInfo> entries = ListedEntries(folder, recursive);
  std::vector<Subfolder> subfolders = Subfolders(entries, folder);
  if (recursive) {
    std::vector<std::string> next;
    for (const Subfolder& subfolder : subfolders) {
      if (!subfolder.chapter) next.push_back(JoinPath(folder, subfolder.name));
    }
    read_ahead_->QueueNext(next);
  } else {
    for (const Subfolder& subfolder : subfolders) {
      if (subfolder.chapter) continue;
      S_LIST_RECORD record;
      uint64_t flags = 0;
      Lookup(folder, subfolder.name, kSizeFolder, &flags, &record.id_int);
      record.word = ListItemWord(flags, kItemFolder, 0, kKindSubfolder);
      record.folder = folder;
      record.name = subfolder.name;
      record.date = static_cast<int32_t>(subfolder.date);
      record.file_size = kSizeFolder;
      records_->Add(record);
    }
  }
  std::vector<S_SORTW> items = Items(entries, subfolders, folder);
  if (!items.empty()) {
    SortAndGroupItems(&items, request_.sort_name, request_.sort_mode, request_.sort_mode_2nd,
                      config_);
  }
  for (const S_SORTW& item : items) AppendItem(folder, item);
  records_->EndFolder();
  if (!recursive) return 1;
  for (const Subfolder& subfolder : subfolders) {
    if (subfolder.chapter) continue;
    if (ListFolder(JoinPath(folder, subfolder.name), indent + 1, true) == 0) return 0;
  }
  return 1;
}

void FolderListing::AppendItem(const std::string& folder, const S_SORTW& item) {
  const bool chapter_folder = item.kind == kKindChapterFolder;
  S_LIST_RECORD record;
  uint64_t flags = 0;
  Lookup(folder, item.name, item.file_size, &flags, &record.id_int);
  record.word = ListItemWord(flags, chapter_folder ? kItemFolder | kItemChapter : 0,
                             item.media_type, static_cast<uint32_t>(item.kind));
  record.folder = folder;
  record.name = item.name;
  record.date = static_cast<int32_t>(item.date);
  record.file_size = item.file_size;
  // The record keeps 16 bits; larger group numbers stop at the largest.
  record.group_no = static_cast<int16_t>(std::min(item.group_no, 32767));
  record.chapter = chapter_folder ? static_cast<uint16_t>(item.chapter_count) : 0;
  const int position = records_->count();
  records_->Add(record);
  if (chapter_folder) AppendChapterRecords(JoinPath(folder, item.name), item, position);
}

void FolderListing::AppendChapterRecords(const std::string& folder, const S_SORTW& chapter_folder,
                                         int position) {
  // Nested chapter folders first: their own nested ones, then their record
  // (only when they hold chapter files directly) and their files.
  for (const S_SORTW& nested : chapter_folder.chapter_tree) {
    if (nested.kind != kKindNestedChapterFolder) continue;
    const std::string nested_path = JoinPath(folder, nested.name);
    S_SORTW without_files = nested;
    without_files.chapter_tree.erase(
        std::remove_if(without_files.chapter_tree.begin(), without_files.chapter_tree.end(),
                       [](const S_SORTW& x) { return x.kind == kKindChapterFile; }),
        without_files.chapter_tree.end());
    AppendChapterRecords(nested_path, without_files, position);
    const int direct_files = static_cast<int>(
        std::count_if(nested.chapter_tree.begin(), nested.chapter_tree.end(),
                      [](const S_SORTW& x) { return x.kind == kKindChapterFile; }));
    if (direct_files == 0) continue;
    S_LIST_RECORD record;
    uint64_t flags = 0;
    Lookup(folder, nested.name, kSizeFolder, &flags, &record.id_int);
    record.word = ListItemWord(flags, kItemFolder | kItemChapter, nested.media_type,
                               kKindNestedChapterFolder);
    record.folder = folder;
    record.name = nested.name;
    record.date = static_cast<int32_t>(nested.date);
    record.file_size = kSizeFolder;
    record.parent = static_cast<int16_t>(position);
    record.chapter = static_cast<uint16_t>(direct_files);
    const int nested_position = records_->count();
    records_->Add(record);
    S_SORTW files_only = nested;
    files_only.chapter_tree.erase(
        std::remove_if(files_only.chapter_tree.begin(), files_only.chapter_tree.end(),
                       [](const S_SORTW& x) { return x.kind != kKindChapterFile; }),
        files_only.chapter_tree.end());
    AppendChapterRecords(nested_path, files_only, nested_position);
  }
  int number = 0;
  for (const S_SORTW& file : chapter_folder.chapter_tree) {
    if (file.kind != kKindChapterFile) continue;
    S_LIST_RECORD record;
    uint64_t flags = 0;
    Lookup(folder, file.name, file.file_size, &flags, &record.id_int);
    record.word = ListItemWord(flags, kItemChapter, file.media_type, kKindChapterFile);
    record.folder = folder;
    record.name = file.name;
    record.date = static_cast<int32_t>(file.date);
    record.file_size = file.file_size;
    record.parent = static_cast<int16_t>(position);
    record.chapter = static_cast<uint16_t>(number++);
    records_->Add(record);
  }
}

}  // namespace velmor
