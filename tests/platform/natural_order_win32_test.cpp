// Our natural string order against Windows' own StrCmpLogicalW (Wine's, as
// the tests run), under the Japanese locale our weight table comes from:
// every single UTF-16 unit, and every pair of a few thousand generated file
// names. With VELMOR_WRITE_NATURAL_ORDER_WEIGHTS set to a file path (for
// example Z:/work/main/server/platform/natural_order_weights.inc) the run
// also writes the weight table anew from Windows' order.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/utf.h"
#include "platform/dynamic_library.h"
#include "platform/file_system.h"
#include "platform/natural_order.h"

namespace velmor::platform {
namespace {

using LogicalCompare = int(WINAPI*)(const wchar_t*, const wchar_t*);
using UnitCompare = BOOL(WINAPI*)(wchar_t, wchar_t);

int Sign(int value) { return (value > 0) - (value < 0); }

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// Windows' functions, and the Japanese locale for the thread that calls them.
class NaturalOrderWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(shlwapi_.Load("shlwapi.dll"));
    windows_compare_ = reinterpret_cast<LogicalCompare>(shlwapi_.Symbol("StrCmpLogicalW"));
    windows_unit_compare_ = reinterpret_cast<UnitCompare>(shlwapi_.Symbol("ChrCmpIW"));
    ASSERT_NE(windows_compare_, nullptr);
    ASSERT_NE(windows_unit_compare_, nullptr);
    saved_locale_ = GetThreadLocale();
    ASSERT_TRUE(
        SetThreadLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT)));
  }

  void TearDown() override {
    if (saved_locale_ != 0) SetThreadLocale(saved_locale_);
  }

  int Windows(std::u16string_view a, std::u16string_view b) const {
    return Sign(windows_compare_(Wide(a).c_str(), Wide(b).c_str()));
  }

  DynamicLibrary shlwapi_;
  LogicalCompare windows_compare_ = nullptr;
  UnitCompare windows_unit_compare_ = nullptr;
  LCID saved_locale_ = 0;
};

std::string Describe(std::u16string_view text) {
  std::string units;
  for (char16_t unit : text) {
    char hex[8];
    std::snprintf(hex, sizeof(hex), " %04X", static_cast<unsigned>(unit));
    units += hex;
  }
  return "\"" + Utf16ToUtf8(text) + "\" (" + units.substr(units.empty() ? 0 : 1) + ")";
}

// The disagreements of a comparison run: how many, and the first few.
class Disagreements {
 public:
  void Add(std::u16string_view a, std::u16string_view b, int ours, int windows) {
    if (++count_ > 10) return;
    report_ += "\n  " + Describe(a) + " vs " + Describe(b) + ": ours " + std::to_string(ours) +
               ", Windows " + std::to_string(windows);
  }
  int count() const { return count_; }
  std::string Report() const {
    return std::to_string(count_) + " pairs disagree; the first:" + report_;
  }

 private:
  int count_ = 0;
  std::string report_;
};

// ---- Every unit on its own ----

std::vector<char16_t> AllUnits() {
  std::vector<char16_t> units;
  for (unsigned unit = 1; unit <= 0xFFFF; ++unit) units.push_back(static_cast<char16_t>(unit));
  return units;
}

TEST_F(NaturalOrderWin32Test, EveryUnitOrdersAsWindows) {
  // Sorted by Windows' order, each neighbour must compare alike in ours;
  // both orders being total, all pairs then agree. Random pairs check that
  // Windows' order is a total one.
  std::vector<char16_t> units = AllUnits();
  const auto windows_unit = [&](char16_t a, char16_t b) {
    return Windows(std::u16string(1, a), std::u16string(1, b));
  };
  std::stable_sort(units.begin(), units.end(),
                   [&](char16_t a, char16_t b) { return windows_unit(a, b) < 0; });
  Disagreements disagreements;
  for (size_t i = 1; i < units.size(); ++i) {
    const std::u16string a(1, units[i - 1]);
    const std::u16string b(1, units[i]);
    const int ours = CompareLogical(a, b);
    const int windows = windows_unit(units[i - 1], units[i]);
    if (ours != windows) disagreements.Add(a, b, ours, windows);
  }
  std::mt19937 random(20221023);
  for (int i = 0; i < 200000; ++i) {
    const std::u16string a(1, static_cast<char16_t>(1 + random() % 0xFFFF));
    const std::u16string b(1, static_cast<char16_t>(1 + random() % 0xFFFF));
    const int ours = CompareLogical(a, b);
    const int windows = Windows(a, b);
    if (ours != windows) disagreements.Add(a, b, ours, windows);
  }
  EXPECT_EQ(disagreements.count(), 0) << disagreements.Report();
}

// ---- Generated file names ----

const char16_t* const kWords[] = {
    u"a",    u"A",    u"b",     u"B",     u"e",      u"é",     u"É",   u"f",  u"file",
    u"File", u"FILE", u"movie", u"Movie", u"Movies", u"MOVIE", u"ep",  u"EP", u"part",
    u"Part", u"vol",  u"x",     u"z",     u"Z",      u"mp4",   u"MP4", u"ß",  u"ss"};
const char16_t* const kPunctuation[] = {
    u" ",  u"-",  u"_",  u".",  u"(",  u")",  u"[",  u"]",  u"'",  u"!",      u"~",  u"#",
    u"&",  u"+",  u",",  u";",  u"=",  u"@",  u"^",  u"`",  u"{",  u"}",      u"$",  u"%",
    u"　", u"・", u"「", u"」", u"【", u"】", u"～", u"＿", u"－", u"\u00A0", u"\\", u"¥"};
