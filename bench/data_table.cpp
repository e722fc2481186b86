// bench_data_table [--records N] [--lookups M] [--profile-loads K]
// Times the library data table on a generated table of N records (default
// 200,000): loading a file out of order (sorted on load), saving it,
// loading it in order, M lookups (default 100,000) by path and size and by
// id. For scale it times reading and writing the same file with plain stdio
// line loops and reading the same records from an indexed SQLite table into
// structs (the library store media servers commonly use; left out when the
// build found no SQLite), prints the ratios, and it loads half the table to
// show how loading grows. Loads and reads print the middle time of five
// runs, and the two times of a ratio with a reference are taken in turns.
// --profile-loads K only loads the table K times, for a profiler (perf
// record) to see where loading spends its time. On Linux it prints the
// memory the loaded table holds (resident set growth) and the process' peak.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/paths.h"
#include "library/data_table.h"
#include "library/data_table_file.h"
#include "platform/file_system.h"

#ifdef VELMOR_BENCH_SQLITE
#include <sqlite3.h>
#endif

// Every allocation through operator new counted, so the bench can say how
// many bytes the loaded table holds and how many its load needs at most,
// whatever the allocator keeps resident from earlier work. Only while
// `counting` is on: the shared counters would slow the timed loads, whose
// threads allocate side by side.
namespace heap_count {
std::atomic<bool> counting{false};
std::atomic<long long> live{0};
std::atomic<long long> peak{0};
constexpr size_t kHeader = 16;  // keeps the block's alignment

void* Allocate(size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(block) = size;
  if (!counting.load(std::memory_order_relaxed)) return static_cast<char*>(block) + kHeader;
  const long long now = live += static_cast<long long>(size);
  long long seen = peak.load(std::memory_order_relaxed);
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void Free(void* pointer) {
  if (pointer == nullptr) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  if (counting.load(std::memory_order_relaxed)) {
    live -= static_cast<long long>(*reinterpret_cast<size_t*>(block));
  }
  std::free(block);
}
}  // namespace heap_count

void* operator new(size_t size) { return heap_count::Allocate(size); }
void* operator new[](size_t size) { return heap_count::Allocate(size); }
void operator delete(void* pointer) noexcept { heap_count::Free(pointer); }
void operator delete[](void* pointer) noexcept { heap_count::Free(pointer); }
void operator delete(void* pointer, size_t) noexcept { heap_count::Free(pointer); }
void operator delete[](void* pointer, size_t) noexcept { heap_count::Free(pointer); }

namespace {

using velmor::DataTable;
using velmor::S_DATATABLE;
using Clock = std::chrono::steady_clock;

struct BenchOptions {
  int records = 200000;
  int lookups = 100000;
  int profile_loads = 0;
};

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::optional<int> ParseCount(const std::string& text) {
  if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int value = std::stoi(text);
  return value > 0 ? std::optional<int>(value) : std::nullopt;
}

std::optional<BenchOptions> ParseArguments(int argc, char** argv) {
  BenchOptions options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const auto value = ParseCount(argv[i + 1]);
    if (!value) return std::nullopt;
    if (name == "--records") {
      options.records = *value;
    } else if (name == "--lookups") {
      options.lookups = *value;
    } else if (name == "--profile-loads") {
      options.profile_loads = *value;
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0) return std::nullopt;
  return options;
}

// Records as a library holds them: files in a few hundred folders, some
// Japanese names, a few folders and files of unknown size, some markers.
std::vector<S_DATATABLE> GenerateRecords(int count, std::mt19937_64* random) {
  std::vector<S_DATATABLE> records(static_cast<size_t>(count));
  std::uniform_int_distribution<int64_t> size(1000000, 4000000000);
  for (int i = 0; i < count; ++i) {
    S_DATATABLE& record = records[static_cast<size_t>(i)];
    record.id_text = velmor::FormatIdText(20240301 + i / 50000, 10, i % 50000);
    record.id_int = velmor::RecordIdFromText(record.id_text);
    record.date_time = 20240301090000 + i % 60;
    const int folder = i % 400;
    char path[160];
    if (i % 20 == 0) {
      std::snprintf(path, sizeof path, "/media/videos/folder%03d/\xE9\x80\xA3\xE7\xB6\x9A%06d",
                    folder, i);
      record.file_size = velmor::kSizeFolder;
    } else {
      std::snprintf(path, sizeof path, "/media/videos/folder%03d/clip %06d \xE3\x83\x93.mp4",
                    folder, i);
      record.file_size = i % 100 == 1 ? velmor::kSizeUnknown : size(*random);
    }
    record.SetPath(path);
    record.flags = i % 7 == 0 ? velmor::kFlagHasMarkers : 0;
    if (record.flags != 0) record.tags = "<mark><t0>120000,180000<p1>60000>";
  }
  return records;
}

std::string TableText(const std::vector<S_DATATABLE>& records) {
  std::string text;
  velmor::AppendTableHeader(&text);
  for (const S_DATATABLE& record : records) velmor::AppendRecordLine(record, &text);
  return text;
}

double TimeLoad(const std::string& path, int device) {
  const Clock::time_point start = Clock::now();
  DataTable table;
  table.Open({device, path, ""});
  const double ms = MillisecondsSince(start);
  if (table.Lock().record_count() == 0) std::cerr << "nothing loaded from " << path << "\n";
  return ms;
}

// Times are the middle of five runs: one run's time swings with what else
// the machine does. The two times of a ratio are taken in turns, so the
// machine's changes between them fall on both alike.
constexpr int kRuns = 5;

double Middle(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

template <typename Timed>
double MedianOfRuns(Timed timed) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) times.push_back(timed());
  return Middle(times);
}

template <typename First, typename Second>
std::pair<double, double> MediansInTurns(First first, Second second) {
  std::vector<double> firsts;
  std::vector<double> seconds;
  for (int i = 0; i < kRuns; ++i) {
    firsts.push_back(first());
    seconds.push_back(second());
  }
  return {Middle(firsts), Middle(seconds)};
}

// The plain stdio loops the table's file handling is measured against.
double TimeStdioRead(const std::string& path, size_t* lines_read) {
  const Clock::time_point start = Clock::now();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return 0;
  std::vector<std::string> lines;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, file) != nullptr) lines.emplace_back(buffer);
  std::fclose(file);
  *lines_read = lines.size();
  return MillisecondsSince(start);
}

