// bench_data_table [--records N] [--lookups M]
// Times the library data table on a generated table of N records (default
// 200,000): loading a file out of order (sorted on load), saving it,
// loading it in order, M lookups (default 100,000) by path and size and by
// id. For scale it times reading and writing the same file with plain stdio
// line loops and prints the ratios, and it loads half the table to show how
// loading grows.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/paths.h"
#include "library/data_table.h"
#include "library/data_table_file.h"
#include "platform/file_system.h"

namespace {

using velmor::DataTable;
using velmor::S_DATATABLE;
using Clock = std::chrono::steady_clock;

struct BenchOptions {
  int records = 200000;
  int lookups = 100000;
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

  Print("load, out of order (sorted on load)", TimeLoad(unordered, 10));
  DataTable table;
  table.Open({10, table_file, ""});
  table.Lock().Touch(nullptr);
  Clock::time_point start = Clock::now();
  if (!table.Save()) std::cerr << "save failed\n";
  const double save_ms = MillisecondsSince(start);
  Print("save (build the text, write, rename)", save_ms);
  const double load_ms = TimeLoad(table_file, 11);
  Print("load, in order", load_ms);

  int found = 0;
  const double lookup_ms = TimeLookups(&table, records, options.lookups, &random, &found);
  char label[80];
  std::snprintf(label, sizeof label, "%d lookups (%d found)", options.lookups, found);
  Print(label, lookup_ms);
  std::printf("%-44s %10.3f us\n", "  per lookup", lookup_ms * 1000.0 / options.lookups);

  size_t lines = 0;
  const double read_ms = TimeStdioRead(table_file, &lines);
  const double write_ms = TimeStdioWrite(stdio_file, records);
  Print("stdio: read the file line by line", read_ms);
  Print("stdio: write the file line by line", write_ms);
  std::printf("%-44s %10.1f x\n", "load / stdio read", load_ms / std::max(read_ms, 0.001));
  std::printf("%-44s %10.1f x\n", "save / stdio write", save_ms / std::max(write_ms, 0.001));

  // Half the records: loading should take about half the time, not a quarter.
  records.resize(records.size() / 2);
  const std::string half_file = folder + "/half.txt";
  DataTable half;
  velmor::platform::WriteFileAtomically(half_file, TableText(records));
  half.Open({10, half_file, ""});
  half.Lock().Touch(nullptr);
  half.Save();  // in order
  const double half_ms = TimeLoad(half_file, 11);
  Print("load, in order, half the records", half_ms);
  std::printf("%-44s %10.2f (n log n with cache misses: 2 to 3; quadratic: 4)\n",
              "load growth, full / half", load_ms / std::max(half_ms, 0.001));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    std::cerr << "usage: bench_data_table [--records N] [--lookups M]\n";
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
