#include "records.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_peer.h"

namespace velmor::player {
namespace {

using test::Hex;

TEST(FlatFieldTest, ReadsNumbersLikeTheCLibrary) {
  EXPECT_EQ(FlatNumber("#RET_USE_HTTP(<port>11921)", "<port>"), 11921);
  EXPECT_EQ(FlatNumber("<a> -42x", "<a>"), -42);
  EXPECT_EQ(FlatNumber("<a>+7", "<a>"), 7);
  EXPECT_EQ(FlatNumber("<a>x1", "<a>"), 0);
  EXPECT_EQ(FlatNumber("<a>", "<a>"), 0);
  EXPECT_EQ(FlatNumber("<a>99999999999999999999", "<a>"), INT64_MAX);
  EXPECT_EQ(FlatNumber("<a>-99999999999999999999", "<a>"), INT64_MIN);
  EXPECT_EQ(FlatNumber("<a>-9223372036854775808", "<a>"), INT64_MIN);
  EXPECT_FALSE(FlatNumber("<port>1", "<po>"));
  EXPECT_FALSE(FlatNumber("", "<a>"));
}

TEST(FlatFieldTest, ReadsStringsBetweenQuotes) {
  EXPECT_EQ(FlatString("<message>\"text here\")", "<message>"), "text here");
  EXPECT_EQ(FlatString("<m>\"open to the end", "<m>"), "open to the end");
  EXPECT_EQ(FlatString("<m>\"", "<m>"), "");
  EXPECT_EQ(FlatString("<m>", "<m>"), "");
  // The first occurrence counts, even inside an earlier quoted value.
  EXPECT_EQ(FlatString("<a>\"<b>\",<b>\"x\"", "<b>"), ",<b>");
  // A key only matches with its closing bracket.
  EXPECT_FALSE(FlatString("<name.1>\"a\"", "<name>"));
}

TEST(ResultLineTest, TellsSuccessFromErrorsWithCodeAndMessage) {
  const auto ok = ParseResultLine("#RET_OK()");
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->ok);
  const auto err =
      ParseResultLine("#RET_ERR(<code>529,<message>\"クライアント側の通信バージョンが古い(219)\")");
  ASSERT_TRUE(err);
  EXPECT_FALSE(err->ok);
  EXPECT_EQ(err->code, 529);
  EXPECT_EQ(err->message, "クライアント側の通信バージョンが古い(219)");
  const auto empty = ParseResultLine("#RET_ERR(<code>0,<message>\"\")");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->code, 0);
  EXPECT_EQ(empty->message, "");
  EXPECT_FALSE(ParseResultLine("#RET_VERSION(<protocol_ver>220)"));
  EXPECT_FALSE(ParseResultLine("#RET_OK"));
  EXPECT_FALSE(ParseResultLine(""));
  EXPECT_FALSE(IsResultLine("#RET_REQUEST_PASSWORD()"));
}

TEST(ResultSlotTest, DecodesTheSlotLayout) {
  const auto slot =
      DecodeResultSlot(Hex("01 00  FE FF FF FF FF FF FF FF  06 00  61 00 62 00 00 00"), nullptr);
  ASSERT_TRUE(slot);
  EXPECT_EQ(slot->slot, 1);
  EXPECT_EQ(slot->value, -2);
  EXPECT_EQ(slot->text, "ab");
  const auto empty = DecodeResultSlot(Hex("00 00  05 00 00 00 00 00 00 00  02 00  00 00"), nullptr);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->value, 5);
  EXPECT_EQ(empty->text, "");
}

TEST(ResultSlotTest, RefusesEveryTruncationAndExtraBytes) {
  const std::string valid = Hex("01 00  FE FF FF FF FF FF FF FF  06 00  61 00 62 00 00 00");
  for (size_t size = 0; size < valid.size(); ++size) {
    EXPECT_FALSE(DecodeResultSlot(valid.substr(0, size), nullptr)) << size;
  }
  std::string error;
  EXPECT_FALSE(DecodeResultSlot(valid + Hex("00 00"), &error));
  EXPECT_NE(error.find("does not match"), std::string::npos);
  // A count that claims more than the chunk holds.
  EXPECT_FALSE(DecodeResultSlot(Hex("00 00  00 00 00 00 00 00 00 00  FF FF  00 00"), &error));
}

// Two records in the folder "/v": the second leaves the folder out.
const char kTwoRecords[] =
    "02 00"
    // record 0: 36 + 6 + 12 = 54 bytes
    "36 00  00 00 10 01  06 00 2F 00 76 00 00 00  0C 00 61 00 2E 00 6D 00 70 00 34 00 00 00"
    "2A 00 00 00 00 00 00 00  5F 8C 34 01  88 13 00 00 00 00 00 00  FF FF  FF FF  00 00"
    // record 1: 36 + 0 + 12 = 48 bytes, a folder (bit 17) not found (bit 16)
    "30 00  00 00 03 05  00 00  0C 00 62 00 2E 00 6D 00 70 00 34 00 00 00"
    "FF FF FF FF FF FF FF FF  FF FF FF FF  FE FF FF FF FF FF FF FF  03 00  00 00  07 00";

