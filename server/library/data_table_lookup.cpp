// The data table's lookups and record changes: what the Locked accessor
// offers, with the table lock held.
#include <string>

#include "core/paths.h"
#include "library/data_table.h"

namespace velmor {
namespace {

std::string_view NameOf(std::string_view path) { return path.substr(NamePosition(path)); }

bool SameSeparatorOrChar(char a, char b) { return a == b || (IsSeparator(a) && IsSeparator(b)); }

// The path ends with the relative part ("Series/Ep1"), which begins at a
// component: "/a/Series/Ep1" does, "/a/OldSeries/Ep1" does not. Either
// separator matches either.
bool EndsWithComponents(std::string_view path, std::string_view relative) {
  if (relative.empty() || path.size() < relative.size()) return false;
  const size_t start = path.size() - relative.size();
  if (start > 0 && !IsSeparator(path[start - 1])) return false;
  for (size_t i = 0; i < relative.size(); ++i) {
    if (!SameSeparatorOrChar(path[start + i], relative[i])) return false;
  }
  return true;
}

}  // namespace

S_DATATABLE* DataTable::FindLocked(std::string_view path, int64_t size) {
  if (!IsStorablePath(path)) return nullptr;
  if (size == kSizeFolder) return FindFolderLocked(path);
  const std::string_view name = NameOf(path);
  if (S_DATATABLE* exact = store_.FindBySizeAndName(size, name)) return exact;
  if (size == kSizeUnknown) {
    // Any file of that name; a folder of that name is not the file.
    for (S_DATATABLE* record : store_.WithName(name)) {
      if (record->file_size != kSizeFolder) return record;
    }
    return nullptr;
  }
  if (size < 0) return nullptr;
  S_DATATABLE* unknown = store_.FindBySizeAndName(kSizeUnknown, name);
  if (unknown != nullptr) AdoptLocked(unknown, path, size);
  return unknown;
}

S_DATATABLE* DataTable::FindFolderLocked(std::string_view path) {
  std::string relative;
  const bool in_chapter = FindChapterFolderLocked(path, &relative) != nullptr;
  S_DATATABLE* last_unknown = nullptr;
  for (S_DATATABLE* record : store_.WithName(NameOf(path))) {
    if (record->path == path) return record;
    if (in_chapter && EndsWithComponents(record->path, relative)) return record;
    if (record->file_size == kSizeUnknown) last_unknown = record;
  }
  if (last_unknown != nullptr) AdoptLocked(last_unknown, path, kSizeFolder);
  return last_unknown;
}

// The first component of the path whose name's first record is a chapter
// folder; the path is inside it (a chapter folder is inside itself).
S_DATATABLE* DataTable::FindChapterFolderLocked(std::string_view path,
                                                std::string* relative) const {
  if (relative != nullptr) relative->clear();
  size_t start = 0;
  while (start < path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view component = path.substr(start, end - start);
    const DataTableStore::Range named =
        component.empty() ? DataTableStore::Range() : store_.WithName(component);
    if (!named.empty() && (named.front()->flags & kFlagChapterFolder) != 0) {
      if (relative != nullptr) {
        relative->assign(path.substr(start));
        for (char& c : *relative) {
          if (c == '\\') c = '/';
        }
      }
      return named.front();
    }
    start = end + 1;
  }
  return nullptr;
}

S_DATATABLE* DataTable::CreateRecordLocked(std::string_view path, int64_t size) {
  if (!IsStorablePath(path)) return nullptr;
  if (today_ == 0) RefreshDateLocked();
  if (!sequence_checked_) CheckSequenceAgainstThumbnailsLocked();
  const int device = settings_.device_id;
  // Another server with the same device number may have merged in an id
  // this one was about to give.
  while (store_.FindById(MakeRecordId(today_, device, next_sequence_)) != nullptr) {
    next_sequence_ = (next_sequence_ + 1) % kIdSequenceRange;
  }
  S_DATATABLE record;
  record.SetPath(path);
  record.file_size = size;
  record.id_int = MakeRecordId(today_, device, next_sequence_);
  record.id_text = FormatIdText(today_, device, next_sequence_);
  next_sequence_ = (next_sequence_ + 1) % kIdSequenceRange;
  S_DATATABLE* created = store_.AddToPool(std::move(record));
  store_.Insert(created);
  TouchLocked(created);
  return created;
}

void DataTable::SetChapterFlagByNameLocked(const S_DATATABLE& record, bool on) {
  const std::string name(record.name());
  for (S_DATATABLE* named : store_.WithName(name)) {
    const int64_t flags =
        on ? (named->flags | kFlagChapterFolder) : (named->flags & ~kFlagChapterFolder);
    if (flags == named->flags) continue;
    named->flags = flags;
    // Marked changed, so a merge before the save keeps it.
    TouchLocked(named);
  }
}

bool DataTable::SetPathByIdLocked(int64_t id, std::string_view path) {
  S_DATATABLE* record = store_.FindById(id);
  if (record == nullptr || record->path == path || !IsStorablePath(path)) return false;
  store_.Reposition(record, [&](S_DATATABLE* moved) { moved->SetPath(path); });
  TouchLocked(record);
  return true;
}

bool DataTable::UpdatePathAfterMoveLocked(int64_t id, std::string_view new_path,
                                          std::string_view old_path) {
  if (!IsRecordId(id) || !IsStorablePath(new_path)) return false;
  S_DATATABLE* record = store_.FindById(id);
  if (record == nullptr) return false;
  store_.Reposition(record, [&](S_DATATABLE* moved) { moved->SetPath(new_path); });
  TouchLocked(record);
  if (old_path.empty() || PathKind(std::string(new_path)) != kPathFolder) return true;
  // What was inside the folder moved with it; only the folder part of those
  // paths changes, so no name and no index order does.
  for (S_DATATABLE* inside : store_.by_primary()) {
    const std::string& path = inside->path;
    if (path.size() <= old_path.size() || path.compare(0, old_path.size(), old_path) != 0 ||
        !IsSeparator(path[old_path.size()])) {
      continue;
    }
    inside->SetPath(std::string(new_path) + path.substr(old_path.size()));
    TouchLocked(inside);
  }
  return true;
}

void DataTable::AdoptLocked(S_DATATABLE* record, std::string_view path, int64_t size) {
  store_.Reposition(record, [&](S_DATATABLE* adopted) {
    adopted->SetPath(path);
    adopted->file_size = size;
  });
  TouchLocked(record);
}

// The accessor: each call runs with the table lock its constructor took.

S_DATATABLE* DataTable::Locked::FindById(int64_t id) const { return table_->store_.FindById(id); }

S_DATATABLE* DataTable::Locked::Find(std::string_view path, int64_t size) {
  return table_->FindLocked(path, size);
}

S_DATATABLE* DataTable::Locked::FindByFolderName(std::string_view folder, std::string_view name,
                                                 int64_t size) {
  return table_->FindLocked(JoinPath(folder, name), size);
}

S_DATATABLE* DataTable::Locked::FindChapterFolder(std::string_view path,
                                                  std::string* relative) const {
  return table_->FindChapterFolderLocked(path, relative);
}

S_DATATABLE* DataTable::Locked::CreateRecord(std::string_view path, int64_t size) {
  return table_->CreateRecordLocked(path, size);
}

void DataTable::Locked::Touch(S_DATATABLE* record) { table_->TouchLocked(record); }

void DataTable::Locked::SetChapterFlagByName(const S_DATATABLE& record, bool on) {
  table_->SetChapterFlagByNameLocked(record, on);
}

bool DataTable::Locked::SetPathById(int64_t id, std::string_view path) {
  return table_->SetPathByIdLocked(id, path);
}

bool DataTable::Locked::UpdatePathAfterMove(int64_t id, std::string_view new_path,
                                            std::string_view old_path) {
  return table_->UpdatePathAfterMoveLocked(id, new_path, old_path);
}

int64_t DataTable::Locked::NewTemporaryId() { return table_->NewTemporaryId(); }

}  // namespace velmor
