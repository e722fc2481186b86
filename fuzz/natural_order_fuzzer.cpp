// Arbitrary UTF-16 texts in the natural order: every comparison must stay
// inside the texts and answer -1, 0 or 1, and the answers must make an
// order a sort can rely on: a text equals itself, swapping the texts swaps
// the answer, any three texts are transitive, and a NUL ends a text. The
// listing sort of items named by the texts must keep every item.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf.h"
#include "library/sort_items.h"
#include "platform/natural_order.h"

namespace {

using velmor::platform::CompareLogical;

int Checked(std::u16string_view a, std::u16string_view b) {
  const int order = CompareLogical(a, b);
  if (order < -1 || order > 1) abort();
  if (CompareLogical(b, a) != -order) abort();
  return order;
}

void CheckTransitive(std::u16string_view x, std::u16string_view y, std::u16string_view z) {
  const int xy = Checked(x, y);
  const int yz = Checked(y, z);
  const int xz = Checked(x, z);
  if (xy <= 0 && yz <= 0 && xz > 0) abort();
  if (xy == 0 && yz == 0 && xz != 0) abort();
  if ((xy < 0 && yz <= 0) || (xy <= 0 && yz < 0)) {
    if (xz >= 0) abort();
  }
}

// The texts: the input's units cut into three at the places its first two
// units name.
std::vector<std::u16string> Texts(const uint8_t* data, size_t size) {
  std::u16string units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  if (units.size() < 2) return {units, u"", u""};
  const std::u16string body = units.substr(2);
  const size_t first = units[0] % (body.size() + 1);
  const size_t second = first + units[1] % (body.size() - first + 1);
  return {body.substr(0, first), body.substr(first, second - first), body.substr(second)};
}

void CheckListingSort(const std::vector<std::u16string>& texts) {
  std::vector<velmor::S_SORTW> items;
  for (size_t i = 0; i < texts.size(); ++i) {
    velmor::S_SORTW item;
    item.name = velmor::Utf16ToUtf8(texts[i]);
    item.date_time = static_cast<int64_t>(i % 2);
    item.file_size = static_cast<int64_t>(i);
    items.push_back(item);
  }
  velmor::SortItems(&items, velmor::kSortByName, 0, 1);
  velmor::GroupItems(&items, texts[0].empty() ? "#" : velmor::Utf16ToUtf8(texts[0].substr(0, 3)),
                     true);
  std::vector<int64_t> kept;
  for (const velmor::S_SORTW& item : items) kept.push_back(item.file_size);
  std::sort(kept.begin(), kept.end());
  for (size_t i = 0; i < kept.size(); ++i) {
    if (kept[i] != static_cast<int64_t>(i)) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::u16string> texts = Texts(data, size);
  for (const std::u16string& text : texts) {
    if (Checked(text, text) != 0) abort();
    // What follows a NUL is not part of the text.
    if (Checked(text + u'\0' + texts[0], text) != 0) abort();
  }
  const std::u16string_view a = texts[0], b = texts[1], c = texts[2];
  CheckTransitive(a, b, c);
  CheckTransitive(a, c, b);
  CheckTransitive(b, a, c);
  CheckTransitive(b, c, a);
  CheckTransitive(c, a, b);
  CheckTransitive(c, b, a);
  // Prefixes of one text (some 64 of them, to keep long inputs quick): a
  // text never orders before its own prefix.
  for (size_t cut = 0; cut <= a.size(); cut += 1 + a.size() / 64) {
    if (a.substr(0, cut).find(u'\0') != std::u16string_view::npos) break;
    if (Checked(a.substr(0, cut), a) > 0) abort();
  }
  CheckListingSort(texts);
  return 0;
}
