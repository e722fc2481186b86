// The INI store through its interface, on real files. The expected bytes are
// what Windows' profile functions (as Wine 8 implements them) produce for the
// same calls; ini_store_win32_test.cpp checks that claim against Windows.
#include "platform/ini_store.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>

#include "base/utf.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor::platform {
namespace {

const char kAbsent[] = "\x01";  // the settings store's "key is missing" default

// A byte string from a literal that may hold NULs.
template <size_t N>
std::string Raw(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

class IniStoreTest : public ::testing::Test {
 protected:
  // Replaces the file with the UTF-16LE (with BOM) form of a UTF-8 text.
  void PutText(std::string_view utf8) { PutBytes(test::Utf16LeBytes(utf8, true)); }
  void PutBytes(std::string_view bytes) { test::WriteFileOrFail(path_, bytes); }
  std::string Bytes() const { return test::ReadFileOrEmpty(path_); }

  // The file as UTF-8, after checking that it is UTF-16LE with a BOM.
  std::string Text() const {
    const std::string bytes = Bytes();
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return Utf16ToUtf8(units);
  }

  std::string Read(std::string_view section, std::string_view key,
                   std::string_view default_value = kAbsent, size_t capacity = 32767) const {
    return ReadIniString(path_, section, key, default_value, capacity);
  }
  bool Write(std::string_view section, std::string_view key, std::string_view value) {
    return WriteIniString(path_, section, key, value);
  }

  test::TempFolder folder_;
  std::string path_ = folder_.Join("settings.ini");
};

TEST_F(IniStoreTest, CreateUtf16FileMakesABomOnlyFileAndKeepsAnExistingOne) {
  ASSERT_TRUE(CreateUtf16File(path_));
  EXPECT_EQ(Bytes(), "\xFF\xFE");

  PutText("[a]\r\nk=1\r\n");
  const std::string before = Bytes();
  EXPECT_TRUE(CreateUtf16File(path_));
  EXPECT_EQ(Bytes(), before);

  ASSERT_TRUE(CreateFolder(folder_.Join("dir")));
  EXPECT_FALSE(CreateUtf16File(folder_.Join("dir")));
}

TEST_F(IniStoreTest, WritesTheSameFileAsWindowsForTheSettingsPattern) {
  ASSERT_TRUE(CreateUtf16File(path_));
  ASSERT_TRUE(Write("ch.0", "iType", "1"));
  ASSERT_TRUE(Write("ch.0", "pcPath", ""));
  ASSERT_TRUE(Write("ch.1", "iType", "  0"));
  ASSERT_TRUE(Write("CH.0", "ITYPE", "\"5\""));
  ASSERT_TRUE(Write("ch.0", "new", "x=y"));

  // No blank line between sections, the first spelling of a name stays, a new
  // key goes to the end of its own section, not of the file.
  EXPECT_EQ(Text(), "[ch.0]\r\niType=\"5\"\r\npcPath=\r\nnew=x=y\r\n[ch.1]\r\niType=0\r\n");
  EXPECT_EQ(Read("ch.0", "itype"), "5");
  EXPECT_EQ(Read(" Ch.0 ", " PCPATH "), "");
  EXPECT_EQ(Read("ch.0", "new"), "x=y");
  EXPECT_EQ(Read("ch.1", "iType"), "0");
  EXPECT_EQ(Read("ch.0", "missing"), kAbsent);
  EXPECT_EQ(Read("ch.9", "iType"), kAbsent);
}

TEST_F(IniStoreTest, MissingFileReadsDefaultsAndIsCreatedAsUtf16OnWrite) {
  EXPECT_EQ(Read("a", "k", "fallback"), "fallback");
  EXPECT_EQ(GetPathType(path_), PathType::kNone);

  ASSERT_TRUE(Write("a", "k", "v"));
  EXPECT_EQ(Text(), "[a]\r\nk=v\r\n");
}

TEST_F(IniStoreTest, RewriteKeepsHandEditedLinesInOrderAndDropsOnlyBlankLines) {
  PutText(
      "; made by hand\r\n"
      "[File]\r\n"
      "  pcExt  =  mp4 mkv  \r\n"
      "\r\n"
      "\tpcAudioExt=wav\n"
      "flag\n"
      "[Config]\r"
      "iPortHttp = 11921\r\n");

  EXPECT_EQ(Read("file", "PCEXT"), "mp4 mkv");
  EXPECT_EQ(Read("File", "pcAudioExt"), "wav");
  EXPECT_EQ(Read("Config", "iPortHttp"), "11921");
  EXPECT_EQ(Read("File", "flag", "dflt"), "dflt");  // a line without '=' has no value
  EXPECT_EQ(Read("", "; made by hand", "dflt"), "dflt");

  ASSERT_TRUE(Write("File", "pcAudioExt", "wav mp3"));
  EXPECT_EQ(Text(),
            "; made by hand\r\n[File]\r\npcExt=mp4 mkv\r\npcAudioExt=wav mp3\r\nflag\r\n"
            "[Config]\r\niPortHttp=11921\r\n");

  ASSERT_TRUE(Write("file", "iUseFileGroup", "1"));
  ASSERT_TRUE(Write("Mouse", "rw.x", "2"));
  ASSERT_TRUE(Write("File", "flag", ""));
  EXPECT_EQ(Text(),
            "; made by hand\r\n[File]\r\npcExt=mp4 mkv\r\npcAudioExt=wav mp3\r\nflag=\r\n"
            "iUseFileGroup=1\r\n[Config]\r\niPortHttp=11921\r\n[Mouse]\r\nrw.x=2\r\n");
  EXPECT_EQ(Read("File", "flag"), "");
}

TEST_F(IniStoreTest, UnchangedWriteLeavesTheFileBytesUntouched) {
  PutText("[a]\r\n\r\n  k =  1 \r\n\r\n");
  const std::string before = Bytes();

  ASSERT_TRUE(Write("A", "K", "1"));
  ASSERT_TRUE(Write("a", "k", " \t 1"));  // leading blanks are dropped first
  EXPECT_EQ(Bytes(), before);

  // The comparison is exact: quotes or trailing blanks make a new value.
  PutText("[a]\r\nk=\"1\"\r\n");
  ASSERT_TRUE(Write("a", "k", "1"));
  EXPECT_EQ(Text(), "[a]\r\nk=1\r\n");
}

TEST_F(IniStoreTest, BlanksAroundNamesAndValues) {
  ASSERT_TRUE(CreateUtf16File(path_));
  // Like Windows, a new name keeps its trailing blanks in the file and a value
  // keeps its trailing ones; reading trims both, and so does the next rewrite.
  ASSERT_TRUE(Write("s", "  k1  ", "  v1  "));
  EXPECT_EQ(Text(), "[s]\r\nk1  =v1  \r\n");
  ASSERT_TRUE(Write("  n  ", "k2 ", "v2\t"));
  EXPECT_EQ(Text(), "[s]\r\nk1=v1\r\n[n  ]\r\nk2 =v2\t\r\n");
  EXPECT_EQ(Read("s", "k1"), "v1");
  EXPECT_EQ(Read("n", "k2"), "v2");

  // Tab, vertical tab, form feed and ^Z are blanks; U+3000 and U+00A0 are not.
  PutText("[s]\r\n\x1A\tk3\v=\f v3\x1A\r\n\u3000k4=\u00A0v4\u3000\r\n");
  EXPECT_EQ(Read("\tS\x1A", " k3 "), "v3");
  EXPECT_EQ(Read("s", "k4"), kAbsent);
  EXPECT_EQ(Read("s", "\u3000k4"), "\u00A0v4\u3000");
}

TEST_F(IniStoreTest, NamesCompareWithoutAsciiCaseOnly) {
  PutText("[Sect]\r\nKey=1\r\n\u00C9t\u00E9=2\r\n\u0416=3\r\n");
  EXPECT_EQ(Read("sECT", "kEY"), "1");
  EXPECT_EQ(Read("sect", "\u00C9t\u00E9"), "2");
  // Windows as Wine implements it folds ASCII letters only.
  EXPECT_EQ(Read("sect", "\u00C9T\u00C9"), kAbsent);
  EXPECT_EQ(Read("sect", "\u0436"), kAbsent);
}

TEST_F(IniStoreTest, DuplicateSectionsAndKeysUseTheFirst) {
  PutText("[a]\r\nk=1\r\nK=2\r\n[b]\r\nk=3\r\n[A]\r\nk=4\r\nj=5\r\n");
  EXPECT_EQ(Read("a", "k"), "1");
  EXPECT_EQ(Read("a", "j"), kAbsent);

  ASSERT_TRUE(Write("A", "K", "6"));
  ASSERT_TRUE(Write("a", "j", "7"));
  EXPECT_EQ(Text(), "[a]\r\nk=6\r\nK=2\r\nj=7\r\n[b]\r\nk=3\r\n[A]\r\nk=4\r\nj=5\r\n");
}

TEST_F(IniStoreTest, SectionHeadersAndTheNamelessSection) {
  PutText(
      "top=1\r\n[ b ]\r\nz=2\r\n[c] junk\r\nq=3\r\n[d]e]\r\nr=4\r\n[f\r\ns=5\r\n"
      "[]\r\ny=6\r\n");
  EXPECT_EQ(Read("", "top"), "1");
  EXPECT_EQ(Read("b", "z"), "2");
  EXPECT_EQ(Read("c", "q"), "3");
  EXPECT_EQ(Read("d]e", "r"), "4");
  EXPECT_EQ(Read("d]e", "s"), "5");   // "[f" has no ']': it is a key of [d]e]
  EXPECT_EQ(Read("", "y"), kAbsent);  // the first nameless section wins

  ASSERT_TRUE(Write("  ", "top2", "7"));
  // A "[]" header is not written back, so its keys join the section before.
  EXPECT_EQ(Text(),
            "top=1\r\ntop2=7\r\n[b]\r\nz=2\r\n[c]\r\nq=3\r\n[d]e]\r\nr=4\r\n[f\r\ns=5\r\n"
            "y=6\r\n");
}

TEST_F(IniStoreTest, NamelessKeysAndComments) {
  PutText("[a]\r\n=1\r\n=2\r\nk\r\n=3\r\n;c=4\r\n;d\r\n  =  \r\n[b]\r\n=5\r\n");
  EXPECT_EQ(Read("a", ""), "1");
  EXPECT_EQ(Read("a", ";c"), "4");  // a comment line is just a key
  EXPECT_EQ(Read("b", " "), "5");

  // A nameless key right after another nameless key is dropped.
  ASSERT_TRUE(Write("a", "k", "v"));
  EXPECT_EQ(Text(), "[a]\r\n=1\r\nk=v\r\n=3\r\n;c=4\r\n;d\r\n=\r\n[b]\r\n=5\r\n");
}

TEST_F(IniStoreTest, QuotesAroundValuesAreRemovedOnRead) {
  PutText("[q]\r\na=\"abc\"\r\nb='x'\r\nc=\"\r\nd=\"\"\r\ne='abc\"\r\nf=\" a \"\r\n");
  EXPECT_EQ(Read("q", "a"), "abc");
  EXPECT_EQ(Read("q", "b"), "x");
  EXPECT_EQ(Read("q", "c"), "\"");
  EXPECT_EQ(Read("q", "d"), "");
  EXPECT_EQ(Read("q", "e"), "'abc\"");
  EXPECT_EQ(Read("q", "f"), " a ");
  EXPECT_EQ(Read("q", "missing", "'dflt'"), "dflt");
  EXPECT_EQ(Read("q", "d", kAbsent, 1), "");
}

TEST_F(IniStoreTest, DefaultsLoseTrailingSpacesOnly) {
  PutText("[a]\r\nk=\r\n");
  EXPECT_EQ(Read("a", "missing"), kAbsent);
  EXPECT_EQ(Read("a", "k"), "");  // present but empty is not absent
  EXPECT_EQ(Read("a", "missing", "  d  "), "  d");
  EXPECT_EQ(Read("a", "missing", " \td\t "), " \td\t");
  EXPECT_EQ(Read("a", "missing", "   "), " ");  // Windows keeps one
  EXPECT_EQ(Read("a", "missing", ""), "");
}

TEST_F(IniStoreTest, CapacityCountsUtf16UnitsAndKeepsWholeCharacters) {
  PutText("[s]\r\na=x=y\r\nj=\u65E5\u672C\U0001F600z\r\nq=\"abc\"\r\n");
  EXPECT_EQ(Read("s", "a", "", 3), "x=");
  EXPECT_EQ(Read("s", "a", "", 1), "");
  EXPECT_EQ(Read("s", "a", "", 0), "");
  EXPECT_EQ(Read("s", "j", "", 3), "\u65E5\u672C");
  // Windows would return the first half of the pair; we end before it.
  EXPECT_EQ(Read("s", "j", "", 4), "\u65E5\u672C");
  EXPECT_EQ(Read("s", "j", "", 5), "\u65E5\u672C\U0001F600");
  EXPECT_EQ(Read("s", "j", "", 6), "\u65E5\u672C\U0001F600z");
  EXPECT_EQ(Read("s", "missing", "abcdef", 4), "abc");
  // Windows' quirk: a quoted value that exactly fills the buffer loses one
  // more character.
  EXPECT_EQ(Read("s", "q", "", 3), "ab");
  EXPECT_EQ(Read("s", "q", "", 4), "ab");
  EXPECT_EQ(Read("s", "q", "", 5), "abc");
}

TEST_F(IniStoreTest, LongAndJapaneseValuesRoundTrip) {
  ASSERT_TRUE(CreateUtf16File(path_));
  const std::string player_value(1559, 'v');
  const std::string japanese = "\u30D5\u30A9\u30EB\u30C0\\\u65E5\u672C\u8A9E \U0001F600";
  ASSERT_TRUE(Write("\u30C1\u30E3\u30F3\u30CD\u30EB", "rw.\u540D\u524D", japanese));
  ASSERT_TRUE(Write("Player", "rw.long", player_value));
  EXPECT_EQ(Read("\u30C1\u30E3\u30F3\u30CD\u30EB", "rw.\u540D\u524D"), japanese);
  EXPECT_EQ(Read("player", "rw.long", kAbsent, 1560), player_value);
  EXPECT_EQ(Read("player", "rw.long", kAbsent, 260), player_value.substr(0, 259));
}

TEST_F(IniStoreTest, RefusesTextThatWouldNotReadBackAsWritten) {
  PutText("[a]\r\nk=1\r\n");
  const std::string before = Bytes();
  // Windows would write these as they are and so let a value add keys or
  // sections of its own; the store refuses them and leaves the file alone.
  EXPECT_FALSE(Write("a", "k", "x\r\niPortHttp=1"));
  EXPECT_FALSE(Write("a", "k", "x\ny"));
  EXPECT_FALSE(Write("a", "k", Raw("x\0y")));
  EXPECT_FALSE(Write("a\r\n[b", "k", "1"));
  EXPECT_FALSE(Write("a", "k=z", "1"));
  EXPECT_FALSE(Write("a", " [q]", "1"));
  EXPECT_FALSE(Write("a", Raw("k\0"), "1"));
  EXPECT_EQ(Bytes(), before);

  // Brackets elsewhere read back fine.
  ASSERT_TRUE(Write("x]y", "k]", "[v]"));
  ASSERT_TRUE(Write("[z", "k", "1"));
  EXPECT_EQ(Read("x]y", "k]"), "[v]");
  EXPECT_EQ(Read("[z", "k"), "1");
}

TEST_F(IniStoreTest, FailsWhenThePathIsNotAFile) {
  const std::string dir = folder_.Join("dir");
  ASSERT_TRUE(CreateFolder(dir));
  EXPECT_FALSE(WriteIniString(dir, "a", "k", "1"));
  EXPECT_EQ(ReadIniString(dir, "a", "k", "d"), "d");
  EXPECT_FALSE(WriteIniString(folder_.Join("no/such/folder.ini"), "a", "k", "1"));
}

// ---- Encodings ----

TEST_F(IniStoreTest, Utf8WithBomStaysUtf8WithBom) {
  PutBytes("\xEF\xBB\xBF[a]\r\nk=\xE6\x97\xA5\r\n");
  EXPECT_EQ(Read("a", "k"), "\u65E5");
  ASSERT_TRUE(Write("a", "j", "\u672C"));
  EXPECT_EQ(Bytes(), "\xEF\xBB\xBF[a]\r\nk=\xE6\x97\xA5\r\nj=\xE6\x9C\xAC\r\n");
}

TEST_F(IniStoreTest, FileWithoutBomStaysWithoutBom) {
  PutBytes("[a]\nk=\xE6\x97\xA5\n");
  EXPECT_EQ(Read("a", "k"), "\u65E5");
  ASSERT_TRUE(Write("a", "j", "w"));
  EXPECT_EQ(Bytes(), "[a]\r\nk=\xE6\x97\xA5\r\nj=w\r\n");

  PutBytes("");  // an empty file has no BOM either
  ASSERT_TRUE(Write("a", "j", "w"));
  EXPECT_EQ(Bytes(), "[a]\r\nj=w\r\n");
}

TEST_F(IniStoreTest, LegacyCodePageBytesSurviveARewrite) {
  // Shift-JIS text, as an old editor saves it: not UTF-8.
  const std::string sjis = "[a]\r\npcPath=C:\\\x83\x72\x83\x66\x83\x49\r\n";
  PutBytes(sjis);
  ASSERT_TRUE(Write("a", "iType", "4"));
  EXPECT_EQ(Bytes(), sjis + "iType=4\r\n");
  // Such a file cannot hold other characters: refused rather than turned
  // into '?' as Windows would.
  EXPECT_FALSE(Write("a", "k", "\u65E5"));
  EXPECT_EQ(Bytes(), sjis + "iType=4\r\n");
}

TEST_F(IniStoreTest, FileWithoutBomNeverGetsOneByARewrite) {
  // The blank first line kept the Latin-1 "\xFF\xFE" key from looking like a
  // UTF-16 BOM; dropping it on a rewrite must not turn the file into UTF-16.
  for (const std::string first_line : {"\xFF\xFE=x", "\xFE\xFF", "\xEF\xBB\xBFk=1"}) {
    PutBytes("\r\n" + first_line + "\r\n");
    ASSERT_TRUE(Write("a", "b", "1"));
    EXPECT_EQ(Bytes(), "\r\n" + first_line + "\r\n[a]\r\nb=1\r\n");
    EXPECT_EQ(Read("a", "b"), "1");
  }
}

TEST_F(IniStoreTest, Utf16BigEndianIsReadAndKeptBigEndian) {
  PutBytes(Raw("\xFE\xFF\0[\0a\0]\0\r\0\n\0k\0=\x65\xE5"));
  EXPECT_EQ(Read("a", "k"), "\u65E5");
  ASSERT_TRUE(Write("a", "j", "x"));
  EXPECT_EQ(Bytes(), Raw("\xFE\xFF\0[\0a\0]\0\r\0\n\0k\0=\x65\xE5\0\r\0\n\0j\0=\0x\0\r\0\n"));
}

TEST_F(IniStoreTest, UnpairedSurrogatesInTheFileSurviveARewrite) {
  // [a] / k=<D83D DC00 DC00>: a pair followed by a lone second half.
  const std::string line = Raw("\xFF\xFE[\0a\0]\0\r\0\n\0k\0=\0\x3D\xD8\0\xDC\0\xDC\r\0\n\0");
  PutBytes(line);
  ASSERT_TRUE(Write("a", "j", "w"));
  EXPECT_EQ(Bytes(), line + Raw("j\0=\0w\0\r\0\n\0"));
  EXPECT_EQ(Read("a", "k"), "\U0001F400\uFFFD");
}

TEST_F(IniStoreTest, NulInsideALineEndsTheNameOrValue) {
  PutBytes(Raw("\xFF\xFE[\0a\0]\0\r\0\n\0m\0\0\0n\0=\0q\0\r\0\n\0k\0=\0v\0\0\0w\0"));
  EXPECT_EQ(Read("a", "m"), "q");
  EXPECT_EQ(Read("a", "k"), "v");
  ASSERT_TRUE(Write("a", "j", "w"));
  EXPECT_EQ(Text(), "[a]\r\nm=q\r\nk=v\r\nj=w\r\n");
}

TEST_F(IniStoreTest, OddAndTruncatedFilesAreReadWithoutTheLastHalfUnit) {
  PutBytes(Raw("\xFF\xFE[\0a\0]\0\r\0\n\0k\0=\0v\0w"));
  EXPECT_EQ(Read("a", "k"), "v");
  ASSERT_TRUE(Write("a", "j", "x"));
  EXPECT_EQ(Text(), "[a]\r\nk=v\r\nj=x\r\n");

  for (const std::string bytes : {"\xFF", "\xFF\xFE", "\xFF\xFE[", "\xEF\xBB", "\xEF\xBB\xBF["}) {
    PutBytes(bytes);
    EXPECT_EQ(Read("a", "k", "d"), "d") << testing::PrintToString(bytes);
    EXPECT_TRUE(Write("a", "k", "1")) << testing::PrintToString(bytes);
    EXPECT_EQ(Read("a", "k", "d"), "1") << testing::PrintToString(bytes);
  }
}

// The player's key writes and the settings' save come from two threads.
TEST_F(IniStoreTest, WritesFromTwoThreadsLoseNoKey) {
  constexpr int kKeys = 150;
  auto writer = [&](const char* section) {
    for (int i = 0; i < kKeys; ++i) EXPECT_TRUE(Write(section, "k" + std::to_string(i), "v"));
  };
  std::thread player(writer, "Player");
  writer("Config");
  player.join();
  for (int i = 0; i < kKeys; ++i) {
    ASSERT_EQ(Read("Player", "k" + std::to_string(i)), "v") << i;
    ASSERT_EQ(Read("Config", "k" + std::to_string(i)), "v") << i;
  }
}

TEST_F(IniStoreTest, RandomBytesNeverBreakReadsOrWrites) {
  std::mt19937 random(20240601);
  const std::string alphabet =
      Raw("[]=;\"' \t\r\n\x1A\0\xFF\xFE\xEF\xBB\xBF\xD8\xDC"
          "abcAB");
  for (int round = 0; round < 300; ++round) {
    std::string bytes(random() % 200, '\0');
    for (char& byte : bytes) {
      byte =
          (random() % 3 == 0) ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    if (round % 3 == 0) bytes.insert(0, "\xFF\xFE");
    PutBytes(bytes);
    Read("a", "b", "d", 1 + random() % 8);
    Read("", "", "d");
    ASSERT_TRUE(Write("a", "b", "value1")) << round;
    EXPECT_EQ(Read("a", "b"), "value1") << round;
    EXPECT_EQ(Read("A", " B "), "value1") << round;
  }
}

}  // namespace
}  // namespace velmor::platform
