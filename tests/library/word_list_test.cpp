#include "library/word_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/paths.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

class WordListTest : public ::testing::Test {
 protected:
  void SetUp() override { words_.SetFile(file_); }

  // Another writer changes the file: a write time of its own, so the
  // change shows even where the clock is coarse.
  void WriteLater(const std::string& text) {
    const platform::FileTime before = GetFileWriteTime(file_);
    test::WriteFileOrFail(file_, text);
    ASSERT_TRUE(platform::SetFileTimes(file_, 0, before + 10'000'000 * ++later_writes_));
  }
  std::string FileText() const { return test::ReadFileOrEmpty(file_); }
  static std::vector<S_WORD> Pairs(std::initializer_list<S_WORD> pairs) { return pairs; }

  test::TempFolder home_;
  const std::string file_ = home_.Join("WordList.txt");
  WordList words_;
  int later_writes_ = 0;
};

TEST_F(WordListTest, ReadsTheEntriesBetweenStartAndEnd) {
  test::WriteFileOrFail(file_, std::string(kBom) +
                                   "#dat\t\"early\" \"ignored\"\r\n"
                                   "#start\r\n"
                                   "comment line\r\n"
                                   "#dat\t\"artist\" \"two words\" plain \"\"\r\n"
                                   "#dat\tartist plain\r\n"
                                   "#dat\t\"only id\"\r\n"
                                   "#data \"x\" \"y\"\r\n"
                                   "#dat \"tag\" \"日本語\"\r\n"
                                   "#end\r\n"
                                   "#dat\t\"late\" \"ignored\"\r\n");
  ASSERT_EQ(words_.Load(), 1);
  EXPECT_EQ(
      words_.words(),
      Pairs({{"artist", "two words"}, {"artist", "plain"}, {"artist", ""}, {"tag", "日本語"}}))
      << "duplicates are skipped, an empty quoted word is a word";
  EXPECT_FALSE(words_.dirty());
  EXPECT_FALSE(words_.IsUpdated());
}

TEST_F(WordListTest, AddRefusesDuplicatesAndWhatTheFileCannotHold) {
  EXPECT_EQ(words_.Add("id", "word"), 1);
  EXPECT_TRUE(words_.dirty());
  EXPECT_EQ(words_.Add("id", "word"), 0) << "exactly that pair exists";
  EXPECT_EQ(words_.Add("id", "other"), 1);
  EXPECT_EQ(words_.Add("other", "word"), 1);

  const std::string longest(31, 'w');
  EXPECT_EQ(words_.Add("id", longest), 1);
  EXPECT_EQ(words_.Add("id", longest + "w"), 0) << "32 characters";
  EXPECT_EQ(words_.Add(longest + "i", "w"), 0);
  // A character outside the BMP takes two of the 31 UTF-16 units.
  EXPECT_EQ(words_.Add("id", std::string(29, 'a') + "\xF0\x9F\x8E\xAC"), 1);
  EXPECT_EQ(words_.Add("id", std::string(30, 'a') + "\xF0\x9F\x8E\xAC"), 0);
  EXPECT_EQ(words_.Add("id", "say \"hi\""), 0) << "a quote would end the word";
  EXPECT_EQ(words_.Add("id", "two\nlines"), 0);
  EXPECT_EQ(words_.Add("id\r", "w"), 0);
  EXPECT_EQ(words_.words().size(), 5u);
}

TEST_F(WordListTest, RemoveTakesEveryEqualPairAndAllowsAddingAgain) {
  words_.Add("a", "1");
  words_.Add("b", "1");
  words_.Add("a", "2");
  words_.Remove("a", "1");
  EXPECT_EQ(words_.words(), Pairs({{"b", "1"}, {"a", "2"}}));
  EXPECT_EQ(words_.Add("a", "1"), 1);
  words_.Remove("none", "x");
  EXPECT_EQ(words_.words().size(), 3u);
}

TEST_F(WordListTest, SaveSortsByIdKeepsWordOrderAndPutsTenWordsOnALine) {
  words_.Add("b", "second");
  for (int i = 0; i < 11; ++i) words_.Add("a", "w" + std::to_string(i));
  words_.Add("b", "first?");
  words_.Add("\xEF\xBD\x81", "fullwidth a");  // U+FF41 sorts after U+1F3AC in UTF-16
  words_.Add("\xF0\x9F\x8E\xAC", "clapper");
  ASSERT_EQ(words_.Save(), 1);
  EXPECT_FALSE(words_.dirty());
  EXPECT_EQ(FileText(), std::string(kBom) +
                            "#start\r\n"
                            "#dat\t\"a\" \"w0\" \"w1\" \"w2\" \"w3\" \"w4\" \"w5\" \"w6\" \"w7\" "
                            "\"w8\" \"w9\"\r\n"
                            "#dat\t\"a\" \"w10\"\r\n"
                            "#dat\t\"b\" \"second\" \"first?\"\r\n"
                            "#dat\t\"\xF0\x9F\x8E\xAC\" \"clapper\"\r\n"
                            "#dat\t\"\xEF\xBD\x81\" \"fullwidth a\"\r\n"
                            "#end\r\n");
  WordList again;
  again.SetFile(file_);
  ASSERT_EQ(again.Load(), 1);
  EXPECT_EQ(again.words(), words_.words());
}

