// Arbitrary bytes as "TagList.txt" and as a list file: reading must never
// crash, and every reply line must be well formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "command/tag_list.h"
#include "fuzz_support.h"
#include "library/list_file.h"
#include "platform/file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = velmor::fuzz::ScratchFile("TagList.txt");
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
