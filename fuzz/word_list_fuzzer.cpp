// Arbitrary bytes as "WordList.txt": reading must never crash, and what was
// read must come back the same after a save and a second read (nothing is
// lost or cut by the writer's line rules).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "base/utf.h"
#include "fuzz_support.h"
#include "library/word_list.h"
#include "platform/file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = velmor::fuzz::ScratchFile("WordList.txt");
  if (!velmor::platform::WriteFileAtomically(
          path, std::string_view(reinterpret_cast<const char*>(data), size))) {
    abort();
  }
  velmor::WordList words;
  words.SetFile(path);
  if (words.Load() != 1) abort();
  std::set<std::pair<std::string, std::string>> seen;
  for (const velmor::S_WORD& entry : words.words()) {
    if (!seen.emplace(entry.id, entry.word).second) abort();  // a duplicate
    if (entry.id.find('"') != std::string::npos || entry.word.find('"') != std::string::npos) {
      abort();
    }
  }
  // A pair the player adds makes the list dirty, so the save writes it.
  if (words.Add("fuzz", "marker") == 1 && words.Save() != 1) abort();
  velmor::WordList again;
  again.SetFile(path);
  if (again.Load() != 1 || again.words() != words.words()) abort();
  return 0;
}
