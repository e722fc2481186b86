// Arbitrary bytes as a stored tag text, a key and a value (split at the first
// two zero bytes): reading never leaves the text, and a change that is
// accepted reads back and fits the work copy.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/tag_text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The next part of the input up to a zero byte (or its end).
std::string TakePart(std::string_view* input) {
  const size_t end = input->find('\0');
  const std::string part(input->substr(0, end));
  input->remove_prefix(end == std::string_view::npos ? input->size() : end + 1);
  return part;
}

void CheckGet(const std::string& text, const std::string& key) {
  std::string value;
  const int length = velmor::GetTagValue(text, key, &value);
  Check(length >= -1);
  if (length < 0) return;
  Check(static_cast<size_t>(length) == value.size());
  Check(text.find(value) != std::string::npos);
}

void CheckSet(std::string text, const std::string& key, const std::string* value) {
  const std::string before = text;
  if (!velmor::SetTagValue(&text, key, value)) {
    Check(text == before);
    return;
  }
  Check(text.size() <= velmor::kTagTextMaxSize);
  std::string read;
  const int length = velmor::GetTagValue(text, key, &read);
  if (value == nullptr) {
    Check(length == -1);
    return;
  }
  Check(length >= 0 && read == *value);
  // The rebuilt text is in its clean form: setting the same again keeps it.
  const std::string rebuilt = text;
  Check(velmor::SetTagValue(&text, key, value) && text == rebuilt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string key = TakePart(&input);
  const std::string value = TakePart(&input);
  const std::string text(input);
  CheckGet(text, key);
  CheckSet(text, key, &value);
  CheckSet(text, key, nullptr);
  return 0;
}
