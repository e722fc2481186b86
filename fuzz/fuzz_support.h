// Shared by the fuzz targets that read files: one scratch file in a folder
// of its own (parallel fuzzing jobs never share it), removed at exit.
#pragma once

#include <cstdlib>
#include <random>
#include <string>

#include "platform/file_system.h"

namespace velmor::fuzz {

inline std::string& ScratchFolder() {
  static std::string folder;
  return folder;
}

inline std::string& ScratchFilePath() {
  static std::string file;
  return file;
}

inline void RemoveScratch() {
  platform::DeleteFile(ScratchFilePath());
  platform::RemoveFolder(ScratchFolder());
}

// The scratch file's path, with the given name, made on the first call.
inline const std::string& ScratchFile(const char* name) {
  std::string& file = ScratchFilePath();
  if (!file.empty()) return file;
  std::random_device random;
  const std::string base = platform::TemporaryFolder() + "/velmor-fuzz-";
  for (int attempt = 0; attempt < 100 && ScratchFolder().empty(); ++attempt) {
    const std::string candidate = base + std::to_string(random());
    if (platform::CreateFolder(candidate)) ScratchFolder() = candidate;
  }
  if (ScratchFolder().empty()) abort();
  file = ScratchFolder() + "/" + name;
  std::atexit(RemoveScratch);
  return file;
}

}  // namespace velmor::fuzz
