#include "base/tagged_fields.h"

#include "base/decimal_text.h"
#include "base/utf.h"

namespace velmor {
namespace {

// The text right after the first occurrence of the key; false when absent.
bool TextAfterKey(std::string_view text, std::string_view key, std::string_view* rest) {
  if (key.empty()) return false;
  const size_t found = text.find(key);
  if (found == std::string_view::npos) return false;
  *rest = text.substr(found + key.size());
  return true;
}

}  // namespace

bool FindNumber(std::string_view text, std::string_view key, int64_t* value) {
  std::string_view rest;
  if (!TextAfterKey(text, key, &rest)) return false;
  long long number = 0;
  if (!ParseDecimalInt64(rest, &number)) number = 0;
  *value = number;
  return true;
}

bool FindNumber(std::string_view text, std::string_view key, int* value) {
  std::string_view rest;
  if (!TextAfterKey(text, key, &rest)) return false;
  int number = 0;
  if (!ParseDecimalInt(rest, &number)) number = 0;
  *value = number;
  return true;
}

bool FindString(std::string_view text, std::string_view key, std::string* value) {
  std::string_view rest;
  if (!TextAfterKey(text, key, &rest)) return false;
  const size_t open = rest.find('"');
  if (open == std::string_view::npos) {
    value->clear();
    return true;
  }
  rest.remove_prefix(open + 1);
  *value = CutToUtf16Units(rest.substr(0, rest.find('"')), kFieldStringMax);
  return true;
}

std::string Quote(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '"';
  quoted += value;
  quoted += '"';
  return quoted;
}

}  // namespace velmor