TEST(ListRecordTest, DecodesRecordsByteForByte) {
  std::string error;
  const auto records = DecodeListRecords(Hex(kTwoRecords), &error);
  ASSERT_TRUE(records) << error;
  ASSERT_EQ(records->size(), 2u);
  const ListRecord& first = (*records)[0];
  EXPECT_EQ(first.word, 0x01100000u);
  EXPECT_EQ(first.folder, "/v");
  EXPECT_FALSE(first.folder_repeated);
  EXPECT_EQ(first.name, "a.mp4");
  EXPECT_EQ(first.id, 42);
  EXPECT_EQ(first.date, 20221023);
  EXPECT_EQ(first.file_size, 5000);
  EXPECT_EQ(first.group_no, -1);
  EXPECT_EQ(first.parent, -1);
  EXPECT_EQ(first.chapter, 0);
  const ListRecord& second = (*records)[1];
  EXPECT_EQ(second.folder, "/v");
  EXPECT_TRUE(second.folder_repeated);
  EXPECT_EQ(second.name, "b.mp4");
  EXPECT_EQ(second.id, -1);
  EXPECT_EQ(second.date, -1);
  EXPECT_EQ(second.file_size, -2);
  EXPECT_EQ(second.group_no, 3);
  EXPECT_EQ(second.parent, 0);
  EXPECT_EQ(second.chapter, 7);
  const ItemWord word = SplitItemWord(second.word);
  EXPECT_EQ(word.state_flags, 0u);
  EXPECT_TRUE(word.not_found);
  EXPECT_TRUE(word.folder);
  EXPECT_FALSE(word.chapter);
  EXPECT_EQ(word.media_type, 0u);
  EXPECT_EQ(word.kind, 5u);
}

TEST(ListRecordTest, RefusesEveryTruncationAndTrailingBytes) {
  const std::string valid = Hex(kTwoRecords);
  for (size_t size = 0; size < valid.size(); ++size) {
    EXPECT_FALSE(DecodeListRecords(valid.substr(0, size), nullptr)) << size;
  }
  std::string error;
  EXPECT_FALSE(DecodeListRecords(valid + "x", &error));
  EXPECT_NE(error.find("after its 2 records"), std::string::npos);
  EXPECT_TRUE(DecodeListRecords(Hex("00 00"), nullptr));
}

TEST(ListRecordTest, RefusesRecordsThatContradictTheirLengths) {
  std::string bad = Hex(kTwoRecords);
  std::string error;
  // The first record of a chunk must carry its folder.
  EXPECT_FALSE(DecodeListRecords(Hex("01 00") + bad.substr(2 + 54), &error));
  EXPECT_NE(error.find("first record"), std::string::npos);
  // Length one byte short of 36 + folder + name.
  bad[2] = 0x35;
  EXPECT_FALSE(DecodeListRecords(bad, &error));
  // A length below the fixed part.
  bad[2] = 0x10;
  EXPECT_FALSE(DecodeListRecords(bad, &error));
  EXPECT_NE(error.find("below 36"), std::string::npos);
  // A folder count that runs past its record.
  bad = Hex(kTwoRecords);
  bad[8] = 0x40;
  EXPECT_FALSE(DecodeListRecords(bad, &error));
  // A name without its terminating zero.
  bad = Hex(kTwoRecords);
  bad[28] = 'x';
  EXPECT_FALSE(DecodeListRecords(bad, &error));
}

TEST(ThumbnailAnswerTest, DecodesTheAnswerLayout) {
  const auto answer =
      DecodeThumbnailAnswer(Hex("02 00  01 00  04 00 3C 61 3E 00  10 27 00 00"), nullptr);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->index, 2);
  EXPECT_EQ(answer->status, 1);
  EXPECT_EQ(answer->info, "<a>");
  EXPECT_EQ(answer->image_size, 10000);
  const auto empty = DecodeThumbnailAnswer(Hex("00 00 00 00  01 00 00  00 00 00 00"), nullptr);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->info, "");
}

TEST(ThumbnailAnswerTest, RefusesTruncationsAndBrokenTexts) {
  const std::string valid = Hex("02 00  01 00  04 00 3C 61 3E 00  10 27 00 00");
  for (size_t size = 0; size < valid.size(); ++size) {
    EXPECT_FALSE(DecodeThumbnailAnswer(valid.substr(0, size), nullptr)) << size;
  }
  EXPECT_FALSE(DecodeThumbnailAnswer(valid + "x", nullptr));
  EXPECT_FALSE(DecodeThumbnailAnswer(Hex("00 00 00 00  00 00  00 00 00 00"), nullptr));
  EXPECT_FALSE(DecodeThumbnailAnswer(Hex("00 00 00 00  02 00 41 42  00 00 00 00"), nullptr));
  EXPECT_FALSE(DecodeThumbnailAnswer(Hex("00 00 00 00  02 00 00 00  00 00 00 00"), nullptr));
}

}  // namespace
}  // namespace velmor::player
