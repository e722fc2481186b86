// Where the data table keeps its records: a pool of blocks of slots (1,024
// at a time, or a whole file's records taken over at once) that keeps every
// record at its address until the pool is emptied, and three sorted indexes
// of pointers into it:
//   1. by file size, then name (the primary order, in which the file is written);
//   2. by id;
//   3. by name.
// Names compare as UTF-16 code units, case-sensitively (CompareNames). The
// store does no locking; the table holds its lock around every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "library/data_table_record.h"

namespace velmor {

class DataTableStore {
 public:
  using Index = std::vector<S_DATATABLE*>;
  using Range = std::span<S_DATATABLE* const>;

  DataTableStore();
  DataTableStore(const DataTableStore&) = delete;
  DataTableStore& operator=(const DataTableStore&) = delete;

  // Empties the pool and the indexes: every record handed out is gone.
  void Clear();
  // Empties the indexes only; the records stay where they are.
  void ClearIndexes();

  // A copy of the record in a pool slot, in no index yet.
  S_DATATABLE* AddToPool(S_DATATABLE record);
  // Takes the records over as one block of the pool, where they stay, and
  // appends them to the end of all three indexes; sort them before the next
  // lookup.
  void AdoptAndAppend(std::vector<S_DATATABLE>&& records);
  // Appends to the end of all three indexes; sort them before the next lookup.
  void AppendToIndexes(S_DATATABLE* record);
  // Inserts at its place in all three indexes.
  void Insert(S_DATATABLE* record);
  // Takes every record for which keep() is false out of the three indexes.
  void RemoveFromIndexes(const std::function<bool(const S_DATATABLE&)>& keep);
  // Applies change() (which may change the path or the size) and moves the
  // record to its new place in indexes 1 and 3.
  void Reposition(S_DATATABLE* record, const std::function<void(S_DATATABLE*)>& change);

  // Stable sorts, so records with equal keys keep their order.
  bool PrimaryInOrder() const;
  void SortPrimary();
  void SortIdAndName();

  S_DATATABLE* FindById(int64_t id) const;
  // The first record with this size and name (index 1).
  S_DATATABLE* FindBySizeAndName(int64_t size, std::string_view name) const;
  // Every record with this name, in index 3 order.
  Range WithName(std::string_view name) const;
  // Index 2 from the first id not less than `id` on.
  Range IdsFrom(int64_t id) const;
  // The record with the largest id below `id`, or null.
  S_DATATABLE* LastIdBelow(int64_t id) const;

  const Index& by_primary() const { return by_primary_; }
  size_t record_count() const { return by_primary_.size(); }

 private:
  static constexpr size_t kSlotsPerBlock = 1024;
  static constexpr size_t kReservedIndexSize = 2048;

  // A block never grows past the capacity it was made with, so its records
  // never move.
  std::vector<std::vector<S_DATATABLE>> blocks_;
  Index by_primary_;
  Index by_id_;
  Index by_name_;
};

}  // namespace velmor
