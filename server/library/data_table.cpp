#include "library/data_table.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/parallel_tasks.h"
#include "core/paths.h"
#include "library/data_table_file.h"

namespace velmor {
namespace {

// About one line of a typical record, to size the text in one go.
constexpr size_t kTypicalLineBytes = 160;

std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

bool SameContent(const S_DATATABLE& a, const S_DATATABLE& b) {
  return a.id_text == b.id_text && a.date_time == b.date_time && a.file_size == b.file_size &&
         a.flags == b.flags && a.path == b.path && a.tags == b.tags;
}

// "VelmorVRServer.txt.damaged-20240101-123000.txt", unused so far.
std::string DamagedCopyPath(const std::string& path, const platform::LocalTime& now) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, ".damaged-%08d-%02d%02d%02d", DateNumber(now), now.hour,
                now.minute, now.second);
  const std::string base = path + stamp;
  std::string candidate = base + ".txt";
  for (int number = 2;
       number < 100 && platform::GetPathType(candidate) != platform::PathType::kNone; ++number) {
    candidate = base + "-" + std::to_string(number) + ".txt";
  }
  return candidate;
}

// Any case, as the Windows file search matches "*.jpg".
bool HasJpgExtension(std::string_view name) {
  if (name.size() < 4) return false;
  const std::string_view extension = name.substr(name.size() - 4);
  for (size_t i = 0; i < 4; ++i) {
    const char c = extension[i];
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    if (lower != ".jpg"[i]) return false;
  }
  return true;
}

}  // namespace

DataTable::DataTable() : DataTable(Clocks()) {}

DataTable::DataTable(Clocks clocks) : clocks_(clocks) {
  if (clocks_.tick == nullptr) clocks_.tick = &platform::TickCount;
  if (clocks_.local_time == nullptr) clocks_.local_time = &platform::CurrentLocalTime;
  last_tick_ms_ = Now();
  last_change_ms_ = last_tick_ms_;
}

DataTable::~DataTable() {
  if (dirty()) Save();
}

void DataTable::Open(const Settings& settings) {
  std::string path;
  ResolveFileSetting(settings.path, kDefaultPath, &path);
  const std::string folder = FolderOf(path);
  if (!folder.empty()) EnsureFolder(folder);
  // Ids have two digits for the device; more would run into the next date.
  const int device = std::clamp(settings.device_id, 0, kMaxDeviceId);

  std::lock_guard<std::mutex> save_lock(save_lock_);
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (settings.thumbnail_folder != settings_.thumbnail_folder) {
      settings_.thumbnail_folder = settings.thumbnail_folder;
      sequence_checked_ = false;
    }
    if (opened_ && path == settings_.path && device == settings_.device_id) return;
  }
  RefreshDate();
  if (opened_) SaveHoldingSaveLock();
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    store_.ClearIndexes();
    settings_.path = path;
    settings_.device_id = device;
    // Always read the new file, even when its time equals the old one's (a
    // copy keeps its time): an unread file would be overwritten.
    seen_valid_ = false;
    damaged_source_.clear();
    opened_ = true;
  }
  // What a write cut off by a kill left beside the file.
  platform::RemoveLeftTemporaries(path);
  LoadFile();
}

DataTable::Settings DataTable::settings() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return settings_;
}

void DataTable::Tick() {
  const uint32_t now = Now();
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (platform::TickDiff(now, last_tick_ms_) < static_cast<int32_t>(kTickPeriodMs)) return;
    last_tick_ms_ = now;
  }
  std::lock_guard<std::mutex> save_lock(save_lock_);
  if (!opened_) return;
  bool is_dirty = false;
  int32_t since_change = 0;
  int32_t since_first_change = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    is_dirty = dirty_;
    since_change = platform::TickDiff(now, last_change_ms_);
    since_first_change = platform::TickDiff(now, first_unsaved_change_ms_);
  }
  if (!is_dirty) {
    if (!seen_valid_ || CurrentStamp() != seen_) MergeFile();
    return;
  }
  if (since_change >= static_cast<int32_t>(kSaveDelayMs) ||
      since_first_change >= static_cast<int32_t>(kSaveBoundMs)) {
    SaveHoldingSaveLock();
  }
}

bool DataTable::Save() {
  std::lock_guard<std::mutex> save_lock(save_lock_);
  return SaveHoldingSaveLock();
}

bool DataTable::TakeSaveFailure() { return failure_to_report_.exchange(false); }

bool DataTable::dirty() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return dirty_;
}

void DataTable::RefreshDate() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  RefreshDateLocked();
}

