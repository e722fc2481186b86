// Natural name order for the names the library holds in UTF-8: the
// platform's logical comparison of their UTF-16 forms. Subfolders, chapter
// trees, media trees and folder browser results are listed in this order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/utf.h"
#include "platform/natural_order.h"

namespace velmor {

// -1, 0 or 1 as the UTF-8 name a orders before, with or after b.
int CompareNatural(std::string_view a, std::string_view b);

// Sorts items by name in natural order, ascending; items of equal names keep
// their order. name_of(item) gives an item's UTF-8 name, converted once for
// all the comparisons of the sort.
template <class Item, class NameOf>
void SortByNaturalName(std::vector<Item>* items, NameOf name_of) {
  std::vector<std::pair<std::u16string, size_t>> keys;
  keys.reserve(items->size());
  for (size_t i = 0; i < items->size(); ++i) {
    keys.emplace_back(Utf8ToUtf16(name_of((*items)[i])), i);
  }
  std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
    return platform::CompareLogical(a.first, b.first) < 0;
  });
  std::vector<Item> sorted;
  sorted.reserve(items->size());
  for (const auto& key : keys) sorted.push_back(std::move((*items)[key.second]));
  *items = std::move(sorted);
}

}  // namespace velmor
