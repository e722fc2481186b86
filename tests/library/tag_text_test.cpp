#include "library/tag_text.h"

#include <gtest/gtest.h>

#include <string>

namespace velmor {
namespace {

const char kRecordText[] =
    "<mark><<t0>10,20<p1>5><thum><<ver>3<make>1<size>320,180<fcc_v>h264\n<extra>x>";

TEST(GetTagValueTest, ReturnsTheValueWithoutItsOuterBrackets) {
  std::string value;
  ASSERT_EQ(GetTagValue(kRecordText, "<thum>", &value), 46);
  EXPECT_EQ(value, "<ver>3<make>1<size>320,180<fcc_v>h264\n<extra>x");
  ASSERT_EQ(GetTagValue(kRecordText, "<mark>", &value), 14);
  EXPECT_EQ(value, "<t0>10,20<p1>5");
  EXPECT_EQ(GetTagValue(kRecordText, "<mark>", nullptr), 14);
  ASSERT_EQ(GetTagValue("<a><>", "<a>", &value), 0);
  EXPECT_EQ(value, "");
  ASSERT_EQ(GetTagValue("<a><<b><c>>", "<a>", &value), 6);
  EXPECT_EQ(value, "<b><c>");
}

TEST(GetTagValueTest, FindsKeysOnlyAtTheTopLevel) {
  std::string value = "untouched";
  EXPECT_EQ(GetTagValue(kRecordText, "<ver>", &value), -1) << "<ver> stands at depth 1";
  EXPECT_EQ(GetTagValue(kRecordText, "<t0>", &value), -1);
  EXPECT_EQ(value, "untouched");
  // An element's value is never taken for a key.
  ASSERT_EQ(GetTagValue("<a><b><b><2>", "<b>", &value), 1);
  EXPECT_EQ(value, "2");
}

TEST(GetTagValueTest, MatchesTheWholeKey) {
  const char text[] = "<markx><1><mar><2><mark><3>";
  std::string value;
  ASSERT_EQ(GetTagValue(text, "<mark>", &value), 1);
  EXPECT_EQ(value, "3");
  EXPECT_EQ(GetTagValue(text, "<MARK>", &value), -1);
  EXPECT_EQ(GetTagValue(text, "<nothing>", &value), -1);
  EXPECT_EQ(GetTagValue("", "<mark>", &value), -1);
  EXPECT_EQ(GetTagValue(text, "", &value), -1);
}

TEST(GetTagValueTest, SurvivesDamagedTexts) {
  std::string value;
  EXPECT_EQ(GetTagValue("<a><12", "<a>", &value), -1) << "text ends inside the value";
  EXPECT_EQ(GetTagValue("<a><1<2>", "<a>", &value), -1);
  EXPECT_EQ(GetTagValue("<a>", "<a>", &value), -1) << "text ends before the value";
  EXPECT_EQ(GetTagValue("<a", "<a>", &value), -1);
  // Stray text and '>' at the top level are skipped.
  ASSERT_EQ(GetTagValue(">x><a><1>junk>><b><2>", "<b>", &value), 1);
  EXPECT_EQ(value, "2");
  // A key without a bracketed value right after it has no value.
  ASSERT_EQ(GetTagValue("<a>x<b><1><a><2>", "<a>", &value), 1);
  EXPECT_EQ(value, "2");
}

TEST(SetTagValueTest, ReplacesAppendsAndRemoves) {
  std::string text = "<a><1><b><2>";
  const std::string three = "3";
  ASSERT_TRUE(SetTagValue(&text, "<a>", &three));
  EXPECT_EQ(text, "<a><3><b><2>");
  const std::string nested = "<x>1<y>2";
  ASSERT_TRUE(SetTagValue(&text, "<c>", &nested));
  EXPECT_EQ(text, "<a><3><b><2><c><<x>1<y>2>");
  ASSERT_TRUE(SetTagValue(&text, "<b>", nullptr));
  EXPECT_EQ(text, "<a><3><c><<x>1<y>2>");
  ASSERT_TRUE(SetTagValue(&text, "<absent>", nullptr));
  EXPECT_EQ(text, "<a><3><c><<x>1<y>2>");

  std::string value;
  ASSERT_EQ(GetTagValue(text, "<c>", &value), 8);
  EXPECT_EQ(value, nested);

  std::string empty;
  ASSERT_TRUE(SetTagValue(&empty, "<mark>", &three));
  EXPECT_EQ(empty, "<mark><3>");
}

TEST(SetTagValueTest, EveryMatchingTopLevelElementChanges) {
  std::string text = "<a><1><b><<a><inner>><a><2>";
  const std::string nine = "9";
  ASSERT_TRUE(SetTagValue(&text, "<a>", &nine));
  EXPECT_EQ(text, "<a><9><b><<a><inner>><a><9>");
  ASSERT_TRUE(SetTagValue(&text, "<a>", nullptr));
  EXPECT_EQ(text, "<b><<a><inner>>");
}

TEST(SetTagValueTest, RebuildDropsWhatIsNotAnElement) {
  std::string text = "junk><a><1> <b>x<c><3><d><unclosed";
  ASSERT_TRUE(SetTagValue(&text, "<e>", nullptr));
  EXPECT_EQ(text, "<a><1><c><3>");
  // A matching key without a value gets the new one.
  text = "<a>x<b><2>";
  const std::string one = "1";
  ASSERT_TRUE(SetTagValue(&text, "<a>", &one));
  EXPECT_EQ(text, "<a><1><b><2>");
}

TEST(SetTagValueTest, RefusesChangesThatWouldDamageTheText) {
  const std::string original = "<a><1>";
  std::string text = original;
  const std::string good = "2";
  for (const char* key : {"", "a", "<a", "<a>>", "<a><b>", "x<a>"}) {
    EXPECT_FALSE(SetTagValue(&text, key, &good)) << key;
  }
  for (const char* bad : {"<", ">", "><", "<x>>", "<<x>"}) {
    const std::string value = bad;
    EXPECT_FALSE(SetTagValue(&text, "<a>", &value)) << bad;
  }
  EXPECT_EQ(text, original);
}

TEST(SetTagValueTest, ResultMustFitTheWorkCopy) {
  std::string text = "<a><1>";
  // "<a><1>" + "<b><" + value + ">": 527 bytes exactly fit.
  const std::string fits(527 - 11, 'v');
  ASSERT_TRUE(SetTagValue(&text, "<b>", &fits));
  EXPECT_EQ(text.size(), 527u);

  const std::string before = text;
  const std::string longer = "12";
  EXPECT_FALSE(SetTagValue(&text, "<a>", &longer));
  EXPECT_EQ(text, before) << "a refused change keeps the old text";
  // Shrinking always works, as does a smaller limit the caller gives.
  ASSERT_TRUE(SetTagValue(&text, "<b>", nullptr));
  EXPECT_EQ(text, "<a><1>");
  EXPECT_FALSE(SetTagValue(&text, "<c>", &longer, 10));
  EXPECT_TRUE(SetTagValue(&text, "<c>", &longer, 13));
}

}  // namespace
}  // namespace velmor
