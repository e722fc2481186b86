// Arbitrary bytes as a command text and a key (the first byte gives the
// key's length): the flat field readers find exactly the keys the text holds
// and never give a string longer than its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/tagged_fields.h"
#include "base/utf.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t key_size = std::min<size_t>(data[0] % 16, input.size());
  const std::string key = input.substr(0, key_size);
  const std::string text = input.substr(key_size);
  const bool present = !key.empty() && text.find(key) != std::string::npos;

  int64_t number = 0;
  Check(velmor::FindNumber(text, key, &number) == present);
  int small = 0;
  Check(velmor::FindNumber(text, key, &small) == present);
  std::string value;
  Check(velmor::FindString(text, key, &value) == present);
  Check(value.find('"') == std::string::npos);
  Check(velmor::Utf16Length(value) <= velmor::kFieldStringMax);
  return 0;
}