double TimeStdioWrite(const std::string& path, const std::vector<S_DATATABLE>& records) {
  const Clock::time_point start = Clock::now();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fputs("\xEF\xBB\xBF#ver VelmorVR Server DataTable Ver2.20\r\n", file);
  for (const S_DATATABLE& record : records) {
    std::fprintf(file, "#dat\t\"%s\"\t\"%14lld\"\t\"%11lld\"\t\"%8llx\"\t\"%s\"\t\"%s\"\r\n",
                 record.id_text.c_str(), static_cast<long long>(record.date_time),
                 static_cast<long long>(record.file_size),
                 static_cast<unsigned long long>(record.flags), record.path.c_str(),
                 record.tags.c_str());
  }
  std::fclose(file);
  return MillisecondsSince(start);
}

double TimeLookups(DataTable* table, const std::vector<S_DATATABLE>& records, int count,
                   std::mt19937_64* random, int* found) {
  std::uniform_int_distribution<size_t> pick(0, records.size() - 1);
  std::vector<size_t> picks(static_cast<size_t>(count));
  for (size_t& index : picks) index = pick(*random);
  const Clock::time_point start = Clock::now();
  DataTable::Locked locked = table->Lock();
  for (size_t i = 0; i < picks.size(); ++i) {
    const S_DATATABLE& wanted = records[picks[i]];
    // Half by path and size (the listing's lookup), half by id (markers).
    const S_DATATABLE* record = i % 2 == 0 ? locked.FindByPath(wanted.path, wanted.file_size)
                                           : locked.FindById(wanted.id_int);
    if (record != nullptr) ++*found;
  }
  return MillisecondsSince(start);
}

// A "Vm...:" figure of /proc/self/status in kB; -1 where there is none.
long long StatusKilobytes(const char* key) {
  std::string status;
  if (!velmor::platform::ReadWholeFile("/proc/self/status", &status)) return -1;
  const size_t at = status.find(key);
  if (at == std::string::npos) return -1;
  return std::atoll(status.c_str() + at + std::strlen(key));
}

