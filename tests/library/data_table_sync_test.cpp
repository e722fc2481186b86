// The data table and its file: loading, the debounced save, merging what
// other writers changed, and keeping the file whole when things go wrong.
#include <gtest/gtest.h>

#include <vector>

#include "data_table_fixture.h"
#include "library/data_table.h"

namespace velmor::test {
namespace {

using SyncTest = DataTableTest;

// Japanese names, a character outside the BMP (U+20B9F) and one from the
// private use area, in the order the file keeps: size, then UTF-16 name.
const std::string kOrderedLines =
    DatLine("20240301_10_000002", 20240301090000, -2, 4, "/ビデオ/連続ドラマ") +
    DatLine("20240301_10_000000", 20240301090000, -1, 0, "/ビデオ/未知.mp4") +
    DatLine("20240301_10_000001", 20240302101010, 1000, 1, "/ビデオ/\xF0\xA0\xAE\x9F.mp4",
            "<mark><t0>100,200>") +
    DatLine("20240301_10_000003", 20240302101010, 1000, 0, "/ビデオ/\xEE\x80\x80.mp4") +
    DatLine("20240301_10_000004", 20240302101010, 1000, 0x10, "/ビデオ/ｱ.mp4") +
    DatLine("20240301_10_000005", 20240302101010, 123456789012, 0, "D:\\映画\\長編.mkv");

std::vector<std::string> PathsInFileOrder(const std::string& text) {
  std::vector<std::string> paths;
  size_t pos = 0;
  while ((pos = text.find("#dat", pos)) != std::string::npos) {
    // The fifth field: after the ninth quote.
    size_t quote = pos;
    for (int i = 0; i < 9; ++i) quote = text.find('"', quote + 1);
    paths.push_back(text.substr(quote + 1, text.find('"', quote + 1) - quote - 1));
    pos = quote;
  }
  return paths;
}

std::vector<std::string> DamagedCopies(const std::string& folder) {
  std::vector<platform::FileInfo> entries;
  platform::ListFolder(folder, &entries);
  std::vector<std::string> copies;
  for (const auto& entry : entries) {
    if (entry.name.find(".damaged-") != std::string::npos)
      copies.push_back(folder + "/" + entry.name);
  }
  return copies;
}

TEST_F(SyncTest, TheFileGoesBesideTheProgramWhereTheSettingSays) {
  auto table = OpenTable();
  EXPECT_EQ(PathKind(home_.Join("data")), kPathFolder) << "its folder is made at once";
  EXPECT_EQ(platform::GetPathType(file_), platform::PathType::kNone)
      << "the file at the first save";
  table->Lock().CreateRecord("/v/a.mp4", 1);
  ASSERT_TRUE(table->Save());
  EXPECT_EQ(PathsInFileOrder(FileText()), std::vector<std::string>{"/v/a.mp4"});
  const std::string header = "\xEF\xBB\xBF#ver VelmorVR Server DataTable Ver2.20\r\n";
  EXPECT_EQ(FileText().substr(0, header.size()), header);
}

TEST_F(SyncTest, ARoundTripKeepsTheFileByteForByte) {
  WriteTable(kOrderedLines);
  const std::string before = FileText();
  auto table = OpenTable();
  EXPECT_FALSE(table->dirty()) << "a file in order needs no rewrite";
  EXPECT_EQ(table->Lock().record_count(), 6u);
  table->Lock().Touch(nullptr);
  ASSERT_TRUE(table->Save());
  EXPECT_EQ(FileText(), before);

  auto locked = table->Lock();
  EXPECT_EQ(locked.FindByPath("/ビデオ/未知.mp4", kSizeUnknown)->id_text, "20240301_10_000000");
  // A chapter folder is inside itself, so it is found by its name anywhere.
  const S_DATATABLE* chapter = locked.FindByPath("/別の場所/連続ドラマ", kSizeFolder);
  ASSERT_NE(chapter, nullptr);
  EXPECT_EQ(chapter->id_text, "20240301_10_000002");
  const S_DATATABLE* marked = locked.FindByPath("/x/\xF0\xA0\xAE\x9F.mp4", 1000);
  ASSERT_NE(marked, nullptr);
  EXPECT_EQ(marked->id_int, 2024030110'00000001);
  EXPECT_EQ(marked->tags, "<mark><t0>100,200>");
  EXPECT_EQ(marked->flags, 1);
  EXPECT_EQ(locked.FindChapterFolder("/x/連続ドラマ/第1話")->id_text, "20240301_10_000002");
}

TEST_F(SyncTest, AnUnorderedFileIsRewrittenInOrder) {
  const std::string lines[] = {
      DatLine("20240301_10_000000", 20240301090000, 500, 0, "/v/b.mp4"),
      DatLine("20240301_10_000001", 20240301090000, 500, 0, "/v/a.mp4"),
      DatLine("20240301_10_000002", 20240301090000, -2, 0, "/v/folder"),
      DatLine("20240301_10_000003", 20240301090000, 20, 0, "/v/z.mp4"),
  };
  WriteTable(lines[0] + lines[1] + lines[2] + lines[3]);
  auto table = OpenTable();
  EXPECT_TRUE(table->dirty()) << "marked for a rewrite";
  EXPECT_EQ(table->Lock().FindByPath("/w/a.mp4", 500)->id_text, "20240301_10_000001");

  Advance(4000);
  table->Tick();
  EXPECT_TRUE(table->dirty()) << "not before 5 s";
  Advance(1000);
  table->Tick();
  EXPECT_FALSE(table->dirty());
  EXPECT_EQ(FileText(), TableFile(lines[2] + lines[3] + lines[1] + lines[0]));
}

TEST_F(SyncTest, ChangesAreSavedFiveSecondsAfterTheLastOne) {
  auto table = OpenTable();
  table->Lock().CreateRecord("/v/a.mp4", 1);
  Advance(4000);
  table->Tick();
  table->Lock().CreateRecord("/v/b.mp4", 2);  // the wait starts again
  Advance(4500);
  table->Tick();
  EXPECT_EQ(platform::GetPathType(file_), platform::PathType::kNone);
  Advance(700);
  table->Tick();
  EXPECT_EQ(platform::GetPathType(file_), platform::PathType::kNone) << "ticks are a second apart";
  Advance(300);
  table->Tick();
  EXPECT_FALSE(table->dirty());
  EXPECT_EQ(PathsInFileOrder(FileText()), (std::vector<std::string>{"/v/a.mp4", "/v/b.mp4"}));
}

TEST_F(SyncTest, ChangesKeptComingAreSavedWithinTheBound) {
  auto table = OpenTable();
  // A change every 4 s never lets the table fall quiet for 5 s.
  int made = 0;
  for (uint32_t waited = 0; waited < DataTable::kSaveBoundMs; waited += 4000) {
    table->Lock().CreateRecord("/v/" + std::to_string(made++) + ".mp4", 1);
    Advance(4000);
    table->Tick();
  }
  ASSERT_NE(platform::GetPathType(file_), platform::PathType::kNone) << "saved by the bound";
  EXPECT_EQ(PathsInFileOrder(FileText()).size(), static_cast<size_t>(made));
  // The bound counts again from the first change after that save.
  table->Lock().CreateRecord("/v/late.mp4", 1);
  Advance(4000);
  table->Tick();
  EXPECT_TRUE(table->dirty());
}

TEST_F(SyncTest, WhatAKilledSaveLeftBesideTheFileGoesAtOpen) {
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 500, 0, "/v/a.mp4"));
  WriteFileOrFail(file_ + ".tmp31337-5000-0", "half a table");
  auto table = OpenTable();
  EXPECT_EQ(platform::GetPathType(file_ + ".tmp31337-5000-0"), platform::PathType::kNone);
  EXPECT_NE(table->Lock().FindById(2024030110'00000000), nullptr);
}

TEST_F(SyncTest, AHandEditIsMergedAtTheNextTickWhenNothingIsUnsaved) {
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4") +
             DatLine("20240301_10_000001", 20240301090000, 200, 0, "/v/b.mp4") +
             DatLine("20240301_10_000002", 20240301090000, 300, 0, "/v/c.mp4"));
  auto table = OpenTable();
  // The user sets a flag (leaving the time alone), deletes a line and adds
  // one of another server.
  WriteTableLater(DatLine("20240301_10_000000", 20240301090000, 100, 8, "/v/a.mp4") +
                  DatLine("20240301_10_000002", 20240301090000, 300, 0, "/v/c.mp4") +
                  DatLine("20240301_20_000000", 20240301090000, 400, 0, "/v/d.mp4"));
  Advance(999);
  table->Tick();
  EXPECT_EQ(table->Lock().FindById(2024030110'00000000)->flags, 0) << "within the second";
  Advance(1);
  table->Tick();
  auto locked = table->Lock();
  EXPECT_EQ(locked.FindById(2024030110'00000000)->flags, 8);
  EXPECT_EQ(locked.FindById(2024030110'00000001), nullptr);
  EXPECT_EQ(locked.FindByPath("/w/b.mp4", 200), nullptr);
  EXPECT_EQ(locked.FindByPath("/w/d.mp4", 400)->id_int, 2024030120'00000000);
  EXPECT_EQ(locked.record_count(), 3u);
  EXPECT_FALSE(table->dirty()) << "merging changes nothing of its own";
}

TEST_F(SyncTest, ALineDeletedOnDiskStaysWhenChangedMeanwhile) {
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4") +
             DatLine("20240301_10_000001", 20240301090000, 200, 0, "/v/b.mp4") +
             DatLine("20240301_10_000002", 20240301090000, 300, 0, "/v/c.mp4"));
  auto table = OpenTable();
  {
    auto locked = table->Lock();
    S_DATATABLE* changed = locked.FindById(2024030110'00000001);
    changed->tags = "<mark><p0>5>";
    changed->flags |= kFlagHasMarkers;
    locked.Touch(changed);
    locked.CreateRecord("/v/new.mp4", 50);
  }
  // Both b and c deleted by hand, a's flags changed: unsaved changes hold
  // off the merge until the save, which merges first.
  WriteTableLater(DatLine("20240301_10_000000", 20240301090000, 100, 2, "/v/a.mp4"));
  Advance(1000);
  table->Tick();
  EXPECT_EQ(table->Lock().record_count(), 4u) << "no merge while changes are unsaved";
  Advance(DataTable::kSaveDelayMs);
  table->Tick();
  EXPECT_FALSE(table->dirty());
  EXPECT_EQ(FileText(),
            TableFile(DatLine("20240315_10_000000", kNow, 50, 0, "/v/new.mp4") +
                      DatLine("20240301_10_000000", 20240301090000, 100, 2, "/v/a.mp4") +
                      DatLine("20240301_10_000001", kNow, 200, 1, "/v/b.mp4", "<mark><p0>5>")));
}

TEST_F(SyncTest, MemoryWinsForRecordsItChangedAndDiskForTheRest) {
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4") +
             DatLine("20240301_10_000001", 20240301090000, 200, 0, "/v/b.mp4"));
  auto table = OpenTable();
  {
    auto locked = table->Lock();
    S_DATATABLE* a = locked.FindById(2024030110'00000000);
    a->flags = 0x40;
    locked.Touch(a);
  }
  WriteTableLater(DatLine("20240301_10_000000", 20240302000000, 100, 0x20, "/v/a.mp4") +
                  DatLine("20240301_10_000001", 20240302000000, 200, 0x20, "/v/moved/b.mp4"));
  ASSERT_TRUE(table->Save());
  auto locked = table->Lock();
  EXPECT_EQ(locked.FindById(2024030110'00000000)->flags, 0x40);
  EXPECT_EQ(locked.FindById(2024030110'00000001)->flags, 0x20);
  EXPECT_EQ(locked.FindById(2024030110'00000001)->path, "/v/moved/b.mp4");
  EXPECT_EQ(PathsInFileOrder(FileText()), (std::vector<std::string>{"/v/a.mp4", "/v/moved/b.mp4"}));
}

TEST_F(SyncTest, AFailedWriteKeepsTheOldFileAndEveryUnsavedChange) {
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4"));
  auto table = OpenTable();
  const std::string before = FileText();
  table->Lock().CreateRecord("/v/new.mp4", 50);

  // The data folder gives way to a file: nothing can be written there.
  const std::string kept_aside = home_.Join("kept");
  ASSERT_TRUE(platform::MovePath(home_.Join("data"), kept_aside));
  WriteFileOrFail(home_.Join("data"), "not a folder");
  EXPECT_FALSE(table->Save());
  EXPECT_TRUE(table->dirty());
  Advance(DataTable::kSaveDelayMs + DataTable::kTickPeriodMs);
  table->Tick();
  EXPECT_TRUE(table->dirty()) << "still failing";

  // The folder is back, and another writer changed the file meanwhile: the
  // new record is still unsaved, so the merge before the save keeps it.
  ASSERT_TRUE(platform::DeleteFile(home_.Join("data")));
  ASSERT_TRUE(platform::MovePath(kept_aside, home_.Join("data")));
  EXPECT_EQ(FileText(), before);
  WriteTableLater(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4") +
                  DatLine("20240301_20_000000", 20240301090000, 70, 0, "/v/other.mp4"));
  Advance(DataTable::kSaveDelayMs + DataTable::kTickPeriodMs);
  table->Tick();
  EXPECT_FALSE(table->dirty());
  EXPECT_EQ(PathsInFileOrder(FileText()),
            (std::vector<std::string>{"/v/new.mp4", "/v/other.mp4", "/v/a.mp4"}));
}

TEST_F(SyncTest, ADamagedFileGivesItsGoodRecordsAndIsKeptAside) {
  const std::string damaged =
      TableFile(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4")) +
      std::string("\x00\x13\xFF junk \x01\r\n", 12) + "#dat\t\"\"\t\"\"\r\n" +
      std::string(300000, '#') + "\r\n" +
      "#dat\t\"20240301_10_000001\"\t\"20240301090000\"\t\"  200";
  EnsureFolder(home_.Join("data"));
  WriteFileOrFail(file_, damaged);
  auto table = OpenTable();
  {
    auto locked = table->Lock();
    EXPECT_EQ(locked.record_count(), 2u);
    EXPECT_EQ(locked.FindById(2024030110'00000000)->path, "/v/a.mp4");
    EXPECT_EQ(locked.FindById(2024030110'00000001)->file_size, 200) << "the cut line's id and size";
  }
  EXPECT_FALSE(table->dirty()) << "nothing is written just because the file was damaged";
  EXPECT_EQ(FileText(), damaged);

  table->Lock().CreateRecord("/v/b.mp4", 30);
  ASSERT_TRUE(table->Save());
  const std::vector<std::string> copies = DamagedCopies(home_.Join("data"));
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadFileOrEmpty(copies[0]), damaged);
  EXPECT_EQ(PathsInFileOrder(FileText()), (std::vector<std::string>{"/v/b.mp4", "/v/a.mp4", ""}));

  // The file is clean now: later saves make no more copies.
  table->Lock().Touch(nullptr);
  ASSERT_TRUE(table->Save());
  EXPECT_EQ(DamagedCopies(home_.Join("data")).size(), 1u);
}

TEST_F(SyncTest, AUsersNotesMakeNoCopyWhenReadOrMerged) {
  const std::string a = DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4");
  WriteTable("# note\r\n" + a + "my own list of films\r\n");
  auto table = OpenTable();
  EXPECT_EQ(table->Lock().record_count(), 1u);
  table->Lock().CreateRecord("/v/b.mp4", 30);
  ASSERT_TRUE(table->Save());
  EXPECT_EQ(PathsInFileOrder(FileText()), (std::vector<std::string>{"/v/b.mp4", "/v/a.mp4"}));

  WriteTableLater(a + "# another note\r\n");
  Advance(DataTable::kTickPeriodMs);
  table->Tick();
  EXPECT_EQ(table->Lock().record_count(), 1u) << "merged";
  table->Lock().Touch(nullptr);
  ASSERT_TRUE(table->Save());
  EXPECT_TRUE(DamagedCopies(home_.Join("data")).empty());
}

TEST_F(SyncTest, AFileInAnotherEncodingIsNotLostToAnEmptyTable) {
  std::string utf16 = "\xFF\xFE";
  for (const char c :
       TableFile(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4"))) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  EnsureFolder(home_.Join("data"));
  WriteFileOrFail(file_, utf16);
  auto table = OpenTable();
  EXPECT_EQ(table->Lock().record_count(), 0u);
  table->Lock().CreateRecord("/v/b.mp4", 30);
  ASSERT_TRUE(table->Save());
  const std::vector<std::string> copies = DamagedCopies(home_.Join("data"));
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadFileOrEmpty(copies[0]), utf16);
}

TEST_F(SyncTest, AVanishedFileTakesNoRecordsAlong) {
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4"));
  auto table = OpenTable();
  ASSERT_TRUE(platform::DeleteFile(file_));
  Advance(DataTable::kTickPeriodMs);
  table->Tick();
  EXPECT_EQ(table->Lock().record_count(), 1u);
  table->Lock().Touch(nullptr);
  ASSERT_TRUE(table->Save());
  EXPECT_EQ(PathsInFileOrder(FileText()), std::vector<std::string>{"/v/a.mp4"});
}

TEST_F(SyncTest, OpeningAnotherFileSavesTheOldOneAndAlwaysReadsTheNew) {
  WriteTable(DatLine("20240301_10_000000", 20240301090000, 100, 0, "/v/a.mp4"));
  auto table = OpenTable();
  table->Lock().CreateRecord("/v/b.mp4", 30);
  table->Open(Settings());
  EXPECT_TRUE(table->dirty()) << "the same file and device: nothing happens";

  // A copy keeps the file's time; it must still be read.
  const std::string copy = home_.Join("copy.txt");
  ASSERT_TRUE(table->Save());
  WriteFileOrFail(copy, FileText());
  ASSERT_TRUE(platform::SetFileTimes(copy, 0, GetFileWriteTime(file_)));
  table->Lock().CreateRecord("/v/c.mp4", 40);
  table->Open({10, copy, thumbnails_});
  EXPECT_EQ(PathsInFileOrder(FileText()),
            (std::vector<std::string>{"/v/b.mp4", "/v/c.mp4", "/v/a.mp4"}))
      << "the old file got its unsaved change";
  EXPECT_EQ(table->Lock().record_count(), 2u) << "the copy has a and b";
  EXPECT_FALSE(table->dirty());

  // Another device on the same file re-reads it too.
  table->Open({11, copy, thumbnails_});
  EXPECT_EQ(table->Lock().record_count(), 2u);
  EXPECT_EQ(table->Lock().CreateRecord("/v/d.mp4", 1)->id_text, "20240315_11_000000");
}

TEST_F(SyncTest, TheTableSavesWhatIsUnsavedWhenItGoes) {
  {
    auto table = OpenTable();
    table->Lock().CreateRecord("/v/a.mp4", 1);
  }
  EXPECT_EQ(PathsInFileOrder(FileText()), std::vector<std::string>{"/v/a.mp4"});
}

}  // namespace
}  // namespace velmor::test
