#include "library/tag_text.h"

#include <vector>

namespace velmor {
namespace {

// The index of the '>' that closes the '<' at `open`, or npos when the text
// ends first.
size_t MatchingBracket(std::string_view text, size_t open) {
  size_t depth = 0;
  for (size_t i = open; i < text.size(); ++i) {
    if (text[i] == '<') ++depth;
    if (text[i] == '>' && --depth == 0) return i;
  }
  return std::string_view::npos;
}

// Brackets that never close more than they opened and all close.
bool IsBalanced(std::string_view text) {
  size_t depth = 0;
  for (char c : text) {
    if (c == '<') ++depth;
    if (c == '>' && depth-- == 0) return false;
  }
  return depth == 0;
}

struct Element {
  std::string_view key;    // with its brackets
  std::string_view value;  // without the outer pair
  bool has_value = false;
  bool cut = false;  // the text ends inside the key or the value
};

// The top-level elements of the text, in order; a cut element is the last.
std::vector<Element> SplitElements(std::string_view text) {
  std::vector<Element> elements;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '<') {
      ++pos;  // outside any element: skipped
      continue;
    }
    Element element;
    const size_t key_end = MatchingBracket(text, pos);
    if (key_end == std::string_view::npos) return elements;  // cut key: no element
    element.key = text.substr(pos, key_end + 1 - pos);
    pos = key_end + 1;
    if (pos < text.size() && text[pos] == '<') {
      const size_t value_end = MatchingBracket(text, pos);
      element.has_value = true;
      element.cut = value_end == std::string_view::npos;
      if (!element.cut) element.value = text.substr(pos + 1, value_end - pos - 1);
      pos = element.cut ? text.size() : value_end + 1;
    }
    elements.push_back(element);
  }
  return elements;
}

void AppendElement(std::string_view key, std::string_view value, std::string* out) {
  *out += key;
  *out += '<';
  *out += value;
  *out += '>';
}

}  // namespace

int GetTagValue(std::string_view text, std::string_view key, std::string* value) {
  for (const Element& element : SplitElements(text)) {
    if (element.key != key || !element.has_value) continue;
    if (element.cut) return -1;
    if (value != nullptr) value->assign(element.value);
    return static_cast<int>(element.value.size());
  }
  return -1;
}

bool SetTagValue(std::string* text, std::string_view key, const std::string* value,
                 size_t max_size) {
  if (key.empty() || key.front() != '<' || MatchingBracket(key, 0) != key.size() - 1) return false;
  if (value != nullptr && !IsBalanced(*value)) return false;
  std::string result;
  bool matched = false;
  for (const Element& element : SplitElements(*text)) {
    if (element.key == key) {
      matched = true;
      if (value != nullptr) AppendElement(key, *value, &result);
      continue;
    }
    if (element.has_value && !element.cut) AppendElement(element.key, element.value, &result);
  }
  if (!matched && value != nullptr) AppendElement(key, *value, &result);
  if (result.size() > max_size) return false;
  *text = std::move(result);
  return true;
}

}  // namespace velmor
