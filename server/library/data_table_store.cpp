#include "library/data_table_store.h"

#include <algorithm>
#include <utility>

namespace velmor {
namespace {

bool PrimaryLess(const S_DATATABLE* a, const S_DATATABLE* b) {
  if (a->file_size != b->file_size) return a->file_size < b->file_size;
  return CompareNames(a->name(), b->name()) < 0;
}

bool IdLess(const S_DATATABLE* a, const S_DATATABLE* b) { return a->id_int < b->id_int; }

bool NameLess(const S_DATATABLE* a, const S_DATATABLE* b) {
  return CompareNames(a->name(), b->name()) < 0;
}

using Less = bool (*)(const S_DATATABLE*, const S_DATATABLE*);

// Takes the record out of a sorted index; its key must be the one it was
// sorted by.
void Unlink(DataTableStore::Index* index, S_DATATABLE* record, Less less) {
  const auto [first, last] = std::equal_range(index->begin(), index->end(), record, less);
  auto found = std::find(first, last, record);
  // Not where its key says: the order was broken; find it anyway.
  if (found == last) found = std::find(index->begin(), index->end(), record);
  if (found != index->end()) index->erase(found);
}

void Link(DataTableStore::Index* index, S_DATATABLE* record, Less less) {
  index->insert(std::upper_bound(index->begin(), index->end(), record, less), record);
}

bool KeyLess(int64_t a, int64_t b) { return a < b; }
bool KeyLess(std::string_view a, std::string_view b) { return CompareNames(a, b) < 0; }
bool KeyLess(const std::pair<int64_t, std::string_view>& a,
             const std::pair<int64_t, std::string_view>& b) {
  if (a.first != b.first) return a.first < b.first;
  return CompareNames(a.second, b.second) < 0;
}

// A stable sort of the index by a key taken out of each record once: the
// comparisons then read a compact array instead of chasing a pointer into
// the pool each time, which makes loading a large table several times
// faster.
template <typename KeyOf>
void SortByKey(DataTableStore::Index* index, KeyOf key_of) {
  using Key = decltype(key_of(nullptr));
  std::vector<std::pair<Key, S_DATATABLE*>> keyed;
  keyed.reserve(index->size());
  for (S_DATATABLE* record : *index) keyed.emplace_back(key_of(record), record);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return KeyLess(a.first, b.first); });
  for (size_t i = 0; i < keyed.size(); ++i) (*index)[i] = keyed[i].second;
}

}  // namespace

DataTableStore::DataTableStore() {
  by_primary_.reserve(kReservedIndexSize);
  by_id_.reserve(kReservedIndexSize);
  by_name_.reserve(kReservedIndexSize);
}

void DataTableStore::Clear() {
  ClearIndexes();
  blocks_.clear();
  used_in_last_block_ = kSlotsPerBlock;
}

void DataTableStore::ClearIndexes() {
  by_primary_.clear();
  by_id_.clear();
  by_name_.clear();
}

S_DATATABLE* DataTableStore::AddToPool(S_DATATABLE record) {
  if (used_in_last_block_ == kSlotsPerBlock) {
    blocks_.push_back(std::make_unique<S_DATATABLE[]>(kSlotsPerBlock));
    used_in_last_block_ = 0;
  }
  S_DATATABLE* slot = &blocks_.back()[used_in_last_block_++];
  *slot = std::move(record);
  return slot;
}

void DataTableStore::AppendToIndexes(S_DATATABLE* record) {
  by_primary_.push_back(record);
  by_id_.push_back(record);
  by_name_.push_back(record);
}

void DataTableStore::Insert(S_DATATABLE* record) {
  Link(&by_primary_, record, &PrimaryLess);
  Link(&by_id_, record, &IdLess);
  Link(&by_name_, record, &NameLess);
}

void DataTableStore::RemoveFromIndexes(const std::function<bool(const S_DATATABLE&)>& keep) {
  for (Index* index : {&by_primary_, &by_id_, &by_name_}) {
    std::erase_if(*index, [&](const S_DATATABLE* record) { return !keep(*record); });
  }
}

void DataTableStore::Reposition(S_DATATABLE* record,
                                const std::function<void(S_DATATABLE*)>& change) {
  Unlink(&by_primary_, record, &PrimaryLess);
  Unlink(&by_name_, record, &NameLess);
  change(record);
  Link(&by_primary_, record, &PrimaryLess);
  Link(&by_name_, record, &NameLess);
}

bool DataTableStore::PrimaryInOrder() const {
  return std::is_sorted(by_primary_.begin(), by_primary_.end(), &PrimaryLess);
}

void DataTableStore::SortPrimary() {
  SortByKey(&by_primary_,
            [](const S_DATATABLE* record) { return std::pair(record->file_size, record->name()); });
}

void DataTableStore::SortIdAndName() {
  SortByKey(&by_id_, [](const S_DATATABLE* record) { return record->id_int; });
  SortByKey(&by_name_, [](const S_DATATABLE* record) { return record->name(); });
}

S_DATATABLE* DataTableStore::FindById(int64_t id) const {
  const Range from = IdsFrom(id);
  return !from.empty() && from.front()->id_int == id ? from.front() : nullptr;
}

S_DATATABLE* DataTableStore::FindBySizeAndName(int64_t size, std::string_view name) const {
  const auto found = std::lower_bound(
      by_primary_.begin(), by_primary_.end(), std::pair(size, name),
      [](const S_DATATABLE* record, const std::pair<int64_t, std::string_view>& key) {
        if (record->file_size != key.first) return record->file_size < key.first;
        return CompareNames(record->name(), key.second) < 0;
      });
  if (found == by_primary_.end()) return nullptr;
  const S_DATATABLE* record = *found;
  return record->file_size == size && record->name() == name ? *found : nullptr;
}

DataTableStore::Range DataTableStore::WithName(std::string_view name) const {
  const auto first = std::lower_bound(by_name_.begin(), by_name_.end(), name,
                                      [](const S_DATATABLE* record, std::string_view key) {
                                        return CompareNames(record->name(), key) < 0;
                                      });
  const auto last = std::upper_bound(first, by_name_.end(), name,
                                     [](std::string_view key, const S_DATATABLE* record) {
                                       return CompareNames(key, record->name()) < 0;
                                     });
  return Range(first, last);
}

DataTableStore::Range DataTableStore::IdsFrom(int64_t id) const {
  const auto first =
      std::lower_bound(by_id_.begin(), by_id_.end(), id,
                       [](const S_DATATABLE* record, int64_t key) { return record->id_int < key; });
  return Range(first, by_id_.end());
}

S_DATATABLE* DataTableStore::LastIdBelow(int64_t id) const {
  const size_t at_or_above = by_id_.size() - IdsFrom(id).size();
  return at_or_above == 0 ? nullptr : by_id_[at_or_above - 1];
}

}  // namespace velmor
