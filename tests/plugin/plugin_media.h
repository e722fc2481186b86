// The media the Windows build makes with ffmpeg for the plug-in's tests, in
// the build folder beside the programs' folder.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick::test {

inline std::string Media(const char* name) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder = folder.substr(0, folder.find_last_of('\\'));
  folder = folder.substr(0, folder.find_last_of('\\'));
  return folder + "\\plugin-media\\" + name;
}

inline std::wstring WideMedia(const char* name) {
  const std::string narrow = Media(name);
  return std::wstring(narrow.begin(), narrow.end());
}

}  // namespace tarnwick::test
