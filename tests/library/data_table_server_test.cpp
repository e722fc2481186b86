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
  LibraryContext library;
  CommandServer server(nullptr, &settings, &library);
  ASSERT_TRUE(server.StartCommandListener(0));
  DataTable* table = library.data_table();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Lock().FindById(2024030110'00000000)->path, "/v/a.mp4");
  EXPECT_EQ(GetFileSize64(table->settings().path), GetFileSize64(file_));

  table->Lock().CreateRecord("/v/b.mp4", 5);
  server.EndSession("test");
  EXPECT_FALSE(table->dirty());
  EXPECT_NE(FileText().find("\"/v/b.mp4\""), std::string::npos);
}

// The folder replaced by a file stands in for a full disk: every write
// fails, nothing is lost, and the user hears of it once.
TEST_F(ServerTableTest, AFailedSaveIsToldOnceKeptAndWrittenWhenTheDiskTakesItAgain) {
  velmor::Settings settings;  // not the fixture's Settings(), the table's
  ASSERT_TRUE(settings.Load());
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4"));
  const std::string folder = home_.Join("data");
  auto block = [&] {
    ASSERT_TRUE(platform::MovePath(folder, folder + ".away"));
    WriteFileOrFail(folder, "in the way");
  };
  auto unblock = [&] {
    ASSERT_TRUE(platform::DeleteFile(folder));
    ASSERT_TRUE(platform::MovePath(folder + ".away", folder));
  };
  auto next_event = [&](CommandServer& server) {
    StatusEvent event;
    for (int i = 0; i < 100 && event.code == kStatusNone; ++i) {
      server.status().Take(&event);
      if (event.code == kStatusNone) platform::SleepMs(10);
    }
    return event;
  };
  LibraryContext library;
  std::string path;  // the table's file as the server names it
  {
    CommandServer server(nullptr, &settings, &library);
    ASSERT_TRUE(server.StartCommandListener(0));
    ASSERT_EQ(next_event(server).code, kStatusWaiting);
    DataTable* table = library.data_table();
    path = table->settings().path;
    EXPECT_EQ(GetFileSize64(path), GetFileSize64(file_));
    table->Lock().CreateRecord("/v/b.mp4", 5);
    block();
    server.EndSession("test");
    EXPECT_TRUE(table->dirty());
    const StatusEvent failed = next_event(server);
    EXPECT_EQ(failed.code, kStatusSaveFailed);
    EXPECT_EQ(failed.second_text, "保存できません: " + path);
    server.EndSession("again");
    EXPECT_EQ(next_event(server).code, kStatusNone) << "told once per streak";

    unblock();
    server.EndSession("space again");
    EXPECT_FALSE(table->dirty());
    EXPECT_NE(FileText().find("\"/v/b.mp4\""), std::string::npos);

    table->Lock().CreateRecord("/v/c.mp4", 6);
    block();
  }
  // What the shutdown could not save is named for the host to report.
  EXPECT_EQ(library.unsaved_at_release(), std::vector<std::string>{path});
  unblock();
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
