#include "thumbnail/batch_record.h"

#include "library/data_table.h"
#include "library/tag_text.h"

namespace velmor {
namespace {

void CopyOut(const S_DATATABLE& from, BatchRecord* to) {
  to->id = from.id_int;
  to->id_text = from.id_text;
  to->has_thum = GetTagValue(from.tags, "<thum>", &to->thum) >= 0;
  to->has_markers = (from.flags & kFlagHasMarkers) != 0;
}

}  // namespace

bool FindOrAddRecord(DataTable* table, const std::string& path, int64_t size, BatchRecord* record) {
  DataTable::Locked locked = table->Lock();
  S_DATATABLE* found = locked.Find(path, size);
  if (found == nullptr) {
    found = locked.CreateRecord(path, size);
    if (found == nullptr) return false;
  } else if (found->path != path) {
    // The same file found in another folder: it lives here now.
    locked.SetPathById(found->id_int, path);
  }
  CopyOut(*found, record);
  return true;
}

bool FindFolderRecord(DataTable* table, const std::string& path, BatchRecord* record) {
  DataTable::Locked locked = table->Lock();
  const S_DATATABLE* found = locked.Find(path, kSizeFolder);
  if (found == nullptr) return false;
  CopyOut(*found, record);
  return true;
}

}  // namespace velmor
