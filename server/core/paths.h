// The program folder and the small path helpers with which every relative
// path of the settings is resolved against it. Paths are UTF-8; "/" and the
// host's own separator are both accepted as separators.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/file_system.h"

namespace velmor {

// Set once at start (the executable's folder, or the headless host's
// --home), without a trailing separator.
void SetProgramFolder(std::string folder);
const std::string& ProgramFolder();
// The program folder and a file name joined with the host's separator.
std::string BesideProgram(std::string_view file_name);

struct SplitPathResult {
  std::string folder;     // drive and directory, no trailing separator
  std::string file_name;  // name with extension
  std::string stem;       // name without extension
  std::string extension;  // with its dot, or empty
};
// A path with an extension is split into folder and name; one without an
// extension is taken as a folder, and its folder is the whole path.
SplitPathResult SplitPath(std::string_view path);

// Appends "/" unless the folder already ends in "\" or "/", then the name.
std::string JoinPath(std::string_view folder, std::string_view name);

bool IsSeparator(char c);

enum PathKindValue : int { kPathAbsent = 0, kPathFolder = 1, kPathFile = 2 };
// 0 for a path that is not absolute or does not exist, 1 for an existing
// folder, 2 for an existing file.
int PathKind(const std::string& path);
// An absolute path that does not name a folder (it need not exist).
bool IsAbsoluteFilePath(const std::string& path);

// The path itself when it has a folder part, else the same name beside the
// program.
std::string PathBesideProgramUnlessFolder(const std::string& path);
bool OpenBesideProgram(const std::string& path, platform::File::Mode mode, platform::File* file);

// Settings written on Windows may use backslashes; a POSIX host reads them as "/".
std::string ToHostSeparators(std::string path);

// Creates the folder and any missing parents.
bool EnsureFolder(const std::string& path);
// An existing folder as it is; otherwise the folder under the program
// folder, created when missing.
std::string ResolveFolderSetting(const std::string& value);
// An existing absolute file as it is; else that name beside the program if
// it exists there; else the fallback name beside the program (existing or
// not). With no fallback and no file the call fails and gives "".
bool ResolveFileSetting(const std::string& value, std::string_view fallback_name,
                        std::string* path);

// Drive ("C:") or network root ("//server"); compared exactly.
bool SameRoot(std::string_view a, std::string_view b);
bool SameExtension(std::string_view a, std::string_view b);

// The last-write time as a Windows file time; 0 (and success) when the file
// cannot be read.
platform::FileTime GetFileWriteTime(const std::string& path);
// The size in bytes, or -1 when the file cannot be read.
int64_t GetFileSize64(const std::string& path);

}  // namespace velmor
