#include "library/data_table_store.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "core/parallel_tasks.h"

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

// From this many records on, a sort is worth a second thread.
constexpr size_t kSideBySideFrom = 50000;

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

// Sixteen bytes of a name from `depth` on as two numbers that order as
// CompareNames orders the bytes (each byte by its NameByteRank, the first
// byte highest), bytes past the end as zero; and how many bytes are left from
// `depth`, capped at 17 (more than the chunk holds: the name goes on).
// Equal chunks with fewer than 17 left mean equal names; a name that ends
// where another has a zero byte still sorts first, by its count.
struct NameChunk {
  uint64_t high = 0;
  uint64_t low = 0;
  uint32_t left = 0;
};

constexpr size_t kChunkBytes = 16;

// Whether a word holds a byte of EE or above, the only ones NameByteRank
// moves: for a byte with its top bit set, its low seven bits plus 0x12
// reach 0x80 exactly then, and no sum carries into the next byte.
bool HasMovedByte(uint64_t word) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  constexpr uint64_t kTop = 0x8080808080808080;
  return (((word & kLow7) + 0x1212121212121212) & word & kTop) != 0;
}

// Up to eight bytes, the first highest, each by its NameByteRank. Names
// are read eight bytes at once; only words with a moved byte go byte by
// byte.
uint64_t RankedWord(const char* bytes, size_t count) {
  uint8_t padded[8] = {};
  std::memcpy(padded, bytes, count);
  uint64_t word = 0;
  for (const uint8_t byte : padded) word = (word << 8) | byte;  // one load and a byte swap
  if (!HasMovedByte(word)) return word;
  uint64_t ranked = 0;
  for (size_t i = 0; i < count; ++i) {
    ranked |= uint64_t{NameByteRank(static_cast<uint8_t>(bytes[i]))} << (56 - 8 * i);
  }
  return ranked;
}

NameChunk ChunkAt(std::string_view name, size_t depth) {
  NameChunk chunk;
  const size_t left = name.size() > depth ? name.size() - depth : 0;
  const size_t take = std::min(left, kChunkBytes);
  const char* bytes = name.data() + depth;
  chunk.high = RankedWord(bytes, std::min<size_t>(take, 8));
  if (take > 8) chunk.low = RankedWord(bytes + 8, take - 8);
  chunk.left = static_cast<uint32_t>(std::min(left, kChunkBytes + 1));
  return chunk;
}

// One entry of a sort: a leading number (the size, or 0), the name's chunk
// at the current depth and the entry's place in the index before the sort,
// which breaks every tie and so keeps the sort stable.
struct SortEntry {
  int64_t lead;
  NameChunk chunk;
  uint32_t place;
  S_DATATABLE* record;
};

bool SameKey(const SortEntry& a, const SortEntry& b) {
  return a.lead == b.lead && a.chunk.high == b.chunk.high && a.chunk.low == b.chunk.low &&
         a.chunk.left == b.chunk.left;
}

bool EntryLess(const SortEntry& a, const SortEntry& b) {
  if (a.lead != b.lead) return a.lead < b.lead;
  if (a.chunk.high != b.chunk.high) return a.chunk.high < b.chunk.high;
  if (a.chunk.low != b.chunk.low) return a.chunk.low < b.chunk.low;
  if (a.chunk.left != b.chunk.left) return a.chunk.left < b.chunk.left;
  return a.place < b.place;
}

