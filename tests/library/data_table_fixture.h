// Shared by the data table tests: a program folder of its own, the table's
// clocks driven by hand, and record lines written the way the file format
// says (independently of the table's own writer).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "core/paths.h"
#include "library/data_table.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor::test {

// Atomic: the thumbnail worker's thread reads it too.
inline std::atomic<uint32_t> fake_tick_ms{0};
inline platform::LocalTime fake_local_time;

inline uint32_t FakeTick() { return fake_tick_ms; }
inline platform::LocalTime FakeLocalTime() { return fake_local_time; }

// "#dat" and six quoted fields with the widths of the format, CR LF.
inline std::string DatLine(const std::string& id_text, long long date_time, long long size,
                           unsigned long long flags, const std::string& path,
                           const std::string& tags = "") {
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "\"%14lld\"\t\"%11lld\"\t\"%8llx\"", date_time, size,
                flags);
  return "#dat\t\"" + id_text + "\"\t" + numbers + "\t\"" + path + "\"\t\"" + tags + "\"\r\n";
}

inline std::string TableFile(const std::string& lines) {
  return "\xEF\xBB\xBF#ver VelmorVR Server DataTable Ver2.20\r\n" + lines;
}

class DataTableTest : public ::testing::Test {
 protected:
  // 15 March 2024, 10:20:30.
  static constexpr int kToday = 20240315;
  static constexpr long long kNow = 20240315102030;

  void SetUp() override {
    SetProgramFolder(home_.path());
    fake_tick_ms = 1000000;
    fake_local_time = {2024, 3, 15, 10, 20, 30, 0};
  }

  // The default setting, with its backslash, beside the program.
  DataTable::Settings Settings(int device = 10) const {
    return {device, "data\\VelmorVRServer.txt", thumbnails_};
  }
  std::unique_ptr<DataTable> OpenTable(int device = 10) {
    auto table = std::make_unique<DataTable>(DataTable::Clocks{&FakeTick, &FakeLocalTime});
    table->Open(Settings(device));
    return table;
  }
  void WriteTable(const std::string& lines) {
    EnsureFolder(home_.Join("data"));
    WriteFileOrFail(file_, TableFile(lines));
  }
  // Another writer changed the file: a write time of its own, so the change
  // shows even where the clock is coarse.
  void WriteTableLater(const std::string& lines) {
    const platform::FileTime before = GetFileWriteTime(file_);
    WriteTable(lines);
    ASSERT_TRUE(platform::SetFileTimes(file_, 0, before + 10'000'000 * ++later_writes_));
  }
  std::string FileText() const { return ReadFileOrEmpty(file_); }
  void Advance(uint32_t ms) { fake_tick_ms += ms; }

  TempFolder home_;
  const std::string file_ = home_.Join("data/VelmorVRServer.txt");
  const std::string thumbnails_ = home_.Join("thumbnail220");
  int later_writes_ = 0;
};

}  // namespace velmor::test