const char16_t* const kJapanese[] = {u"あ", u"ア", u"ｱ",    u"い",   u"イ",   u"か", u"が", u"カ",
                                     u"ガ", u"ｶﾞ", u"ー",   u"っ",   u"ッ",   u"ゃ", u"ャ", u"ん",
                                     u"ン", u"第", u"話",   u"一",   u"二",   u"三", u"山", u"川",
                                     u"日", u"本", u"映画", u"動画", u"予告", u"Ａ", u"ａ", u"Ｂ",
                                     u"１", u"２", u"０",   u"９",   u"々",   u"ヴ", u"ゔ"};

// A number below 2^31 (Windows' reader wraps past it), sometimes behind a
// long run of zeros.
std::u16string Number(std::mt19937& random) {
  static const uint32_t kLimits[] = {10, 100, 100000, 2147483648u};
  uint32_t value = random() % kLimits[random() % 4];
  if (random() % 16 == 0) value = 2147483647;
  std::u16string text;
  const int zeros = random() % 4 == 0 ? random() % 24 : 0;
  text.append(zeros, u'0');
  for (char c : std::to_string(value)) text.push_back(static_cast<char16_t>(c));
  return text;
}

template <size_t N>
std::u16string Pick(const char16_t* const (&list)[N], std::mt19937& random) {
  return list[random() % N];
}

std::u16string Token(std::mt19937& random) {
  switch (random() % 8) {
    case 0:
    case 1:
      return Number(random);
    case 2:
    case 3:
      return Pick(kWords, random);
    case 4:
    case 5:
      return Pick(kJapanese, random);
    case 6:
      return Pick(kPunctuation, random);
    default:
      return std::u16string(1, static_cast<char16_t>(1 + random() % 0xFFFF));
  }
}

// Windows reads a digit run into 32 bits and wraps past 2147483647, where
// ours goes on by value: names with such runs (two numbers in a row make
// one) are left out of the comparison.
bool FitsWindowsNumbers(std::u16string_view name) {
  uint64_t value = 0;
  for (char16_t unit : name) {
    if (unit < u'0' || unit > u'9') {
      value = 0;
      continue;
    }
    value = value * 10 + (unit - u'0');
    if (value > 2147483647) return false;
  }
  return true;
}

// Names that often share a beginning with an earlier name, so that most
// pairs are decided late in the text.
std::vector<std::u16string> GeneratedNames(size_t count) {
  std::mt19937 random(4046);
  std::vector<std::u16string> names;
  while (names.size() < count) {
    std::u16string name;
    if (!names.empty() && random() % 4 != 0) {
      const std::u16string& earlier = names[random() % names.size()];
      name = earlier.substr(0, random() % (earlier.size() + 1));
    }
    const int tokens = 1 + random() % 4;
    for (int i = 0; i < tokens; ++i) name += Token(random);
    if (FitsWindowsNumbers(name)) names.push_back(name);
  }
  return names;
}

TEST_F(NaturalOrderWin32Test, GeneratedNamesOrderAsWindows) {
  const std::vector<std::u16string> names = GeneratedNames(3000);
  Disagreements disagreements;
  for (size_t i = 0; i < names.size(); ++i) {
    for (size_t j = i; j < names.size(); ++j) {
      const int ours = CompareLogical(names[i], names[j]);
      const int windows = Windows(names[i], names[j]);
      if (ours != windows) disagreements.Add(names[i], names[j], ours, windows);
    }
  }
  EXPECT_EQ(disagreements.count(), 0) << disagreements.Report();
}

// ---- The weight table ----

// The weight of every unit: its rank in Windows' order of single units
// (ChrCmpIW, the comparison StrCmpLogicalW makes of every unit that is not
// a digit); units Windows finds equal share a rank.
std::vector<int> WindowsWeights(UnitCompare compare) {
  std::vector<char16_t> units = AllUnits();
  std::stable_sort(units.begin(), units.end(),
                   [&](char16_t a, char16_t b) { return compare(a, b) < 0; });
  std::vector<int> weights(0x10000, 0);
  int rank = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    if (i > 0 && compare(units[i - 1], units[i]) != 0) ++rank;
    weights[units[i]] = rank;
  }
  return weights;
}

std::string WeightTable(const std::vector<int>& weights) {
  std::string table =
      "// Generated by tests/platform/natural_order_win32_test.cpp from Wine 8.0's\n"
      "// ChrCmpIW (StrCmpLogicalW's comparison of two units that are not digits)\n"
      "// under the ja-JP locale: the weight of each UTF-16 unit, 32 to a line.\n";
  for (size_t unit = 0; unit < weights.size(); ++unit) {
    if (unit % 256 == 0) {
      char block[16];
      std::snprintf(block, sizeof(block), "// U+%04X\n", static_cast<unsigned>(unit));
      table += block;
    }
    table += std::to_string(weights[unit]) + (unit % 32 == 31 ? ",\n" : ",");
  }
  return table;
}

TEST_F(NaturalOrderWin32Test, WritesTheWeightTableWhenAsked) {
  const char* path = std::getenv("VELMOR_WRITE_NATURAL_ORDER_WEIGHTS");
  if (path == nullptr || *path == '\0') GTEST_SKIP() << "VELMOR_WRITE_NATURAL_ORDER_WEIGHTS unset";
  ASSERT_TRUE(WriteFileAtomically(path, WeightTable(WindowsWeights(windows_unit_compare_))));
}

}  // namespace
}  // namespace velmor::platform
