// The INI store against Windows' own profile functions: files either side
// writes are read the same by the other, and the same writes applied by both
// to copies of one file give byte-identical files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/utf.h"
#include "platform/ini_store.h"
#include "test_support.h"

namespace velmor::platform {
namespace {

const char kAbsent[] = "\x01";

std::wstring Wide(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

std::wstring WidePath(const std::string& path) {
  std::wstring wide = Wide(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

// Windows keeps profile files cached; dropping the cache before every call
// makes it read the file afresh, as our store does.
void ForgetCachedFile(const std::string& path) {
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, WidePath(path).c_str());
}

bool WindowsWrite(const std::string& path, std::string_view section, std::string_view key,
                  std::string_view value) {
  ForgetCachedFile(path);
  const BOOL written = WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                                  Wide(value).c_str(), WidePath(path).c_str());
  ForgetCachedFile(path);
  return written != FALSE;
}

// Windows may end a cut value with half a surrogate pair, which our store
// leaves out; the comparison leaves it out too.
std::string WindowsRead(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view default_value, size_t capacity = 32767) {
  ForgetCachedFile(path);
  std::vector<wchar_t> buffer(capacity + 1, L'\0');
  const DWORD length = GetPrivateProfileStringW(
      Wide(section).c_str(), Wide(key).c_str(), Wide(default_value).c_str(), buffer.data(),
      static_cast<DWORD>(capacity), WidePath(path).c_str());
  std::wstring value(buffer.data(), length);
  if (!value.empty() && value.back() >= 0xD800 && value.back() <= 0xDBFF) value.pop_back();
  return Narrow(value);
}

// Empty when the files match, else where they first differ, with a few bytes
// of each around that place (whole files would drown the message).
std::string FirstDifference(const std::string& ours, const std::string& theirs) {
  if (ours == theirs) return "";
  size_t at = 0;
  while (at < ours.size() && at < theirs.size() && ours[at] == theirs[at]) ++at;
  const size_t from = at < 24 ? 0 : at - 24;
  return "differ at byte " + std::to_string(at) +
         "\n ours:    " + testing::PrintToString(ours.substr(from, 64)) +
         "\n windows: " + testing::PrintToString(theirs.substr(from, 64));
}

// ---- A pseudo-random mix of the writes the settings and the player make ----

struct IniWrite {
  std::string section, key, value;
};

class WriteMaker {
 public:
  WriteMaker(unsigned seed, bool ascii_only) : random_(seed), ascii_only_(ascii_only) {}

  IniWrite Next() {
    IniWrite write{Pick(kSections), Pick(kKeys), Pick(kValues)};
    if (Chance(5)) write.section = "s" + std::to_string(random_() % 40);
    if (Chance(4)) write.key = "rw.k" + std::to_string(random_() % 60);
    if (Chance(3)) write.value = RandomText();
    return write;
  }

 private:
  static constexpr const char* kSections[] = {"ch.0",
                                              "CH.0",
                                              " ch.1 ",
                                              "File",
                                              "file",
                                              "Config",
                                              "",
                                              "  ",
                                              "New\t",
                                              "[x",
                                              "a]b",
                                              "\u30C1\u30E3\u30F3\u30CD\u30EB",
                                              "\u00C9t\u00E9",
                                              "\u00E9t\u00E9",
                                              "cdlgMain"};
  static constexpr const char* kKeys[] = {"iType",
                                          "ITYPE",
                                          " pcPath",
                                          "pcPath  ",
                                          "rw.\u540D\u524D",
                                          "k",
                                          "K",
                                          ";comment",
                                          "",
                                          "\u00C9t\u00E9",
                                          "\u00E9t\u00E9",
                                          "key with space",
                                          "mrcWnd.rcLeft",
                                          "a]",
                                          "\x1Az"};
  static constexpr const char* kValues[] = {
      "",           "1",         "  0 ",       "\"5\"",
      "'q'",        "\"",        "x=y",        "\u65E5\u672C\u8A9E",
      "\U0001F600", "a\tb",      "  lead",     "trail  ",
      "[v]",        "\x1Az\x1A", "\u3000wide", "   ",
      "      12"};

  template <size_t N>
  std::string Pick(const char* const (&choices)[N]) {
    for (;;) {
      const std::string choice = choices[random_() % N];
      if (!ascii_only_ || IsAscii(choice)) return choice;
    }
  }

  bool Chance(unsigned one_in) { return random_() % one_in == 0; }

  std::string RandomText() {
    static const char* const kPieces[] = {"a", "B", " ", "\t", "\"",     "'",      "=",
                                          ";", "[", "]", "0",  "\u65E5", "\u00E9", "\U0001F600"};
    std::string text;
    const unsigned length = random_() % 12;
    while (text.size() < length) text += Pick(kPieces);
    return text;
  }

  static bool IsAscii(std::string_view text) {
    for (char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
  }

  std::mt19937 random_;
  bool ascii_only_;
};

class IniStoreWin32Test : public ::testing::Test {
 protected:
  // Applies the same writes with our store to one copy of a file and with
  // Windows to another, comparing the bytes after every step and a read of
  // the written key by both.
  void ExpectSameFiles(std::string_view start_bytes, unsigned seed, bool ascii_only) {
    const std::string ours = folder_.Join("ours.ini");
    const std::string theirs = folder_.Join("theirs.ini");
    test::WriteFileOrFail(ours, start_bytes);
    test::WriteFileOrFail(theirs, start_bytes);
    WriteMaker maker(seed, ascii_only);
    for (int step = 0; step < 300; ++step) {
      const IniWrite write = maker.Next();
      SCOPED_TRACE(testing::Message() << "step " << step << " [" << write.section << "] "
                                      << write.key << "=" << write.value);
      ASSERT_TRUE(WriteIniString(ours, write.section, write.key, write.value));
      ASSERT_TRUE(WindowsWrite(theirs, write.section, write.key, write.value));
      ASSERT_EQ(FirstDifference(test::ReadFileOrEmpty(ours), test::ReadFileOrEmpty(theirs)), "");

      const size_t capacity = 1 + step % 9;
      EXPECT_EQ(ReadIniString(ours, write.section, write.key, kAbsent, capacity),
                WindowsRead(theirs, write.section, write.key, kAbsent, capacity));
      EXPECT_EQ(ReadIniString(ours, write.key, write.section, write.value),
                WindowsRead(theirs, write.key, write.section, write.value));
    }
  }

  test::TempFolder folder_;
};

const char kMessyFile[] =
    "; settings edited by hand\r\n"
    "\r\n"
    "[File]\r\n"
    "  pcExt  =  mp4 mkv  \r\n"
    "\tpcAudioExt=\"wav mp3\"\n"
    "flag\n"
    "=nameless\r\n"
    "=dropped\r\n"
    "[ch.0]\r\n"
    "iType = 1\r\n"
    "\r\n"
    "[Config] trailing text\r"
    "iPortHttp=11921\r\n"
    "[]\r\n"
    "orphan=1\r\n"
    "[FILE]\r\n"
    "pcExt=second\r\n"
    "\x1A";

TEST_F(IniStoreWin32Test, SameWritesGiveByteIdenticalFiles) {
  ExpectSameFiles("\xFF\xFE", 1, false);
}

TEST_F(IniStoreWin32Test, SameWritesOnAHandEditedFileGiveByteIdenticalFiles) {
  ExpectSameFiles(test::Utf16LeBytes(kMessyFile, true), 2, false);
}

TEST_F(IniStoreWin32Test, SameWritesKeepOtherEncodingsAlike) {
  ExpectSameFiles("\xEF\xBB\xBF" + std::string(kMessyFile), 3, false);
  std::string big_endian = "\xFE\xFF";
  for (char16_t unit : Utf8ToUtf16(kMessyFile)) {
    big_endian.push_back(static_cast<char>(unit >> 8));
    big_endian.push_back(static_cast<char>(unit & 0xFF));
  }
  ExpectSameFiles(big_endian, 4, false);
  // Without a BOM Windows uses the ANSI code page and we UTF-8: alike for ASCII.
  ExpectSameFiles(kMessyFile, 5, true);
  ExpectSameFiles("", 6, true);
}

TEST_F(IniStoreWin32Test, OurFileReadsTheSameWithWindows) {
  const std::string path = folder_.Join("ours.ini");
  ASSERT_TRUE(CreateUtf16File(path));
  const IniWrite writes[] = {
      {"ch.0", "iType", "1"},
      {"ch.0", "pcPath", ""},
      {"ch.1", "iType", "  0 "},
      {"CH.0", "ITYPE", "\"5\""},
      {"ch.0", "new", "x=y"},
      {"File", "pcDataTablePath", "data\\VelmorVRServer.txt"},
      {"Config", "rw.\u540D\u524D", "\u30D5\u30A9\u30EB\u30C0 \U0001F600"},
      {"Config", "rw.long", std::string(1559, 'v')},
      {"cdlgMain", "mrcWnd.rcLeft", "     -12"},
  };
  for (const IniWrite& write : writes) {
    ASSERT_TRUE(WriteIniString(path, write.section, write.key, write.value));
  }
  for (const IniWrite& write : writes) {
    SCOPED_TRACE(write.section + "/" + write.key);
    EXPECT_EQ(WindowsRead(path, write.section, write.key, kAbsent),
              ReadIniString(path, write.section, write.key, kAbsent));
    EXPECT_EQ(WindowsRead(path, write.section, write.key, kAbsent, 260),
              ReadIniString(path, write.section, write.key, kAbsent, 260));
  }
  EXPECT_EQ(WindowsRead(path, "ch.0", "itype", kAbsent), "5");
  EXPECT_EQ(WindowsRead(path, "Config", "rw.long", kAbsent, 1560), std::string(1559, 'v'));
  EXPECT_EQ(WindowsRead(path, "ch.0", "missing", kAbsent), kAbsent);
  EXPECT_EQ(WindowsRead(path, "ch.0", "missing", "  d  "), "  d");
}

TEST_F(IniStoreWin32Test, WindowsFileReadsTheSameWithOurs) {
  const std::string path = folder_.Join("theirs.ini");
  test::WriteFileOrFail(path, "\xFF\xFE");
  WriteMaker maker(7, false);
  std::vector<IniWrite> writes;
  for (int i = 0; i < 80; ++i) {
    writes.push_back(maker.Next());
    ASSERT_TRUE(WindowsWrite(path, writes.back().section, writes.back().key, writes.back().value));
  }
  for (const IniWrite& write : writes) {
    SCOPED_TRACE(write.section + "/" + write.key);
    EXPECT_EQ(ReadIniString(path, write.section, write.key, kAbsent),
              WindowsRead(path, write.section, write.key, kAbsent));
    EXPECT_EQ(ReadIniString(path, write.section, write.key, "'dflt'  ", 4),
              WindowsRead(path, write.section, write.key, "'dflt'  ", 4));
  }
}

TEST_F(IniStoreWin32Test, UnchangedWritesLeaveBothFilesAlone) {
  const std::string ours = folder_.Join("ours.ini");
  const std::string theirs = folder_.Join("theirs.ini");
  const std::string bytes = test::Utf16LeBytes("[a]\r\n\r\n  k =  1 \r\n\r\n", true);
  test::WriteFileOrFail(ours, bytes);
  test::WriteFileOrFail(theirs, bytes);
  ASSERT_TRUE(WriteIniString(ours, "A", "K", " 1"));
  ASSERT_TRUE(WindowsWrite(theirs, "A", "K", " 1"));
  EXPECT_EQ(test::ReadFileOrEmpty(ours), bytes);
  EXPECT_EQ(test::ReadFileOrEmpty(theirs), bytes);
}

TEST_F(IniStoreWin32Test, CreateUtf16FileMatchesTheCRuntimesUtf16Mode) {
  const std::string path = folder_.Join("crt.ini");
  FILE* file = _wfopen(WidePath(path).c_str(), L"wt+, ccs=UTF-16LE");
  ASSERT_NE(file, nullptr);
  fclose(file);
  const std::string ours = folder_.Join("ours.ini");
  ASSERT_TRUE(CreateUtf16File(ours));
  EXPECT_EQ(test::ReadFileOrEmpty(ours), test::ReadFileOrEmpty(path));
}

}  // namespace
}  // namespace velmor::platform