void DataTable::RefreshDateKeepingTemporaryIds() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const int64_t next_temporary_id = next_temporary_id_;
  RefreshDateLocked();
  next_temporary_id_ = next_temporary_id;
}

int64_t DataTable::NewTemporaryId() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const int64_t id = next_temporary_id_;
  next_temporary_id_ = id >= kMaxTemporaryId ? 0 : id + 1;
  return id;
}

DataTable::Locked DataTable::Lock() { return Locked(this); }

DataTable::FileStamp DataTable::CurrentStamp() const {
  FileStamp stamp;
  platform::FileInfo info;
  if (!platform::GetFileInfo(settings_.path, &info)) return stamp;
  stamp.exists = true;
  stamp.write_time = info.write_time;
  stamp.size = info.is_folder ? -1 : info.size;
  return stamp;
}

DataTable::ReadResult DataTable::ReadFile(FileStamp* stamp, std::string* bytes) const {
  // The stamp before the bytes: a change in between shows as a change next
  // time instead of going unseen.
  *stamp = CurrentStamp();
  if (!stamp->exists) return ReadResult::kAbsent;
  if (!platform::ReadWholeFile(settings_.path, bytes)) return ReadResult::kUnreadable;
  return ReadResult::kRead;
}

void DataTable::LoadFile() {
  FileStamp stamp;
  std::string bytes;
  const ReadResult result = ReadFile(&stamp, &bytes);
  std::vector<TableText> pieces;
  if (result == ReadResult::kRead) pieces = ReadTableTextInParts(bytes, ParallelWidth());

  std::lock_guard<std::recursive_mutex> lock(lock_);
  store_.Clear();
  dirty_ = false;
  change_count_ = 0;
  // An unreadable file stays unseen: it is read again before anything is
  // written over it, and until then nothing is.
  seen_valid_ = result != ReadResult::kUnreadable;
  seen_ = stamp;
  bool damaged = false;
  for (TableText& piece : pieces) {
    store_.AdoptAndAppend(std::move(piece.records));
    damaged = damaged || piece.damaged;
  }
  if (!store_.PrimaryInOrder()) {
    store_.SortPrimary();
    TouchLocked(nullptr);  // rewrite the file in order
  }
  store_.SortIdAndName();
  if (damaged) damaged_source_ = std::move(bytes);
  RecomputeNextSequenceLocked();
}

bool DataTable::MergeFile() {
  FileStamp stamp;
  std::string bytes;
  const ReadResult result = ReadFile(&stamp, &bytes);
  if (result == ReadResult::kUnreadable) return false;
  TableText text;
  if (result == ReadResult::kRead) ReadTableText(bytes, &text);

  std::lock_guard<std::recursive_mutex> lock(lock_);
  seen_ = stamp;
  seen_valid_ = true;
  // A file that vanished (deleted, or between another writer's delete and
  // rename) says nothing about the records: memory keeps them all and the
  // next save writes them back.
  if (result == ReadResult::kAbsent) return true;
  ApplyMerge(&text.records);
  damaged_source_ = text.damaged ? std::move(bytes) : std::string();
  RecomputeNextSequenceLocked();
  return true;
}

// Disk wins for every record memory has not changed, memory for the ones it
// has; a record missing on disk goes unless memory changed it.
void DataTable::ApplyMerge(std::vector<S_DATATABLE>* disk_records) {
  std::unordered_set<const S_DATATABLE*> kept;
  std::unordered_map<int64_t, S_DATATABLE*> added_ids;
  std::vector<S_DATATABLE*> added;
  kept.reserve(disk_records->size());
  for (S_DATATABLE& disk : *disk_records) {
    S_DATATABLE* memory = store_.FindById(disk.id_int);
    if (memory == nullptr) {
      // A second line with the same id adds nothing.
      if (added_ids.count(disk.id_int) != 0) continue;
      memory = store_.AddToPool(std::move(disk));
      added_ids.emplace(memory->id_int, memory);
      added.push_back(memory);
    } else if (memory->modified == 0 && !SameContent(*memory, disk)) {
      // Any difference, not only a newer time stamp: a hand edit seldom
      // changes the time.
      *memory = std::move(disk);
      memory->modified = 0;
    }
    kept.insert(memory);
  }
  store_.RemoveFromIndexes(
      [&](const S_DATATABLE& record) { return record.modified != 0 || kept.count(&record) != 0; });
  for (S_DATATABLE* record : added) store_.AppendToIndexes(record);
  store_.SortPrimary();
  store_.SortIdAndName();
}

