// Arbitrary bytes as a list file (".vrl"): the name reader, the line
// reader, the search/favourites list reader and the scanner must never
// crash or read outside a buffer, and every path they give uses "/".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/paths.h"
#include "fuzz_support.h"
#include "library/channel_list.h"
#include "library/list_file.h"
#include "library/list_scanner.h"
#include "platform/file_system.h"

namespace {

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = velmor::fuzz::ScratchFile("list.vrl");
  Check(velmor::platform::WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(data), size)));

  std::string name;
  velmor::ReadListName(path, &name);
  Check(!name.empty());
  velmor::ReadListFileLines(path, [](const std::string& line) {
    Check(line.find('\\') == std::string::npos && !line.empty() && line[0] != '#');
    return 1;
  });

  velmor::CChannelList list;
  list.Bind(7, velmor::CChannelList::kFavourites, path, 0);
  list.Read();
  for (const auto& item : list.items()) Check(item.path.find('\\') == std::string::npos);

  // A line may name a real folder ("/"): stop the walk early.
  velmor::CExt video, audio, image;
  video.Parse("mp4");
  velmor::ListScanner scanner(velmor::MediaSets{video, audio, image},
                              velmor::DefaultConfig().channel);
  int budget = 50;
  scanner.ScanListFile(
      0, velmor::WithForwardSlashes(path), 0, [&](const std::string&, int) { return --budget > 0; },
      [&](const std::string&, const velmor::platform::FileInfo*, int) { return --budget > 0; });
  return 0;
}
