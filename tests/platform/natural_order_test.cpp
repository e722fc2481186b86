// The natural string order on hand-picked names: numbers by value, letters
// without case, and the Japanese locale's order of kana, kanji and
// punctuation. natural_order_win32_test.cpp holds the same order against
// Windows' own function on thousands of generated names.
#include "platform/natural_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf.h"

namespace velmor::platform {
namespace {

int Order(std::u16string_view a, std::u16string_view b) { return CompareLogical(a, b); }

// Every name orders after the one before it, and both ways round agree.
void ExpectAscending(const std::vector<std::u16string>& names) {
  for (size_t i = 1; i < names.size(); ++i) {
    SCOPED_TRACE(Utf16ToUtf8(names[i - 1]) + " < " + Utf16ToUtf8(names[i]));
    EXPECT_EQ(Order(names[i - 1], names[i]), -1);
    EXPECT_EQ(Order(names[i], names[i - 1]), 1);
  }
}

void ExpectSame(std::u16string_view a, std::u16string_view b) {
  SCOPED_TRACE(Utf16ToUtf8(a) + " = " + Utf16ToUtf8(b));
  EXPECT_EQ(Order(a, b), 0);
  EXPECT_EQ(Order(b, a), 0);
}

TEST(NaturalOrderTest, NumbersCompareByValue) {
  ExpectAscending({u"file1", u"file2", u"file9", u"file10", u"file11", u"file100"});
  ExpectAscending({u"1", u"2", u"10", u"10a", u"10b", u"10b2", u"10b10"});
  ExpectAscending({u"v1.9.2", u"v1.10.0", u"v2.0.0"});
}

TEST(NaturalOrderTest, EqualNumbersWithLeadingZerosGoOnToTheRest) {
  ExpectSame(u"a01", u"a1");
  ExpectSame(u"007", u"7");
  ExpectSame(u"x0", u"x000");
  ExpectAscending({u"a01b", u"a1c"});
  ExpectAscending({u"a1c", u"a01d"});
  ExpectAscending({u"a1", u"a01x"});
}

TEST(NaturalOrderTest, LongDigitRunsCompareByValue) {
  // Past 32 and 64 bits alike.
  ExpectAscending({u"x2147483647", u"x2147483648", u"x4294967296", u"x9223372036854775807",
                   u"x18446744073709551616", u"x99999999999999999999", u"x100000000000000000000"});
  ExpectSame(u"x0000000000000000000000000042", u"x42");
  ExpectAscending({u"x0000000000000000000000000042", u"x43"});
  ExpectAscending({u"12345678901234567890123456789", u"12345678901234567890123456790"});
}

TEST(NaturalOrderTest, ANumberComesBeforeAnyOtherCharacter) {
  ExpectAscending({u"a1", u"a-", u"a a", u"a!", u"a_", u"aa"});
  ExpectAscending({u"9", u"\u0001", u"a"});
  // Only the digits 0-9 make numbers: full-width digits are characters,
  // ordered one by one.
  ExpectAscending({u"\uFF11\uFF10", u"\uFF19"});  // "１０" before "９"
  ExpectAscending({u"a999", u"a\uFF11"});
}

TEST(NaturalOrderTest, LettersCompareWithoutCase) {
  ExpectSame(u"Movie", u"movie");
  ExpectSame(u"MOVIE10", u"movie010");
  ExpectSame(u"É", u"é");
  ExpectAscending({u"a", u"B", u"c", u"D"});
  ExpectAscending({u"e", u"é", u"f"});
  // Full-width letters follow their ASCII letter.
  ExpectAscending({u"A", u"Ａ", u"b", u"Ｂ"});
}

TEST(NaturalOrderTest, ShorterPrefixComesFirst) {
  ExpectSame(u"", u"");
  ExpectAscending({u"", u"a", u"ab", u"ab1", u"ab1c"});
  ExpectAscending({u"file", u"file.txt"});
  ExpectAscending({u"file", u"file1"});
}

TEST(NaturalOrderTest, PunctuationHasItsOwnPlace) {
  // The apostrophe and the hyphen sort almost first, then blanks, other
  // punctuation, the underscore, and the letters.
  ExpectAscending(
      {u"a'b", u"a-b", u"a b", u"a\u3000b", u"a!b", u"a#b", u"a(b", u"a.b", u"a_b", u"ab"});
}

TEST(NaturalOrderTest, JapaneseFollowsTheJapaneseLocale) {
  // Kana by their sound, half-width katakana, katakana, hiragana for one
  // sound, and the voiced sound after the plain one.
  ExpectAscending({u"ｱ", u"ア", u"あ", u"イ", u"い", u"か", u"ガ", u"が"});
  // Kanji in the order of Japanese readings (JIS), not of their code points.
  ExpectAscending({u"一", u"三", u"山", u"川", u"二", u"日", u"本"});
  ExpectAscending({u"第2話", u"第10話", u"第10話 予告"});
  ExpectAscending({u"Ａ", u"ア", u"一"});
}

TEST(NaturalOrderTest, TextEndsAtItsFirstNul) {
  ExpectSame(std::u16string(u"ab\0z", 4), u"ab");
  ExpectAscending({std::u16string(u"ab\0z", 4), u"abc"});
  ExpectSame(std::u16string(u"\0a", 2), u"");
}

TEST(NaturalOrderTest, SurrogatesCompareUnitByUnit) {
  // Text past U+FFFF compares by its two units, whole or broken.
  const std::u16string smile = u"\U0001F600";
  ExpectSame(u"x" + smile, u"x" + smile);
  ExpectSame(u"x" + smile.substr(0, 1), u"x" + smile.substr(0, 1));
  EXPECT_NE(Order(u"x" + smile, u"xa"), 0);
  EXPECT_EQ(Order(u"x" + smile, u"xa"), -Order(u"xa", u"x" + smile));
}

}  // namespace
}  // namespace velmor::platform
