#include "library/data_table_file.h"

#include <gtest/gtest.h>

#include <string>

namespace velmor {
namespace {

S_DATATABLE Parsed(std::string_view line, RecordLineResult expected = RecordLineResult::kWhole) {
  S_DATATABLE record;
  EXPECT_EQ(ParseRecordLine(line, &record), expected) << line;
  return record;
}

S_DATATABLE Sample() {
  S_DATATABLE record;
  record.id_text = "20240315_10_000001";
  record.id_int = RecordIdFromText(record.id_text);
  record.date_time = 20240315102030;
  record.file_size = 1234;
  record.flags = 0x1f;
  record.SetPath("/v/\xE6\x97\xA5\xE6\x9C\xAC.mp4");
  record.tags = "<mark><t0>1,2>";
  return record;
}

std::string LineOf(const S_DATATABLE& record) {
  std::string line;
  AppendRecordLine(record, &line);
  return line;
}

TEST(DataTableFileFormat, WritesTheFieldsWithTheirWidths) {
  std::string header;
  AppendTableHeader(&header);
  EXPECT_EQ(header, "\xEF\xBB\xBF#ver VelmorVR Server DataTable Ver2.20\r\n");

  EXPECT_EQ(LineOf(Sample()),
            "#dat\t\"20240315_10_000001\"\t\"20240315102030\"\t\"       1234\"\t\"      1f\"\t"
            "\"/v/\xE6\x97\xA5\xE6\x9C\xAC.mp4\"\t\"<mark><t0>1,2>\"\r\n");

  S_DATATABLE folder = Sample();
  folder.file_size = kSizeFolder;
  folder.flags = -1;
  folder.tags.clear();
  EXPECT_EQ(LineOf(folder),
            "#dat\t\"20240315_10_000001\"\t\"20240315102030\"\t\"         -2\"\t"
            "\"ffffffffffffffff\"\t\"/v/\xE6\x97\xA5\xE6\x9C\xAC.mp4\"\t\"\"\r\n");
}

TEST(DataTableFileFormat, LeavesOutWhatWouldCutTheLine) {
  S_DATATABLE record = Sample();
  record.SetPath("/v/say \"hi\"\n.mp4");
  record.tags = "<x>\"<y>";
  const std::string line = LineOf(record);
  EXPECT_NE(line.find("\"/v/say hi.mp4\""), std::string::npos) << line;
  const S_DATATABLE back = Parsed(line.substr(0, line.size() - 2));
  EXPECT_EQ(back.path, "/v/say hi.mp4");
  EXPECT_EQ(back.tags, "<x><y>");
}

TEST(DataTableFileFormat, WrittenLinesReadBackUnchanged) {
  for (const int64_t size : {int64_t{0}, int64_t{-1}, int64_t{-2}, INT64_MAX, INT64_MIN}) {
    S_DATATABLE record = Sample();
    record.file_size = size;
    record.flags = size;
    record.date_time = size;
    const std::string line = LineOf(record);
    const S_DATATABLE back = Parsed(std::string_view(line).substr(0, line.size() - 2));
    EXPECT_EQ(back.file_size, size);
    EXPECT_EQ(back.flags, size);
    EXPECT_EQ(back.date_time, size);
    EXPECT_EQ(back.id_int, record.id_int);
    EXPECT_EQ(back.id_text, record.id_text);
    EXPECT_EQ(back.path, record.path);
    EXPECT_EQ(back.name(), "\xE6\x97\xA5\xE6\x9C\xAC.mp4");
    EXPECT_EQ(back.tags, record.tags);
  }
}

TEST(DataTableFileFormat, ReadsFieldsByTheQuoteRules) {
  // Two or six quotes in a row are one empty field.
  EXPECT_EQ(Parsed("#dat \"20240315_10_000001\" \"1\" \"2\" \"3\" \"/a\" \"\"").tags, "");
  EXPECT_EQ(Parsed("#dat \"20240315_10_000001\" \"1\" \"2\" \"3\" \"/a\" \"\"\"\"\"\"").tags, "");
  // Four are two empty fields: the path and the tags.
  const S_DATATABLE four = Parsed("#dat \"20240315_10_000001\" \"1\" \"2\" \"3\" \"\"\"\"");
  EXPECT_EQ(four.path, "");
  EXPECT_EQ(four.tags, "");
  // Separators between the fields do not matter, only the quotes.
  const S_DATATABLE tight = Parsed("#dat\"20240315_10_000002\"\"1\"x\"2\"\"3\"\"/b\"\"<t>\"");
  EXPECT_EQ(tight.id_int, 2024031510'00000002);
  EXPECT_EQ(tight.path, "/b");
  EXPECT_EQ(tight.tags, "<t>");
}

TEST(DataTableFileFormat, ReadsNumbersLeniently) {
  const S_DATATABLE record = Parsed(
      "#dat\t\"20240315_10_000003\"\t\" 2024 0315 1020 30\"\t\"  -1\"\t\" a0F\"\t\"/a\"\t\"\"");
  EXPECT_EQ(record.date_time, 20240315102030);
  EXPECT_EQ(record.file_size, -1);
  EXPECT_EQ(record.flags, 0xa0) << "upper-case hex digits end the flags";
  EXPECT_EQ(Parsed("#dat\t\"20240315_10_000003\"\t\"x1\"\t\"12kB\"\t\"g\"\t\"/a\"\t\"\"").file_size,
            12);
}

TEST(DataTableFileFormat, TellsCutLinesAndOtherLinesApart) {
  S_DATATABLE record;
  EXPECT_EQ(ParseRecordLine("#ver VelmorVR Server DataTable Ver2.20", &record),
            RecordLineResult::kNotRecord);
  EXPECT_EQ(ParseRecordLine("", &record), RecordLineResult::kNotRecord);
  EXPECT_EQ(ParseRecordLine(" #dat", &record), RecordLineResult::kNotRecord);

  const S_DATATABLE cut =
      Parsed("#dat\t\"20240315_10_000004\"\t\"20240315102030\"\t\"  12\"\t\"1\"\t\"/v/lo",
             RecordLineResult::kIncomplete);
  EXPECT_EQ(cut.id_int, 2024031510'00000004);
  EXPECT_EQ(cut.file_size, 12);
  EXPECT_EQ(cut.path, "/v/lo") << "an open field runs to the end of the line";
  EXPECT_EQ(cut.tags, "");
  EXPECT_EQ(Parsed("#dat", RecordLineResult::kIncomplete).id_int, 0);
  EXPECT_EQ(Parsed("#dat\t\"20240315_10_000004\"", RecordLineResult::kIncomplete).id_int,
            2024031510'00000004);
}

TEST(DataTableFileText, TakesTheUsableRecordsAndNoticesTheRest) {
  TableText table;
  ReadTableText(
      "\xEF\xBB\xBF#ver whatever\r\n"
      "#dat\t\"20240315_10_000001\"\t\"1\"\t\"2\"\t\"3\"\t\"/a\"\t\"\"\r\n"
      "\r\n"
      "#dat\t\"20240315_10_000002\"\t\"1\"\t\"2\"\t\"3\"\t\"/b\"\t\"\"\n"
      "#dat\t\"20240315_10_000003\"\t\"1\"\t\"2\"\t\"3\"\t\"/c\"\t\"\"",
      &table);
  EXPECT_FALSE(table.damaged);
  ASSERT_EQ(table.records.size(), 3u);
  EXPECT_EQ(table.records[0].path, "/a");
  EXPECT_EQ(table.records[1].path, "/b") << "LF alone ends a line too";
  EXPECT_EQ(table.records[2].path, "/c") << "the last line needs no line break";

  const std::string good = "#dat\t\"20240315_10_000009\"\t\"1\"\t\"2\"\t\"3\"\t\"/ok\"\t\"\"\r\n";
  // A user's notes are ignored: the file is read as whole.
  const std::string harmless_texts[] = {
      "# note\r\n",
      "a note of the user\r\n",
      "#ch 3\r\n",
      "#" + std::string(kMaxRecordLineBytes, '=') + "\r\n",
  };
  for (const std::string& note : harmless_texts) {
    ReadTableText(good + note + good, &table);
    EXPECT_FALSE(table.damaged) << note.substr(0, 60);
    EXPECT_EQ(table.records.size(), 2u) << note.substr(0, 60);
  }

  // A record cut, without a real id, too long, or not where a reader looks.
  const std::string cut = "#dat\t\"20240315_10_000008\"\t\"1\"\t\"2\"\t\"3\"\t\"/cut\r\n";
  const std::string damaged_texts[] = {
      " " + good,
      "\xEF\xBB\xBF" + good,
      "#dat\t\"\"\t\"1\"\t\"2\"\t\"3\"\t\"/no-id\"\t\"\"\r\n",
      "#dat\t\"junk\"\t\"1\"\t\"2\"\t\"3\"\t\"/no-id\"\t\"\"\r\n",
      cut,
      std::string("\0\x01\xFF\xFE#dat\"\"\n", 11),
      "#dat\t\"20240315_10_000007\"\t\"1\"\t\"2\"\t\"3\"\t\"/" +
          std::string(kMaxRecordLineBytes, 'x') + "\"\t\"\"\r\n",
  };
  for (const std::string& damage : damaged_texts) {
    ReadTableText(good + damage + good, &table);
    EXPECT_TRUE(table.damaged) << damage.substr(0, 60);
    ASSERT_GE(table.records.size(), 2u) << damage.substr(0, 60);
    EXPECT_EQ(table.records.front().path, "/ok");
    EXPECT_EQ(table.records.back().path, "/ok");
  }
  ReadTableText(good + cut, &table);
  ASSERT_EQ(table.records.size(), 2u) << "a cut line with a real id is kept";
  EXPECT_EQ(table.records[1].path, "/cut");
}

// A large file is read in pieces side by side: together they hold the
// records of one read, in file order, and its damage.
TEST(DataTableFileText, ReadInPiecesGivesTheRecordsOfOneRead) {
  std::string text = "\xEF\xBB\xBF#ver whatever\r\n";
  for (int i = 0; i < 20000; ++i) {
    S_DATATABLE record = Sample();
    record.id_text = FormatIdText(20240315, 10, i + 1);
    record.SetPath("/v/" + std::to_string(i) + ".mp4");
    AppendRecordLine(record, &text);
    if (i == 15000) text += "#dat\t\"junk\"\r\n";
  }
  TableText whole;
  ReadTableText(text, &whole);
  ASSERT_EQ(whole.records.size(), 20000u);
  const std::vector<TableText> pieces = ReadTableTextInParts(text, 4);
  EXPECT_EQ(pieces.size(), 4u);
  std::vector<std::string> paths;
  bool damaged = false;
  for (const TableText& piece : pieces) {
    for (const S_DATATABLE& record : piece.records) paths.push_back(record.path);
    damaged = damaged || piece.damaged;
  }
  ASSERT_EQ(paths.size(), whole.records.size());
  for (size_t i = 0; i < paths.size(); ++i) ASSERT_EQ(paths[i], whole.records[i].path);
  EXPECT_TRUE(damaged);
  EXPECT_TRUE(whole.damaged);
  EXPECT_EQ(ReadTableTextInParts(LineOf(Sample()), 4).size(), 1u) << "a small file: one piece";
}

TEST(DataTableFileText, AnotherEncodingIsDamageWithoutRecords) {
  // The same table saved as UTF-16 by an editor.
  const std::string utf8 = "#dat\t\"20240315_10_000001\"\t\"1\"\t\"2\"\t\"3\"\t\"/a\"\t\"\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (const char c : utf8) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  TableText table;
  ReadTableText(utf16, &table);
  EXPECT_TRUE(table.records.empty());
  EXPECT_TRUE(table.damaged);
}

}  // namespace
}  // namespace velmor
