#include "base/tagged_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "base/utf.h"

namespace velmor {
namespace {

TEST(FindNumberTest, ReadsTheDecimalAfterTheKey) {
  int64_t value = 0;
  ASSERT_TRUE(FindNumber("#CMD_SETUP(<protocol_ver>230,<x>1)", "<protocol_ver>", &value));
  EXPECT_EQ(value, 230);
  ASSERT_TRUE(FindNumber("<a> \t-12,3", "<a>", &value));
  EXPECT_EQ(value, -12);
  ASSERT_TRUE(FindNumber("<a>+7x", "<a>", &value));
  EXPECT_EQ(value, 7);
  ASSERT_TRUE(FindNumber("<id_int>2024010110000000042", "<id_int>", &value));
  EXPECT_EQ(value, 2024010110000000042LL);
  int small = 0;
  ASSERT_TRUE(FindNumber("<port>11923)", "<port>", &small));
  EXPECT_EQ(small, 11923);
}

TEST(FindNumberTest, KeyWithoutDigitsReadsZeroAndIsFound) {
  int64_t value = 99;
  EXPECT_TRUE(FindNumber("<a>x", "<a>", &value));
  EXPECT_EQ(value, 0);
  value = 99;
  EXPECT_TRUE(FindNumber("<a>", "<a>", &value));
  EXPECT_EQ(value, 0);
  int small = 99;
  EXPECT_TRUE(FindNumber("<a>-", "<a>", &small));
  EXPECT_EQ(small, 0);
}

TEST(FindNumberTest, AbsentKeyLeavesTheDefault) {
  int64_t value = 99;
  EXPECT_FALSE(FindNumber("<b>1", "<a>", &value));
  EXPECT_FALSE(FindNumber("<A>1", "<a>", &value)) << "keys match case";
  EXPECT_FALSE(FindNumber("", "<a>", &value));
  EXPECT_FALSE(FindNumber("<a>1", "", &value));
  EXPECT_EQ(value, 99);
}

TEST(FindNumberTest, FirstOccurrenceWins) {
  int64_t value = 0;
  ASSERT_TRUE(FindNumber("<n>1<n>2", "<n>", &value));
  EXPECT_EQ(value, 1);
  // No quoting is understood: a key inside an earlier string value is found.
  ASSERT_TRUE(FindNumber("<name>\"x<n>5\"<n>7", "<n>", &value));
  EXPECT_EQ(value, 5);
}

TEST(FindStringTest, ReadsBetweenTheQuotes) {
  std::string value;
  ASSERT_TRUE(FindString("#CMD_PASSWORD(<pass>\"sec ret\")", "<pass>", &value));
  EXPECT_EQ(value, "sec ret");
  ASSERT_TRUE(FindString("<path>  x\"C:\\動画\\a.mp4\"<next>\"b\"", "<path>", &value));
  EXPECT_EQ(value, "C:\\動画\\a.mp4");
  ASSERT_TRUE(FindString("<s>\"\"", "<s>", &value));
  EXPECT_EQ(value, "");
}

TEST(FindStringTest, UnclosedQuoteReadsToTheEnd) {
  std::string value = "old";
  ASSERT_TRUE(FindString("<s>\"abc", "<s>", &value));
  EXPECT_EQ(value, "abc");
  value = "old";
  ASSERT_TRUE(FindString("<s>\"", "<s>", &value));
  EXPECT_EQ(value, "");
  value = "old";
  ASSERT_TRUE(FindString("<s>1", "<s>", &value)) << "no quote at all";
  EXPECT_EQ(value, "");
}

TEST(FindStringTest, KeyIsNeverFoundInsideALongerKey) {
  std::string value = "default";
  EXPECT_FALSE(FindString("(<password>\"x\")", "<pass>", &value));
  EXPECT_EQ(value, "default");
  ASSERT_TRUE(FindString("(<password>\"x\",<pass>\"y\")", "<pass>", &value));
  EXPECT_EQ(value, "y");
}

TEST(FindStringTest, LongValuesAreCutTo259Characters) {
  std::string value;
  ASSERT_TRUE(FindString("<s>\"" + std::string(300, 'a') + "\"", "<s>", &value));
  EXPECT_EQ(value, std::string(259, 'a'));

  std::string wide;
  for (int i = 0; i < 300; ++i) wide += "動";
  ASSERT_TRUE(FindString("<s>\"" + wide, "<s>", &value));
  EXPECT_EQ(Utf16Length(value), 259u);
  EXPECT_EQ(value.size(), 259u * 3);

  // A character of two units is not split at the limit.
  const std::string text = "<s>\"" + std::string(258, 'a') + "\xF0\x9F\x98\x80\"";
  ASSERT_TRUE(FindString(text, "<s>", &value));
  EXPECT_EQ(value, std::string(258, 'a'));
}

TEST(QuoteTest, WrapsTheValueInDoubleQuotes) {
  EXPECT_EQ(Quote("C:\\a b"), "\"C:\\a b\"");
  std::string value;
  ASSERT_TRUE(FindString("<p>" + Quote("動画"), "<p>", &value));
  EXPECT_EQ(value, "動画");
}

}  // namespace
}  // namespace velmor