// A stable sort of the index by (lead, name), sixteen name bytes at a time:
// the entries are sorted by the numbers alone, then each run that ties on
// them and whose names go on is sorted again by the next sixteen bytes. The
// comparisons read a compact array instead of two names in the pool each,
// and a name is read again only where it shares its first sixteen bytes
// with another, which makes sorting a large table several times faster than
// comparing names.
//
// A large index is sorted in two halves side by side, which are merged.
template <typename LeadOf>
void SortByLeadAndName(DataTableStore::Index* index, LeadOf lead_of) {
  const size_t count = index->size();
  std::vector<SortEntry> entries(count);
  const auto sort_part = [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) {
      S_DATATABLE* record = (*index)[i];
      entries[i] = {lead_of(record), ChunkAt(record->name(), 0), static_cast<uint32_t>(i), record};
    }
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(begin),
              entries.begin() + static_cast<std::ptrdiff_t>(end), &EntryLess);
  };
  const size_t half = count >= kSideBySideFrom && ParallelWidth() > 1 ? count / 2 : count;
  const std::function<void()> halves[] = {[&] { sort_part(0, half); },
                                          [&] { sort_part(half, count); }};
  RunTogether(std::span(halves, half < count ? 2 : 1));
  if (half < count) {
    std::inplace_merge(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(half),
                       entries.end(), &EntryLess);
  }
  struct Run {
    size_t begin, end, depth;
  };
  std::vector<Run> runs;
  const auto queue_ties = [&](size_t begin, size_t end, size_t depth) {
    for (size_t first = begin; first < end;) {
      size_t last = first + 1;
      while (last < end && SameKey(entries[last], entries[first])) ++last;
      if (last - first > 1 && entries[first].chunk.left > kChunkBytes) {
        runs.push_back({first, last, depth});
      }
      first = last;
    }
  };
  queue_ties(0, count, kChunkBytes);
  while (!runs.empty()) {
    const Run run = runs.back();
    runs.pop_back();
    for (size_t i = run.begin; i < run.end; ++i) {
      entries[i].chunk = ChunkAt(entries[i].record->name(), run.depth);
    }
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(run.begin),
              entries.begin() + static_cast<std::ptrdiff_t>(run.end), &EntryLess);
    queue_ties(run.begin, run.end, run.depth + kChunkBytes);
  }
  for (size_t i = 0; i < count; ++i) (*index)[i] = entries[i].record;
}

// A stable sort of the index by id: a least significant digit radix sort,
// a byte at a time, that skips the bytes all ids share (the high bytes of
// ids made on a few days by one server). Ids compare as signed numbers, so
// the sign bit is flipped into the key.
void SortById(DataTableStore::Index* index) {
  constexpr int kKeyBytes = 8;
  const size_t count = index->size();
  struct Keyed {
    uint64_t key;
    S_DATATABLE* record;
  };
  std::vector<Keyed> keyed(count);
  std::vector<Keyed> spare(count);
  std::array<std::array<size_t, 256>, kKeyBytes> counts{};
  for (size_t i = 0; i < count; ++i) {
    S_DATATABLE* record = (*index)[i];
    const uint64_t key = static_cast<uint64_t>(record->id_int) ^ (uint64_t{1} << 63);
    keyed[i] = {key, record};
    for (int byte = 0; byte < kKeyBytes; ++byte) ++counts[byte][(key >> (8 * byte)) & 255];
  }
  for (int byte = 0; byte < kKeyBytes; ++byte) {
    const int shift = 8 * byte;
    std::array<size_t, 256>& places = counts[byte];
    if (places[(keyed[0].key >> shift) & 255] == count) continue;
    size_t next = 0;
    for (size_t& place : places) next += std::exchange(place, next);
    for (const Keyed& entry : keyed) spare[places[(entry.key >> shift) & 255]++] = entry;
    keyed.swap(spare);
  }
  for (size_t i = 0; i < count; ++i) (*index)[i] = keyed[i].record;
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
}

void DataTableStore::ClearIndexes() {
  by_primary_.clear();
  by_id_.clear();
  by_name_.clear();
}

S_DATATABLE* DataTableStore::AddToPool(S_DATATABLE record) {
  if (blocks_.empty() || blocks_.back().size() == blocks_.back().capacity()) {
    blocks_.emplace_back().reserve(kSlotsPerBlock);
  }
  return &blocks_.back().emplace_back(std::move(record));
}

void DataTableStore::AdoptAndAppend(std::vector<S_DATATABLE>&& records) {
  if (records.empty()) return;
  const size_t count = by_primary_.size() + records.size();
  for (Index* index : {&by_primary_, &by_id_, &by_name_}) index->reserve(count);
  // Before the block with room left, so new records still fill that first.
  const auto at = blocks_.empty() ? blocks_.end() : blocks_.end() - 1;
  std::vector<S_DATATABLE>& block = *blocks_.insert(at, std::move(records));
  for (S_DATATABLE& record : block) AppendToIndexes(&record);
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
  SortByLeadAndName(&by_primary_, [](const S_DATATABLE* record) { return record->file_size; });
}

void DataTableStore::SortIdAndName() {
  // Two indexes, two cores: each sort reads the records only.
  const std::function<void()> sorts[] = {
      [this] { SortByLeadAndName(&by_name_, [](const S_DATATABLE*) { return int64_t{0}; }); },
      [this] {
        if (!std::is_sorted(by_id_.begin(), by_id_.end(), &IdLess)) SortById(&by_id_);
      }};
  if (by_id_.size() >= kSideBySideFrom) {
    RunTogether(sorts);
  } else {
    for (const std::function<void()>& sort : sorts) sort();
  }
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
