#include "library/data_table_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/utf.h"
#include "library/data_table_store.h"

namespace velmor {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(CompareNames, OrdersLikeUtf16CodeUnits) {
  const std::vector<std::string> names = {
      "",
      "A",
      "a",
      "a.mp4",
      "a.mp4x",
      "B",
      "\xC3\xA9",                  // é
      "\xE6\x97\xA5\xE6\x9C\xAC",  // 日本
      "\xED\x9F\xBF",              // U+D7FF, the last character before the surrogates
      "\xEE\x80\x80",              // U+E000, private use
      "\xEF\xBD\xB1",              // U+FF71, halfwidth katakana
      "\xEF\xBF\xBD",              // U+FFFD
      "\xF0\x9F\x98\x80",          // U+1F600, a surrogate pair in UTF-16
      "\xF0\xA0\x80\x8B",          // U+2000B, a rare kanji
      "x\xF0\x9F\x98\x80y",
      "x\xEF\xBD\xB1y",
  };
  for (const std::string& a : names) {
    for (const std::string& b : names) {
      const std::u16string wide_a = Utf8ToUtf16(a);
      const std::u16string wide_b = Utf8ToUtf16(b);
      EXPECT_EQ(Sign(CompareNames(a, b)), Sign(wide_a.compare(wide_b))) << a << " vs " << b;
    }
  }
}

TEST(CompareNames, IsCaseSensitiveAndATotalOrderOnAnyBytes) {
  EXPECT_LT(CompareNames("Movie.mp4", "movie.mp4"), 0);
  EXPECT_NE(CompareNames("a.MP4", "a.mp4"), 0);
  // Bytes that are not UTF-8 still have one place each.
  const std::vector<std::string> junk = {"\xFF", "\xEE", "\xF0", "\x80", "\xFE\x01", "\xEF"};
  for (const std::string& a : junk) {
    EXPECT_EQ(CompareNames(a, a), 0);
    for (const std::string& b : junk) {
      if (a == b) continue;
      EXPECT_EQ(Sign(CompareNames(a, b)), -Sign(CompareNames(b, a)));
    }
  }
}

TEST(RecordIds, TextAndNumberAgree) {
  EXPECT_EQ(FormatIdText(20240315, 10, 42), "20240315_10_000042");
  EXPECT_EQ(MakeRecordId(20240315, 10, 42), 2024031510'00000042);
  EXPECT_EQ(RecordIdFromText("20240315_10_000042"), 2024031510'00000042);
  EXPECT_EQ(FormatIdText(20240315, 3, 12345678), "20240315_03_12345678");
  EXPECT_EQ(RecordIdFromText("20240315_03_12345678"), 2024031503'12345678);
  EXPECT_EQ(IdTextPrefix(20240315, 3), "20240315_03");
  EXPECT_TRUE(IsRecordId(MakeRecordId(20240315, 0, 0)));
  EXPECT_FALSE(IsRecordId(kMaxTemporaryId));
}

TEST(RecordIds, DamagedTextsGiveWhatTheyHold) {
  EXPECT_EQ(RecordIdFromText(""), 0);
  EXPECT_EQ(RecordIdFromText("20240315"), 2024031500'00000000);
  EXPECT_EQ(RecordIdFromText("20240315_10"), 2024031510'00000000);
  EXPECT_EQ(RecordIdFromText("20240315_10_7"), 2024031510'00000007) << "unpadded sequence";
  EXPECT_EQ(RecordIdFromText("abc"), 0);
  // Huge numbers wrap instead of overflowing (the sanitizer would object).
  RecordIdFromText("99999999_99999999999999999999_99999999999999999999");
}

TEST(LenientDecimal, SkipsBlanksAndStopsAtOtherCharacters) {
  EXPECT_EQ(ParseLenientDecimal("          1234"), 1234);
  EXPECT_EQ(ParseLenientDecimal("         -2"), -2);
  EXPECT_EQ(ParseLenientDecimal("1 2 3"), 123);
  EXPECT_EQ(ParseLenientDecimal("12x3"), 12);
  EXPECT_EQ(ParseLenientDecimal("1-2"), 1) << "a minus after a digit ends the number";
  EXPECT_EQ(ParseLenientDecimal("--5"), 0);
  EXPECT_EQ(ParseLenientDecimal("\t- 3 4"), -34);
  EXPECT_EQ(ParseLenientDecimal("7-"), 7);
  EXPECT_EQ(ParseLenientDecimal(""), 0);
  EXPECT_EQ(ParseLenientDecimal("-9223372036854775808"), INT64_MIN);
  ParseLenientDecimal("999999999999999999999999999");  // wraps, no overflow
}

TEST(RecordNames, AreTheLastComponentAfterEitherSeparator) {
  S_DATATABLE record;
  record.SetPath("C:\\Videos/Series\\ep 1.mp4");
  EXPECT_EQ(record.name(), "ep 1.mp4");
  record.SetPath("/media/");
  EXPECT_EQ(record.name(), "");
  record.SetPath("plain.mp4");
  EXPECT_EQ(record.name(), "plain.mp4");
}

TEST(RecordNames, StorablePathsCannotCutALine) {
  EXPECT_TRUE(IsStorablePath("/v/\xE6\x97\xA5\xE6\x9C\xAC a\tb.mp4"));
  EXPECT_FALSE(IsStorablePath(""));
  EXPECT_FALSE(IsStorablePath("/v/say \"hi\".mp4"));
  EXPECT_FALSE(IsStorablePath("/v/two\nlines.mp4"));
  EXPECT_FALSE(IsStorablePath("/v/cr\r.mp4"));
  EXPECT_FALSE(IsStorablePath(std::string("/v/zero\0.mp4", 12)));
}

// The store's indexes order names as CompareNames does and keep records with
// equal keys in the order they were added, whatever the names share: long
// common beginnings, one name the start of another, zero bytes, the bytes
// whose place UTF-16 order moves. A large store sorts its halves side by
// side and merges them; ids may be negative.
void CheckStoreOrder(int copies) {
  SCOPED_TRACE(copies);
  using namespace std::string_literals;
  const std::vector<std::string> names = {
      "",
      "a",
      "a\0"s,
      "a\0\0"s,
      "a\x01",
      "clip 000123 x.mp4",
      "clip 000123 x.mp4 ",
      "clip 000123 x.mp",
      "clip 000124 x.mp4",
      std::string(15, 'q'),
      std::string(16, 'q'),
      std::string(17, 'q'),
      std::string(16, 'q') + "\0"s,
      std::string(32, 'q'),
      std::string(33, 'q'),
      std::string(40, 'z') + "a",
      std::string(40, 'z') + "\xEE\x80\x80",
      std::string(40, 'z') + "\xF0\x9F\x98\x80",
      std::string(40, 'z'),
      "\xEF\xBD\xB1",
      "\xF0\x9F\x98\x80",
      "\xFF",
      "\xED\x9F\xBF",
      "ab\xED\x9F\xBF\xEE\x80\x80",
      "ab\xED\x9F\xBF\xF0\x9F\x98\x80",
  };
  DataTableStore store;
  std::vector<S_DATATABLE*> added;
  for (int copy = 0; copy < copies; ++copy) {
    for (size_t i = 0; i < names.size(); ++i) {
      S_DATATABLE record;
      record.SetPath("/media/" + names[names.size() - 1 - i]);
      record.file_size = static_cast<int64_t>((i + copy) % 3) - 2;
      const int64_t step = static_cast<int64_t>(added.size() % 7) - 3;
      record.id_int = step * (int64_t{1} << 40) + static_cast<int64_t>(added.size() % 5);
      added.push_back(store.AddToPool(record));
      store.AppendToIndexes(added.back());
    }
  }
  store.SortPrimary();
  store.SortIdAndName();

  std::vector<S_DATATABLE*> primary = added;
  std::stable_sort(primary.begin(), primary.end(), [](const S_DATATABLE* a, const S_DATATABLE* b) {
    if (a->file_size != b->file_size) return a->file_size < b->file_size;
    return CompareNames(a->name(), b->name()) < 0;
  });
  EXPECT_TRUE(store.by_primary() == primary);
  EXPECT_TRUE(store.PrimaryInOrder());
  for (const std::string& name : names) {
    std::vector<S_DATATABLE*> named;
    for (S_DATATABLE* record : added) {
      if (record->name() == name) named.push_back(record);
    }
    const DataTableStore::Range found = store.WithName(name);
    EXPECT_TRUE(std::vector<S_DATATABLE*>(found.begin(), found.end()) == named) << name;
    for (S_DATATABLE* record : named) {
      EXPECT_NE(store.FindBySizeAndName(record->file_size, name), nullptr) << name;
    }
  }
  std::vector<S_DATATABLE*> by_id = added;
  std::stable_sort(by_id.begin(), by_id.end(), [](const S_DATATABLE* a, const S_DATATABLE* b) {
    return a->id_int < b->id_int;
  });
  const DataTableStore::Range ids = store.IdsFrom(INT64_MIN);
  EXPECT_TRUE(std::vector<S_DATATABLE*>(ids.begin(), ids.end()) == by_id);
}

TEST(DataTableStore, SortsByNameAndSizeLikeCompareNamesKeepingEqualKeysInOrder) {
  CheckStoreOrder(3);
  CheckStoreOrder(2400);
}

}  // namespace
}  // namespace velmor
