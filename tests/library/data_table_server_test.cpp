// The data table in the running server: opened with the settings, saved
// when a session ends, and ticked by the thumbnail worker.
#include <gtest/gtest.h>

#include "command/command_server.h"
#include "core/settings.h"
#include "data_table_fixture.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor::test {
namespace {

using ServerTableTest = DataTableTest;

TEST_F(ServerTableTest, TheServerOpensTheTableAndSavesItWhenASessionEnds) {
  velmor::Settings settings;  // not the fixture's Settings(), the table's
  ASSERT_TRUE(settings.Load());
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4"));
  CommandServer server(nullptr, &settings);
  ASSERT_TRUE(server.StartCommandListener(0));
  DataTable* table = server.data_table();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Lock().FindById(2024030110'00000000)->path, "/v/a.mp4");
  EXPECT_EQ(GetFileSize64(table->settings().path), GetFileSize64(file_));

  table->Lock().CreateRecord("/v/b.mp4", 5);
  server.EndSession("test");
  EXPECT_FALSE(table->dirty());
  EXPECT_NE(FileText().find("\"/v/b.mp4\""), std::string::npos);
}

// The worker runs Tick on every pass; with the table's clock moved on, its
// next pass saves. The wait below is only a generous limit for a thread to
// be scheduled, not a measured time.
TEST_F(ServerTableTest, TheThumbnailWorkerRunsTheTablesTick) {
  DataTable table(DataTable::Clocks{&FakeTick, &FakeLocalTime});
  table.Open(Settings());
  ThumbnailManager thumbnails;
  thumbnails.SetDataTable(&table);
  table.Lock().CreateRecord("/v/a.mp4", 1);
  Advance(DataTable::kSaveDelayMs + DataTable::kTickPeriodMs);
  // The table is clean once the text is built; the file follows its rename.
  for (int pass = 0; pass < 1000; ++pass) {
    if (!table.dirty() && FileText().find("\"/v/a.mp4\"") != std::string::npos) break;
    platform::SleepMs(10);
  }
  thumbnails.SetDataTable(nullptr);
  EXPECT_FALSE(table.dirty());
  EXPECT_NE(FileText().find("\"/v/a.mp4\""), std::string::npos);
}

}  // namespace
}  // namespace velmor::test
