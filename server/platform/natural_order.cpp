#include "platform/natural_order.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmor::platform {
namespace {

// The rule: walk both texts; where both stand on a digit, compare the two
// digit runs by value and go on after them; a digit orders before any other
// unit; two other units compare by their weight below; the text that ends
// first orders first. This is the comparison Windows makes unit by unit
// (ChrCmpIW: CompareString of the two units with NORM_IGNORECASE), so case
// and the ja-JP locale's order of kana, kanji and punctuation come from the
// weight table.
//
// The weight of every UTF-16 unit is its rank in Windows' order of single
// units under ja-JP; units of one rank compare equal. The table comes from
// Windows' own function: tests/platform/natural_order_win32_test.cpp checks
// every unit against it and writes the table anew when
// VELMOR_WRITE_NATURAL_ORDER_WEIGHTS names a file.
constexpr std::array<uint16_t, 0x10000> kUnitWeights = {
#include "platform/natural_order_weights.inc"
};

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

std::u16string_view UpToNul(std::u16string_view text) {
  const size_t nul = text.find(u'\0');
  return nul == std::u16string_view::npos ? text : text.substr(0, nul);
}

size_t DigitRunEnd(std::u16string_view text, size_t from) {
  while (from < text.size() && IsDigit(text[from])) ++from;
  return from;
}

size_t SkipZeros(std::u16string_view text, size_t from, size_t end) {
  while (from < end && text[from] == u'0') ++from;
  return from;
}

// Compares the digit runs that start at a[*i] and b[*j] by value and moves
// both positions past them: without leading zeros, the longer run is the
// larger number, and runs of one length compare digit by digit.
int CompareDigitRuns(std::u16string_view a, size_t* i, std::u16string_view b, size_t* j) {
  const size_t a_end = DigitRunEnd(a, *i);
  const size_t b_end = DigitRunEnd(b, *j);
  const size_t a_first = SkipZeros(a, *i, a_end);
  const size_t b_first = SkipZeros(b, *j, b_end);
  *i = a_end;
  *j = b_end;
  if (a_end - a_first != b_end - b_first) return a_end - a_first < b_end - b_first ? -1 : 1;
  const int order = a.substr(a_first, a_end - a_first).compare(b.substr(b_first, b_end - b_first));
  return (order > 0) - (order < 0);
}

int CompareUnits(char16_t a, char16_t b) {
  const uint16_t weight_a = kUnitWeights[a];
  const uint16_t weight_b = kUnitWeights[b];
  return (weight_a > weight_b) - (weight_a < weight_b);
}

}  // namespace

int CompareLogical(std::u16string_view a_text, std::u16string_view b_text) {
  const std::u16string_view a = UpToNul(a_text);
  const std::u16string_view b = UpToNul(b_text);
  size_t i = 0;
  size_t j = 0;
  while (i < a.size()) {
    if (j == b.size()) return 1;
    const bool a_digit = IsDigit(a[i]);
    const bool b_digit = IsDigit(b[j]);
    // A number orders before any other character.
    if (a_digit != b_digit) return a_digit ? -1 : 1;
    const int order = a_digit ? CompareDigitRuns(a, &i, b, &j) : CompareUnits(a[i++], b[j++]);
    if (order != 0) return order;
  }
  return j < b.size() ? -1 : 0;
}

}  // namespace velmor::platform
