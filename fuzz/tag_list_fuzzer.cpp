// Arbitrary bytes as "TagList.txt" and as a list file: reading must never
// crash, and every reply line must be well formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "command/tag_list.h"
#include "library/list_file.h"
#include "platform/file_system.h"

namespace {

std::string fuzz_folder;
std::string fuzz_file;

void RemoveFuzzFolder() {
  velmor::platform::DeleteFile(fuzz_file);
  velmor::platform::RemoveFolder(fuzz_folder);
}

const std::string& FuzzFile() {
  if (!fuzz_file.empty()) return fuzz_file;
  std::random_device random;
  const std::string base = velmor::platform::TemporaryFolder() + "/velmor-taglist-fuzz-";
  for (int attempt = 0; attempt < 100 && fuzz_folder.empty(); ++attempt) {
    const std::string candidate = base + std::to_string(random());
    if (velmor::platform::CreateFolder(candidate)) fuzz_folder = candidate;
  }
  if (fuzz_folder.empty()) abort();
  fuzz_file = fuzz_folder + "/TagList.txt";
  std::atexit(RemoveFuzzFolder);
  return fuzz_file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile();
  if (!velmor::platform::WriteFileAtomically(
          path, std::string_view(reinterpret_cast<const char*>(data), size))) {
    abort();
  }
  std::vector<std::string> replies;
  if (!velmor::ReadTagList(path, &replies)) abort();
  for (size_t i = 0; i < replies.size(); ++i) {
    const std::string prefix = "#RET_TAG_LIST(<no>" + std::to_string(i) + ",<cmd>\"#";
    if (replies[i].rfind(prefix, 0) != 0 || replies[i].back() != ')') abort();
  }
  std::string name;
  velmor::ReadListName(path, &name);
  if (name.empty() && size == 0) abort();
  return 0;
}