#ifdef VELMOR_BENCH_SQLITE
// The records as a media server keeps its library in SQLite: one row each,
// the id as the integer primary key, an index on name and size for lookups.
bool WriteSqlite(const std::string& path, const std::vector<S_DATATABLE>& records) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  bool ok = sqlite3_exec(db,
                         "CREATE TABLE records(id INTEGER PRIMARY KEY, id_text TEXT, "
                         "date_time INTEGER, file_size INTEGER, flags INTEGER, path TEXT, "
                         "name TEXT, tags TEXT);"
                         "BEGIN;",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO records VALUES(?,?,?,?,?,?,?,?)", -1, &insert,
                                nullptr) == SQLITE_OK;
  for (size_t i = 0; ok && i < records.size(); ++i) {
    const S_DATATABLE& record = records[i];
    const std::string_view name = record.name();
    sqlite3_bind_int64(insert, 1, record.id_int);
    sqlite3_bind_text(insert, 2, record.id_text.data(), static_cast<int>(record.id_text.size()),
                      SQLITE_STATIC);
    sqlite3_bind_int64(insert, 3, record.date_time);
    sqlite3_bind_int64(insert, 4, record.file_size);
    sqlite3_bind_int64(insert, 5, record.flags);
    sqlite3_bind_text(insert, 6, record.path.data(), static_cast<int>(record.path.size()),
                      SQLITE_STATIC);
    sqlite3_bind_text(insert, 7, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    sqlite3_bind_text(insert, 8, record.tags.data(), static_cast<int>(record.tags.size()),
                      SQLITE_STATIC);
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(db, "COMMIT; CREATE INDEX by_name ON records(name, file_size);", nullptr,
                          nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text == nullptr
             ? std::string()
             : std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)));
}