// Ten words of 31 characters would make a line longer than a reader
// takes; the line is ended early instead, so nothing comes back cut.
TEST_F(WordListTest, LongWordsStartANewLineBeforeTheReadLimit) {
  std::vector<S_WORD> expected;
  for (int i = 0; i < 10; ++i) {
    const std::string word = std::string(29, static_cast<char>('a' + i)) + std::to_string(i) + "x";
    ASSERT_EQ(words_.Add(std::string(31, 'i'), word), 1);
    expected.push_back({std::string(31, 'i'), word});
  }
  ASSERT_EQ(words_.Save(), 1);
  std::vector<std::string> lines;
  const std::string text = FileText().substr(3);  // without the byte-order mark
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_GE(lines.size(), 4u) << "the ten words need more than one line";
  for (const std::string& line : lines) EXPECT_LE(line.size(), WordList::kLineMaxUnits);
  WordList again;
  again.SetFile(file_);
  ASSERT_EQ(again.Load(), 1);
  EXPECT_EQ(again.words(), expected);
}

TEST_F(WordListTest, LoadLeavesAnUnchangedFileAndItsUnsavedWordsAlone) {
  test::WriteFileOrFail(file_, std::string(kBom) + "#start\r\n#dat\t\"a\" \"1\"\r\n#end\r\n");
  ASSERT_EQ(words_.Load(), 1);
  words_.Add("b", "2");
  EXPECT_EQ(words_.Load(), 1);
  EXPECT_EQ(words_.words().size(), 2u) << "the file did not change: nothing is read";
  EXPECT_TRUE(words_.dirty());

  WriteLater(std::string(kBom) + "#start\r\n#dat\t\"c\" \"3\"\r\n#end\r\n");
  EXPECT_TRUE(words_.IsUpdated());
  ASSERT_EQ(words_.Load(), 1) << "the player asked for the file's list";
  EXPECT_EQ(words_.words(), Pairs({{"c", "3"}}));
  EXPECT_FALSE(words_.dirty());
}

TEST_F(WordListTest, SaveMergesWhatAnotherWriterChanged) {
  test::WriteFileOrFail(file_, std::string(kBom) + "#start\r\n#dat\t\"a\" \"1\"\r\n#end\r\n");
  ASSERT_EQ(words_.Load(), 1);
  words_.Add("b", "mine");
  WriteLater(std::string(kBom) + "#start\r\n#dat\t\"a\" \"1\" \"theirs\"\r\n#end\r\n");
  ASSERT_EQ(words_.Save(), 1);
  EXPECT_EQ(words_.words(), Pairs({{"a", "1"}, {"a", "theirs"}, {"b", "mine"}}));
  EXPECT_EQ(FileText(), std::string(kBom) +
                            "#start\r\n#dat\t\"a\" \"1\" \"theirs\"\r\n#dat\t\"b\" \"mine\"\r\n"
                            "#end\r\n");
  EXPECT_FALSE(words_.IsUpdated());
}

TEST_F(WordListTest, SaveOfAnUnchangedListWritesNothing) {
  EXPECT_EQ(words_.Save(), 1);
  EXPECT_EQ(platform::GetPathType(file_), platform::PathType::kNone);
}

TEST_F(WordListTest, AFailedSaveKeepsTheListDirtyAndTheFileAsItWas) {
  words_.Add("a", "1");
  ASSERT_EQ(words_.Save(), 1);
  const std::string saved = FileText();
  WordList blocked;
  blocked.SetFile(home_.Join("missing-folder/WordList.txt"));
  blocked.Add("x", "y");
  EXPECT_EQ(blocked.Save(), 0);
  EXPECT_TRUE(blocked.dirty());
  EXPECT_EQ(blocked.words().size(), 1u);
  EXPECT_EQ(FileText(), saved);
}

TEST_F(WordListTest, ANewFileTakesTheUnsavedWordsToTheOldOneFirst) {
  words_.Add("a", "1");
  const std::string other = home_.Join("Other.txt");
  test::WriteFileOrFail(other, std::string(kBom) + "#start\r\n#dat\t\"o\" \"x\"\r\n#end\r\n");
  words_.SetFile(other);
  EXPECT_NE(FileText().find("#dat\t\"a\" \"1\""), std::string::npos);
  ASSERT_EQ(words_.Load(), 1);
  EXPECT_EQ(words_.words(), Pairs({{"o", "x"}}));
}

TEST_F(WordListTest, AMissingOrVanishedFile) {
  EXPECT_EQ(words_.Load(), 1) << "no file yet: nothing to read";
  EXPECT_FALSE(words_.IsUpdated());
  test::WriteFileOrFail(file_, std::string(kBom) + "#start\r\n#dat\t\"a\" \"1\"\r\n#end\r\n");
  EXPECT_TRUE(words_.IsUpdated());
  ASSERT_EQ(words_.Load(), 1);
  ASSERT_TRUE(platform::DeleteFile(file_));
  EXPECT_EQ(words_.Load(), 0);
  EXPECT_EQ(words_.words().size(), 1u) << "the list stays as it was";
}

TEST_F(WordListTest, BytesThatAreNotUtf8ComeBackAsReplacementCharacters) {
  test::WriteFileOrFail(file_,
                        std::string(kBom) + "#start\r\n#dat\t\"a\xFF\" \"b\xC3\"\r\n#end\r\n");
  ASSERT_EQ(words_.Load(), 1);
  EXPECT_EQ(words_.words(), Pairs({{"a\xEF\xBF\xBD", "b\xEF\xBF\xBD"}}));
}

}  // namespace
}  // namespace velmor
