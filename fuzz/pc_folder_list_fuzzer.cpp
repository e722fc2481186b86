// Arbitrary bytes as "PCFolderList.vrl": reading must never crash, every
// entry must be quotable in a reply, and every rule must have its token.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "library/get_dir_job.h"
#include "library/pc_folder_list.h"
#include "platform/file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = velmor::fuzz::ScratchFile("PCFolderList.vrl");
  if (!velmor::platform::WriteFileAtomically(
          path, std::string_view(reinterpret_cast<const char*>(data), size))) {
    abort();
  }
  velmor::PcFolderList list;
  if (!velmor::ReadPcFolderList(path, &list)) abort();
  for (const velmor::PcFolderEntry& entry : list.entries) {
    if (entry.text.find('"') != std::string::npos) abort();
    if (entry.kind != velmor::PcFolderEntry::kDrives && entry.text.empty()) abort();
    velmor::FolderRecordText(1, 2, entry.text, entry.text);
  }
  velmor::platform::FileInfo folder;
  folder.is_folder = true;
  for (const char* name : {"", "a", "temp", ".hidden", "$RECYCLE.BIN", "x.bak"}) {
    folder.name = name;
    folder.hidden = name[0] == '.';
    velmor::IsIgnoredFolder(list.ignore_rules, folder);
  }
  for (const velmor::FolderIgnoreRule& rule : list.ignore_rules) {
    if (rule.kind != velmor::FolderIgnoreRule::kSystem && rule.token.empty()) abort();
  }
  return 0;
}