// Opens the database and reads every row into a struct, as a server loading
// its library would.
double TimeSqliteLoad(const std::string& path, size_t* rows) {
  const Clock::time_point start = Clock::now();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 0;
  sqlite3_stmt* select = nullptr;
  std::vector<S_DATATABLE> records;
  if (sqlite3_prepare_v2(db, "SELECT * FROM records", -1, &select, nullptr) == SQLITE_OK) {
    while (sqlite3_step(select) == SQLITE_ROW) {
      S_DATATABLE& record = records.emplace_back();
      record.id_int = sqlite3_column_int64(select, 0);
      record.id_text = ColumnText(select, 1);
      record.date_time = sqlite3_column_int64(select, 2);
      record.file_size = sqlite3_column_int64(select, 3);
      record.flags = sqlite3_column_int64(select, 4);
      record.SetPath(ColumnText(select, 5));
      record.tags = ColumnText(select, 7);
    }
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  *rows = records.size();
  return MillisecondsSince(start);
}

// The same lookups as TimeLookups: by name and size through the index, and
// by id, each a prepared statement bound, stepped and reset.
double TimeSqliteLookups(const std::string& path, const std::vector<S_DATATABLE>& records,
                         int count, std::mt19937_64* random, int* found) {
  std::uniform_int_distribution<size_t> pick(0, records.size() - 1);
  std::vector<size_t> picks(static_cast<size_t>(count));
  for (size_t& index : picks) index = pick(*random);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 0;
  sqlite3_stmt* by_name = nullptr;
  sqlite3_stmt* by_id = nullptr;
  sqlite3_prepare_v2(db, "SELECT * FROM records WHERE name=? AND file_size=?", -1, &by_name,
                     nullptr);
  sqlite3_prepare_v2(db, "SELECT * FROM records WHERE id=?", -1, &by_id, nullptr);
  const Clock::time_point start = Clock::now();
  for (size_t i = 0; i < picks.size(); ++i) {
    const S_DATATABLE& wanted = records[picks[i]];
    sqlite3_stmt* statement = i % 2 == 0 ? by_name : by_id;
    if (i % 2 == 0) {
      const std::string_view name = wanted.name();
      sqlite3_bind_text(statement, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
      sqlite3_bind_int64(statement, 2, wanted.file_size);
    } else {
      sqlite3_bind_int64(statement, 1, wanted.id_int);
    }
    if (sqlite3_step(statement) == SQLITE_ROW) ++*found;
    sqlite3_reset(statement);
  }
  const double ms = MillisecondsSince(start);
  sqlite3_finalize(by_name);
  sqlite3_finalize(by_id);
  sqlite3_close(db);
  return ms;
}
#endif

std::string MakeWorkFolder() {
  std::random_device seed;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string folder =
        velmor::platform::TemporaryFolder() + "/velmor-bench-" + std::to_string(seed());
    if (velmor::platform::CreateFolder(folder)) return folder;
  }
  return "";
}

void RemoveWorkFolder(const std::string& folder) {
  std::vector<velmor::platform::FileInfo> entries;
  velmor::platform::ListFolder(folder, &entries);
  for (const auto& entry : entries) velmor::platform::DeleteFile(folder + "/" + entry.name);
  velmor::platform::RemoveFolder(folder);
}

void Print(const char* what, double ms) { std::printf("%-44s %10.1f ms\n", what, ms); }

int Run(const BenchOptions& options, const std::string& folder) {
  std::mt19937_64 random(20240301);
  std::vector<S_DATATABLE> records = GenerateRecords(options.records, &random);
  std::vector<S_DATATABLE> shuffled = records;
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  const std::string unordered = folder + "/unordered.txt";
  const std::string table_file = folder + "/table.txt";
  const std::string stdio_file = folder + "/stdio.txt";
  if (!velmor::platform::WriteFileAtomically(unordered, TableText(shuffled)) ||
      !velmor::platform::WriteFileAtomically(table_file, TableText(shuffled))) {
    std::cerr << "cannot write the generated table in " << folder << "\n";
    return 2;
  }
  std::printf("%d records, %lld bytes\n", options.records,
              static_cast<long long>(velmor::GetFileSize64(unordered)));
  shuffled = std::vector<S_DATATABLE>();

  if (options.profile_loads > 0) {
    records.clear();
    DataTable sorted;
    sorted.Open({10, table_file, ""});
    sorted.Save();
    double total_ms = 0;
    for (int i = 0; i < options.profile_loads; ++i) total_ms += TimeLoad(table_file, 11);
    Print("load, in order (mean)", total_ms / options.profile_loads);
    return 0;
  }
  const long long resident_before_kb = StatusKilobytes("VmRSS:");
  {
    // The memory a loaded table holds, and the most its load needs at once:
    // heap bytes asked for (exact), and the resident set's growth (which
    // depends on what the allocator kept from the work above).
    const long long live_before = heap_count::live;
    heap_count::peak = live_before;
    heap_count::counting = true;
    DataTable held;
    held.Open({10, table_file, ""});
    heap_count::counting = false;
    const double mb = 1024.0 * 1024.0;
    std::printf("%-44s %10.1f MB\n", "heap held by the loaded table",
                static_cast<double>(heap_count::live - live_before) / mb);
    std::printf("%-44s %10.1f MB\n", "heap peak during the load",
                static_cast<double>(heap_count::peak - live_before) / mb);
    const long long resident_kb = StatusKilobytes("VmRSS:");
    if (resident_before_kb >= 0 && resident_kb >= 0) {
      std::printf("%-44s %10.1f MB\n", "resident set growth with the table loaded",
                  static_cast<double>(resident_kb - resident_before_kb) / 1024.0);
    }
  }
  Print("load, out of order (sorted on load)",
        MedianOfRuns([&] { return TimeLoad(unordered, 10); }));
  auto table = std::make_unique<DataTable>();
  table->Open({10, table_file, ""});
  table->Lock().Touch(nullptr);
  Clock::time_point start = Clock::now();
  if (!table->Save()) std::cerr << "save failed\n";
  const double save_ms = MillisecondsSince(start);
  Print("save (build the text, write, rename)", save_ms);
  const auto load_in_order = [&] { return TimeLoad(table_file, 11); };
  size_t lines = 0;
  const auto [load_ms, read_ms] =
      MediansInTurns(load_in_order, [&] { return TimeStdioRead(table_file, &lines); });
  Print("load, in order", load_ms);

  int found = 0;
  const double lookup_ms = TimeLookups(table.get(), records, options.lookups, &random, &found);
  char label[80];
  std::snprintf(label, sizeof label, "%d lookups (%d found)", options.lookups, found);
  Print(label, lookup_ms);
  std::printf("%-44s %10.3f us\n", "  per lookup", lookup_ms * 1000.0 / options.lookups);

  const double write_ms = TimeStdioWrite(stdio_file, records);
  // What flushing the file to disk costs alone: the same bytes written
  // whole, flushed and renamed, with no text to build.
  std::string text;
  velmor::platform::ReadWholeFile(table_file, &text);
  start = Clock::now();
  velmor::platform::WriteFileAtomically(stdio_file, text);
  const double durable_ms = MillisecondsSince(start);
  text = std::string();
  Print("stdio: read the file line by line", read_ms);
  Print("stdio: write the file line by line", write_ms);
  Print("write the bytes whole, fsync, rename", durable_ms);
  std::printf("%-44s %10.1f x\n", "load / stdio read", load_ms / std::max(read_ms, 0.001));
  std::printf("%-44s %10.1f x\n", "save / stdio write", save_ms / std::max(write_ms, 0.001));
  std::printf("%-44s %10.1f x\n", "save / (stdio write + whole write, fsync)",
              save_ms / std::max(write_ms + durable_ms, 0.001));
#ifdef VELMOR_BENCH_SQLITE
  const std::string sqlite_file = folder + "/library.db";
  if (WriteSqlite(sqlite_file, records)) {
    size_t rows = 0;
    const auto [paired_load_ms, sqlite_ms] =
        MediansInTurns(load_in_order, [&] { return TimeSqliteLoad(sqlite_file, &rows); });
    int sqlite_found = 0;
    const double sqlite_lookup_ms =
        TimeSqliteLookups(sqlite_file, records, options.lookups, &random, &sqlite_found);
    std::snprintf(label, sizeof label, "sqlite: SELECT * into structs (%zu rows)", rows);
    Print(label, sqlite_ms);
    std::snprintf(label, sizeof label, "sqlite: %d indexed lookups (%d found)", options.lookups,
                  sqlite_found);
    Print(label, sqlite_lookup_ms);
    std::printf("%-44s %10.3f us\n", "  per lookup", sqlite_lookup_ms * 1000.0 / options.lookups);
    std::printf("%-44s %10.2f x\n", "load / sqlite load",
                paired_load_ms / std::max(sqlite_ms, 0.001));
    std::printf("%-44s %10.2f x\n", "lookup / sqlite lookup",
                lookup_ms / std::max(sqlite_lookup_ms, 0.001));
  } else {
    std::printf("sqlite: cannot write the reference database\n");
  }
#else
  std::printf("sqlite: reference missing (built without SQLite's headers and library)\n");
#endif

  // Half the records: loading should take about half the time, not a quarter.
  records.resize(records.size() / 2);
  const std::string half_file = folder + "/half.txt";
  velmor::platform::WriteFileAtomically(half_file, TableText(records));
  {
    DataTable half;
    half.Open({10, half_file, ""});
    half.Lock().Touch(nullptr);
    half.Save();  // in order
  }
  // Both sizes measured with nothing else held (what stays loaded would
  // change how much memory a load finds free), each five times in a row,
  // one right after the other: loads in turns would find the memory a load
  // of the other size left, which favours the half.
  table.reset();
  records = std::vector<S_DATATABLE>();
  const double full_ms = MedianOfRuns(load_in_order);
  const double half_ms = MedianOfRuns([&] { return TimeLoad(half_file, 11); });
  Print("load, in order, half the records", half_ms);
  std::printf("%-44s %10.2f (n log n with cache misses: 2 to 3; quadratic: 4)\n",
              "load growth, full / half", full_ms / std::max(half_ms, 0.001));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    std::cerr << "usage: bench_data_table [--records N] [--lookups M] [--profile-loads K]\n";
    return 2;
  }
  const std::string folder = MakeWorkFolder();
  if (folder.empty()) {
    std::cerr << "cannot make a work folder\n";
    return 2;
  }
  const int result = Run(*options, folder);
  RemoveWorkFolder(folder);
  return result;
}
