// Arbitrary bytes as a settings file: reads, a write and the reads after it
// must never crash or read outside a buffer, and a written value must read
// back whatever the rest of the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/ini_store.h"

namespace {

using velmor::platform::ReadIniString;
using velmor::platform::WriteIniString;

std::string fuzz_folder;
std::string fuzz_file;

void RemoveFuzzFolder() {
  velmor::platform::DeleteFile(fuzz_file);
  velmor::platform::RemoveFolder(fuzz_folder);
}

// A folder of its own, so that parallel fuzzing jobs do not share the file.
const std::string& FuzzFile() {
  if (!fuzz_file.empty()) return fuzz_file;
  std::random_device random;
  const std::string base = velmor::platform::TemporaryFolder() + "/velmor-ini-fuzz-";
  for (int attempt = 0; attempt < 100 && fuzz_folder.empty(); ++attempt) {
    const std::string candidate = base + std::to_string(random());
    if (velmor::platform::CreateFolder(candidate)) fuzz_folder = candidate;
  }
  if (fuzz_folder.empty()) abort();
  fuzz_file = fuzz_folder + "/fuzz.ini";
  std::atexit(RemoveFuzzFolder);
  return fuzz_file;
}

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile();
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
