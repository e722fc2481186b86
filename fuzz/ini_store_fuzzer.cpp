// Arbitrary bytes as a settings file: reads, a write and the reads after it
// must never crash or read outside a buffer, and a written value must read
// back whatever the rest of the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"

namespace {

using velmor::platform::ReadIniString;
using velmor::platform::WriteIniString;

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = velmor::fuzz::ScratchFile("fuzz.ini");
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Check(velmor::platform::WriteFileAtomically(path, bytes));

  // The first bytes also choose a name and a buffer size, so odd names are
  // tried against odd files.
  const std::string asked(bytes.substr(0, 4));
  const size_t capacity = size == 0 ? 1 : 1 + data[size - 1] % 16;
  ReadIniString(path, "a", "b", "\x01", capacity);
  ReadIniString(path, "", "", "  d  ", capacity);
  ReadIniString(path, asked, asked, asked, capacity);
  ReadIniString(path, "ch.0", "iType", "");

  WriteIniString(path, asked, "k", asked);
  Check(WriteIniString(path, " A ", "b", "value1"));
  Check(ReadIniString(path, "a", " B", "\x01") == "value1");
  Check(ReadIniString(path, "a", "b", "\x01", 4) == "val");
  return 0;
}