bool DataTable::SaveHoldingSaveLock() {
  if (!dirty()) return true;
  if (!opened_) return false;  // nowhere to write yet
  uint32_t unsaved_since = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    unsaved_since = first_unsaved_change_ms_;
  }
  std::string text;
  std::vector<S_DATATABLE*> were_modified;
  bool saved = false;
  if (BuildText(&text, &were_modified)) {
    saved = WriteText(text);
    if (!saved) RestoreUnsaved(were_modified, unsaved_since);
  }
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (!saved && !save_failing_) failure_to_report_ = true;
  save_failing_ = !saved;
  return saved;
}

bool DataTable::BuildText(std::string* text, std::vector<S_DATATABLE*>* were_modified) {
  // Changes on disk first, or they would be written over.
  if (!seen_valid_ || CurrentStamp() != seen_) {
    if (!MergeFile()) return false;
  }
  std::lock_guard<std::recursive_mutex> lock(lock_);
  text->clear();
  text->reserve((store_.record_count() + 1) * kTypicalLineBytes);
  AppendTableHeader(text);
  for (S_DATATABLE* record : store_.by_primary()) {
    if (record->modified != 0) {
      were_modified->push_back(record);
      record->modified = 0;
    }
    AppendRecordLine(*record, text);
  }
  dirty_ = false;
  change_count_ = 0;
  return true;
}

bool DataTable::WriteText(const std::string& text) {
  if (!WriteDamagedCopy()) return false;
  const std::string folder = FolderOf(settings_.path);
  if (!folder.empty()) EnsureFolder(folder);
  if (!platform::WriteFileAtomically(settings_.path, text)) return false;
  const FileStamp stamp = CurrentStamp();
  std::lock_guard<std::recursive_mutex> lock(lock_);
  seen_ = stamp;
  seen_valid_ = true;
  return true;
}

// Content the reader could not use is copied aside before the table first
// writes over it, so a damaged or foreign file never silently vanishes.
bool DataTable::WriteDamagedCopy() {
  if (damaged_source_.empty()) return true;
  const std::string copy = DamagedCopyPath(settings_.path, clocks_.local_time());
  if (!platform::WriteFileAtomically(copy, damaged_source_)) return false;
  damaged_source_.clear();
  return true;
}

// The write failed: what it would have saved is unsaved again, so a merge
// keeps it and the next tick tries again.
// The changes stay as old as they were: the bound still counts from the
// oldest.
void DataTable::RestoreUnsaved(const std::vector<S_DATATABLE*>& were_modified,
                               uint32_t unsaved_since) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  for (S_DATATABLE* record : were_modified) record->modified = 1;
  TouchLocked(nullptr);
  first_unsaved_change_ms_ = unsaved_since;
}

void DataTable::RefreshDateLocked() {
  const int date = DateNumber(clocks_.local_time());
  if (date != today_) {
    today_ = date;
    RecomputeNextSequenceLocked();
  }
  next_temporary_id_ = 0;
}

void DataTable::RecomputeNextSequenceLocked() {
  const int64_t day_and_device = int64_t{today_} * 100 + settings_.device_id;
  const S_DATATABLE* last = store_.LastIdBelow((day_and_device + 1) * kIdSequenceRange);
  next_sequence_ = 0;
  if (last != nullptr && last->id_int / kIdSequenceRange == day_and_device) {
    next_sequence_ = (last->id_int + 1) % kIdSequenceRange;
  }
  sequence_checked_ = false;
}

// Thumbnails of today may outlive their records (a table file replaced or
// lost): new ids start above the highest of them.
void DataTable::CheckSequenceAgainstThumbnailsLocked() {
  sequence_checked_ = true;
  std::vector<platform::FileInfo> entries;
  if (!platform::ListFolder(settings_.thumbnail_folder, &entries)) return;
  const std::string prefix = IdTextPrefix(today_, settings_.device_id);
  constexpr size_t kSequenceStart = 12;
  for (const platform::FileInfo& entry : entries) {
    const std::string& name = entry.name;
    if (entry.is_folder || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!HasJpgExtension(name)) continue;
    int64_t number = 0;
    size_t digits = 0;
    for (size_t i = kSequenceStart; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
      number = number * 10 + (name[i] - '0');
      if (++digits > 8) break;
    }
    // A number too large for a sequence cannot be one of ours.
    if (digits == 0 || number >= kIdSequenceRange - 1) continue;
    next_sequence_ = std::max(next_sequence_, number + 1);
  }
}

void DataTable::TouchLocked(S_DATATABLE* record) {
  if (record != nullptr) {
    record->modified = 1;
    record->date_time = DateTimeNumber(clocks_.local_time());
  }
  if (!dirty_) first_unsaved_change_ms_ = Now();
  dirty_ = true;
  ++change_count_;
  last_change_ms_ = Now();
}

}  // namespace velmor
