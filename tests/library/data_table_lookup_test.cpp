// Finding and creating records: ids, the file and folder rules, chapter
// folders and path changes.
#include <gtest/gtest.h>

#include "data_table_fixture.h"
#include "library/data_table.h"

namespace velmor::test {
namespace {

using LookupTest = DataTableTest;

TEST_F(LookupTest, NewRecordsTakeTodaysDateDeviceAndTheNextSequence) {
  auto table = OpenTable(7);
  auto locked = table->Lock();
  const S_DATATABLE* first = locked.CreateRecord("/v/a.mp4", 100);
  const S_DATATABLE* second = locked.CreateRecord("/v/b.mp4", 200);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->id_text, "20240315_07_000000");
  EXPECT_EQ(first->id_int, 2024031507'00000000);
  EXPECT_EQ(second->id_int, 2024031507'00000001);
  EXPECT_EQ(first->date_time, kNow);
  EXPECT_EQ(first->modified, 1);
  EXPECT_EQ(locked.FindById(second->id_int), second);
  EXPECT_EQ(locked.FindById(2024031507'00000002), nullptr);
  EXPECT_EQ(locked.record_count(), 2u);
  EXPECT_TRUE(table->dirty());
}

TEST_F(LookupTest, AFileKeepsItsRecordInAnyFolderByNameAndSize) {
  auto table = OpenTable();
  auto locked = table->Lock();
  S_DATATABLE* record = locked.CreateRecord("/old/place/movie.mp4", 1000);
  // Moved, or copied: the same name and size are the same file.
  EXPECT_EQ(locked.FindByPath("/new/place/movie.mp4", 1000), record);
  EXPECT_EQ(locked.FindByFolderName("/elsewhere", "movie.mp4", 1000), record);
  EXPECT_EQ(record->path, "/old/place/movie.mp4") << "a lookup does not move the record";
  // Renamed or changed: another file.
  EXPECT_EQ(locked.FindByPath("/old/place/movie2.mp4", 1000), nullptr);
  EXPECT_EQ(locked.FindByPath("/old/place/Movie.mp4", 1000), nullptr);
  EXPECT_EQ(locked.FindByPath("/old/place/movie.mp4", 1001), nullptr);
  // An unknown size takes any file of the name, but not a folder of it.
  locked.CreateRecord("/v/clip", kSizeFolder);
  EXPECT_EQ(locked.FindByPath("/x/movie.mp4", kSizeUnknown), record);
  EXPECT_EQ(locked.FindByPath("/x/clip", kSizeUnknown), nullptr);
}

TEST_F(LookupTest, ARecordOfUnknownSizeTakesTheFirstKnownSize) {
  auto table = OpenTable();
  const int64_t id = table->Lock().CreateRecord("/a/song.mp3", kSizeUnknown)->id_int;
  ASSERT_TRUE(table->Save());
  ASSERT_FALSE(table->dirty());

  fake_local_time.minute = 45;
  auto locked = table->Lock();
  S_DATATABLE* record = locked.FindById(id);
  EXPECT_EQ(locked.FindByPath("/b/song.mp3", 4096), record);
  EXPECT_EQ(record->id_int, id);
  EXPECT_EQ(record->file_size, 4096);
  EXPECT_EQ(record->path, "/b/song.mp3");
  EXPECT_EQ(record->date_time, 20240315104530);
  EXPECT_TRUE(table->dirty());
  // It now sits at its new size in the index: found exactly, and no longer
  // taken by a file of another size.
  EXPECT_EQ(locked.FindByPath("/c/song.mp3", 4096), record);
  EXPECT_EQ(locked.FindByPath("/c/song.mp3", 9999), nullptr);
}

TEST_F(LookupTest, TwoFilesOfOneNameAndSizeShareOneRecord) {
  auto table = OpenTable();
  auto locked = table->Lock();
  S_DATATABLE* record = locked.CreateRecord("/disk1/same.mp4", 5000);
  EXPECT_EQ(locked.FindByPath("/disk2/same.mp4", 5000), record);
  EXPECT_EQ(locked.FindByPath("/disk1/same.mp4", 5000), record);
  EXPECT_EQ(locked.record_count(), 1u);
}

TEST_F(LookupTest, FoldersAreFoundByTheirFullPath) {
  auto table = OpenTable();
  auto locked = table->Lock();
  S_DATATABLE* folder = locked.CreateRecord("/media/Series", kSizeFolder);
  EXPECT_EQ(locked.FindByPath("/media/Series", kSizeFolder), folder);
  EXPECT_EQ(locked.FindByPath("/other/Series", kSizeFolder), nullptr);
  EXPECT_EQ(locked.FindByFolderName("/media", "Series", kSizeFolder), folder);

  // A record of unknown size with the folder's name is adopted as the folder.
  S_DATATABLE* unknown = locked.CreateRecord("/old/Holiday", kSizeUnknown);
  EXPECT_EQ(locked.FindByPath("/new/Holiday", kSizeFolder), unknown);
  EXPECT_EQ(unknown->file_size, kSizeFolder);
  EXPECT_EQ(unknown->path, "/new/Holiday");
  EXPECT_EQ(locked.FindByPath("/old/Holiday", kSizeFolder), nullptr);
}

TEST_F(LookupTest, InsideAChapterFolderFoldersAreFoundByThePathFromIt) {
  auto table = OpenTable();
  auto locked = table->Lock();
  S_DATATABLE* chapter = locked.CreateRecord("/a/Drama", kSizeFolder);
  S_DATATABLE* episode = locked.CreateRecord("/a/Drama/Ep1", kSizeFolder);
  S_DATATABLE* lookalike = locked.CreateRecord("/a/OldDrama/Ep2", kSizeFolder);
  std::string relative = "stale";
  EXPECT_EQ(locked.FindChapterFolder("/b/Drama/Ep1", &relative), nullptr);
  EXPECT_EQ(relative, "");
  EXPECT_EQ(locked.FindByPath("/b/Drama/Ep1", kSizeFolder), nullptr);

  chapter->flags |= kFlagChapterFolder;
  locked.Touch(chapter);
  EXPECT_EQ(locked.FindChapterFolder("/b/Drama/Ep1", &relative), chapter);
  EXPECT_EQ(relative, "Drama/Ep1");
  EXPECT_EQ(locked.FindChapterFolder("C:\\b\\Drama\\Ep1\\x", &relative), chapter);
  EXPECT_EQ(relative, "Drama/Ep1/x") << "with '/' separators";
  EXPECT_EQ(locked.FindChapterFolder("/b/Drama", &relative), chapter) << "inside itself";
  EXPECT_EQ(locked.FindChapterFolder("/b/Comedy/Ep1", nullptr), nullptr);

  // The folder moved with its chapter folder keeps its record.
  EXPECT_EQ(locked.FindByPath("/b/Drama/Ep1", kSizeFolder), episode);
  EXPECT_EQ(locked.FindByPath("D:\\b\\Drama\\Ep1", kSizeFolder), episode);
  // "OldDrama/Ep2" ends in "Drama/Ep2" only in the middle of a name.
  EXPECT_EQ(locked.FindByPath("/b/Drama/Ep2", kSizeFolder), nullptr);
  EXPECT_EQ(locked.FindByPath("/a/OldDrama/Ep2", kSizeFolder), lookalike);
}

TEST_F(LookupTest, TheChapterFlagFollowsTheNameAndMarksEveryRecordChanged) {
  auto table = OpenTable();
  int64_t ids[3];
  {
    auto locked = table->Lock();
    ids[0] = locked.CreateRecord("/a/Series", kSizeFolder)->id_int;
    ids[1] = locked.CreateRecord("/b/Series", kSizeFolder)->id_int;
    ids[2] = locked.CreateRecord("/b/Films", kSizeFolder)->id_int;
    locked.FindById(ids[1])->flags = 8;
  }
  ASSERT_TRUE(table->Save());
  fake_local_time.second = 59;

  auto locked = table->Lock();
  S_DATATABLE* one = locked.FindById(ids[0]);
  S_DATATABLE* two = locked.FindById(ids[1]);
  S_DATATABLE* other = locked.FindById(ids[2]);
  locked.SetChapterFlagByName(*one, true);
  EXPECT_EQ(one->flags, kFlagChapterFolder);
  EXPECT_EQ(two->flags, 8 | kFlagChapterFolder);
  EXPECT_EQ(other->flags, 0);
  EXPECT_EQ(two->modified, 1);
  EXPECT_EQ(two->date_time, 20240315102059);
  EXPECT_EQ(other->modified, 0);
  locked.SetChapterFlagByName(*two, false);
  EXPECT_EQ(one->flags, 0);
  EXPECT_EQ(two->flags, 8);
}

TEST_F(LookupTest, PathsChangeByIdAndMoveWithTheirFolder) {
  test::TempFolder media;
  ASSERT_TRUE(platform::CreateFolder(media.Join("new")));
  auto table = OpenTable();
  auto locked = table->Lock();
  S_DATATABLE* folder = locked.CreateRecord(media.Join("old"), kSizeFolder);
  S_DATATABLE* inside = locked.CreateRecord(media.Join("old/sub/a.mp4"), 10);
  S_DATATABLE* beside = locked.CreateRecord(media.Join("older/b.mp4"), 20);

  EXPECT_TRUE(locked.SetPathById(inside->id_int, "/x/renamed.mp4"));
  EXPECT_EQ(locked.FindByPath("/y/renamed.mp4", 10), inside) << "repositioned by its new name";
  EXPECT_EQ(locked.FindByPath("/y/a.mp4", 10), nullptr);
  EXPECT_FALSE(locked.SetPathById(inside->id_int, "/x/renamed.mp4")) << "the same path";
  EXPECT_FALSE(locked.SetPathById(12345, "/x/y.mp4"));
  EXPECT_FALSE(locked.SetPathById(inside->id_int, "/x/\"quoted\".mp4"));
  ASSERT_TRUE(locked.SetPathById(inside->id_int, media.Join("old/sub/a.mp4")));

  EXPECT_FALSE(locked.UpdatePathAfterMove(12345, media.Join("new"), media.Join("old")))
      << "a temporary id";
  EXPECT_FALSE(locked.UpdatePathAfterMove(folder->id_int + 99, media.Join("new"), ""));
  EXPECT_TRUE(locked.UpdatePathAfterMove(folder->id_int, media.Join("new"), media.Join("old")));
  EXPECT_EQ(folder->path, media.Join("new"));
  EXPECT_EQ(inside->path, media.Join("new/sub/a.mp4"));
  EXPECT_EQ(beside->path, media.Join("older/b.mp4")) << "only what was inside the folder";
  EXPECT_EQ(locked.FindByPath(media.Join("new"), kSizeFolder), folder);

  // A moved file: no folder at the new path, nothing else changes.
  EXPECT_TRUE(
      locked.UpdatePathAfterMove(beside->id_int, "/gone/b2.mp4", media.Join("older/b.mp4")));
  EXPECT_EQ(beside->path, "/gone/b2.mp4");
  EXPECT_EQ(locked.FindByPath("/z/b2.mp4", 20), beside);
}

TEST_F(LookupTest, PathsThatWouldCutTheirLineGetNoRecord) {
  auto table = OpenTable();
  auto locked = table->Lock();
  EXPECT_EQ(locked.CreateRecord("/v/say \"hi\".mp4", 1), nullptr);
  EXPECT_EQ(locked.CreateRecord("/v/two\nlines.mp4", 1), nullptr);
  EXPECT_EQ(locked.CreateRecord("", 1), nullptr);
  EXPECT_EQ(locked.FindByPath("/v/say \"hi\".mp4", 1), nullptr);
  EXPECT_EQ(locked.record_count(), 0u);
  EXPECT_FALSE(table->dirty());
}

TEST_F(LookupTest, TemporaryIdsCountFromZeroEachDay) {
  auto table = OpenTable();
  EXPECT_EQ(table->NewTemporaryId(), 0);
  EXPECT_EQ(table->NewTemporaryId(), 1);
  EXPECT_EQ(table->Lock().NewTemporaryId(), 2);
  table->RefreshDate();
  EXPECT_EQ(table->NewTemporaryId(), 0) << "every connection starts again";
}

TEST_F(LookupTest, AfterMidnightIdsTakeTheNewDateFromTheNextConnection) {
  auto table = OpenTable();
  auto locked = table->Lock();
  locked.CreateRecord("/v/a.mp4", 1);
  locked.CreateRecord("/v/b.mp4", 2);
  fake_local_time = {2024, 3, 16, 0, 0, 5, 0};
  EXPECT_EQ(locked.CreateRecord("/v/c.mp4", 3)->id_text, "20240315_10_000002")
      << "the date is the connection's";
  table->RefreshDate();
  EXPECT_EQ(locked.CreateRecord("/v/d.mp4", 4)->id_text, "20240316_10_000000");
  EXPECT_EQ(locked.CreateRecord("/v/e.mp4", 5)->id_text, "20240316_10_000001");
}

TEST_F(LookupTest, ABatchToolTakesTheNewDateWithoutRestartingThePlayersTemporaryIds) {
  auto table = OpenTable();
  EXPECT_EQ(table->NewTemporaryId(), 0);
  EXPECT_EQ(table->NewTemporaryId(), 1);
  fake_local_time = {2024, 3, 16, 0, 0, 5, 0};
  table->RefreshDateKeepingTemporaryIds();
  EXPECT_EQ(table->NewTemporaryId(), 2) << "the connected player still holds 0 and 1";
  EXPECT_EQ(table->Lock().CreateRecord("/v/a.mp4", 1)->id_text, "20240316_10_000000");
}

TEST_F(LookupTest, TheSequenceContinuesAfterTheThumbnailsOfTheDay) {
  ASSERT_TRUE(EnsureFolder(thumbnails_));
  for (const char* name :
       {"20240315_10_000006.jpg", "20240315_10_000011.JPG", "20240315_10_000999.png",
        "20240315_11_000500.jpg", "20240314_10_000700.jpg", "20240315_10_junk.jpg"}) {
    WriteFileOrFail(thumbnails_ + "/" + name, "jpeg");
  }
  WriteTable(DatLine("20240315_10_000003", kNow, 1, 0, "/v/old.mp4"));
  auto table = OpenTable();
  auto locked = table->Lock();
  EXPECT_EQ(locked.CreateRecord("/v/a.mp4", 10)->id_text, "20240315_10_000012")
      << "above 11 (.JPG counts, .png and other dates and devices do not)";

  // A new day rescans: no thumbnails of that day, so it starts at 0.
  fake_local_time.day = 16;
  table->RefreshDate();
  EXPECT_EQ(locked.CreateRecord("/v/b.mp4", 20)->id_text, "20240316_10_000000");
  fake_local_time.day = 17;
  WriteFileOrFail(thumbnails_ + "/20240317_10_000041.jpg", "jpeg");
  table->RefreshDate();
  EXPECT_EQ(locked.CreateRecord("/v/c.mp4", 30)->id_text, "20240317_10_000042");
}

TEST_F(LookupTest, TheSequenceContinuesAfterTheTablesOwnIdsOfTheDay) {
  WriteTable(DatLine("20240315_10_000041", kNow, 1, 0, "/v/a.mp4") +
             DatLine("20240315_11_000090", kNow, 2, 0, "/v/b.mp4") +
             DatLine("20240316_10_000095", kNow, 3, 0, "/v/c.mp4"));
  auto table = OpenTable();
  EXPECT_EQ(table->Lock().CreateRecord("/v/d.mp4", 4)->id_text, "20240315_10_000042");
  auto other_device = OpenTable(11);
  EXPECT_EQ(other_device->Lock().CreateRecord("/v/e.mp4", 5)->id_text, "20240315_11_000091");
  auto third = OpenTable(12);
  EXPECT_EQ(third->Lock().CreateRecord("/v/e.mp4", 5)->id_text, "20240315_12_000000");
}

TEST_F(LookupTest, DevicesOutOfRangeStayInTheirTwoDigits) {
  auto table = OpenTable(250);
  EXPECT_EQ(table->settings().device_id, 99);
  EXPECT_EQ(table->Lock().CreateRecord("/v/a.mp4", 1)->id_text, "20240315_99_000000");
  table = OpenTable(-3);
  EXPECT_EQ(table->settings().device_id, 0);
}

}  // namespace
}  // namespace velmor::test
