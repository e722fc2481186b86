#include "core/paths.h"

#include <utility>

namespace velmor {
namespace {

std::string& ProgramFolderStorage() {
  static std::string folder;
  return folder;
}

size_t LastSeparator(std::string_view path) {
  // A plain loop from the end: find_last_of with two characters calls
  // memchr on the pair for every byte.
  for (size_t at = path.size(); at > 0; --at) {
    if (path[at - 1] == '/' || path[at - 1] == '\\') return at - 1;
  }
  return std::string_view::npos;
}

bool HasDrive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::string StripOneTrailingSeparator(std::string path) {
  if (path.size() > 1 && IsSeparator(path.back()) && !(path.size() == 3 && HasDrive(path))) {
    path.pop_back();
  }
  return path;
}

}  // namespace

void SetProgramFolder(std::string folder) {
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  ProgramFolderStorage() = std::move(folder);
}

const std::string& ProgramFolder() { return ProgramFolderStorage(); }

std::string BesideProgram(std::string_view file_name) {
  return ProgramFolder() + platform::kNativeSeparator + std::string(file_name);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

SplitPathResult SplitPath(std::string_view path) {
  SplitPathResult result;
  const size_t separator = LastSeparator(path);
  const size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
  if (separator == std::string_view::npos && HasDrive(path)) {
    result.file_name = std::string(path.substr(2));
  } else {
    result.file_name = std::string(path.substr(name_start));
  }
  const size_t dot = result.file_name.rfind('.');
  if (dot != std::string::npos) {
    result.extension = result.file_name.substr(dot);
    result.stem = result.file_name.substr(0, dot);
  } else {
    result.stem = result.file_name;
  }
  if (result.extension.empty()) {
    result.folder = std::string(path);
    return result;
  }
  std::string folder(path.substr(0, path.size() - result.file_name.size()));
  if (!folder.empty() && IsSeparator(folder.back()) && folder.size() > 1 &&
      !(folder.size() == 3 && HasDrive(folder))) {
    folder.pop_back();
  }
  result.folder = std::move(folder);
  return result;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string joined(folder);
  if (joined.empty() || !IsSeparator(joined.back())) joined.push_back('/');
  joined.append(name);
  return joined;
}

int PathKind(const std::string& path) {
  if (!platform::IsAbsolutePath(path)) return kPathAbsent;
  switch (platform::GetPathType(path)) {
    case platform::PathType::kFolder:
      return kPathFolder;
    case platform::PathType::kFile:
      return kPathFile;
    case platform::PathType::kNone:
      return kPathAbsent;
  }
  return kPathAbsent;
}

bool IsAbsoluteFilePath(const std::string& path) {
  return platform::IsAbsolutePath(path) && PathKind(path) != kPathFolder;
}

std::string PathBesideProgramUnlessFolder(const std::string& path) {
  const SplitPathResult parts = SplitPath(path);
  if (LastSeparator(path) == std::string::npos && !HasDrive(path)) {
    return JoinPath(ProgramFolder(), parts.file_name);
  }
  return path;
}

bool OpenBesideProgram(const std::string& path, platform::File::Mode mode, platform::File* file) {
  return file->Open(PathBesideProgramUnlessFolder(path), mode);
}

bool EnsureFolder(const std::string& path) {
  const std::string folder = StripOneTrailingSeparator(path);
  if (folder.empty()) return false;
  if (PathKind(folder) == kPathFolder) return true;
  if (platform::GetPathType(folder) == platform::PathType::kFile) return false;
  const size_t separator = LastSeparator(folder);
  // A relative name or a root that does not exist cannot be made.
  if (separator == std::string::npos) return platform::CreateFolder(folder);
  const std::string parent = folder.substr(0, separator);
  const bool parent_is_root =
      parent.empty() || (parent.size() == 2 && HasDrive(parent)) || parent == "/" || parent == "\\";
  if (!parent_is_root && parent.size() < folder.size() && !EnsureFolder(parent)) return false;
  return platform::CreateFolder(folder) || PathKind(folder) == kPathFolder;
}

std::string ToHostSeparators(std::string path) {
  if (platform::kNativeSeparator == '/') {
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
  }
  return path;
}

std::string ResolveFolderSetting(const std::string& setting) {
  const std::string value = ToHostSeparators(setting);
  if (!value.empty() && PathKind(value) == kPathFolder) return value;
  const std::string folder = JoinPath(ProgramFolder(), value);
  if (PathKind(folder) != kPathFolder) EnsureFolder(folder);
  return folder;
}

bool ResolveFileSetting(const std::string& setting, std::string_view fallback_name,
                        std::string* path) {
  const std::string value = ToHostSeparators(setting);
  if (!value.empty() && PathKind(value) == kPathFile) {
    *path = value;
    return true;
  }
  if (!value.empty()) {
    std::string beside = JoinPath(ProgramFolder(), value);
    if (PathKind(beside) == kPathFile) {
      *path = std::move(beside);
      return true;
    }
  }
  if (fallback_name.empty()) {
    path->clear();
    return false;
  }
  *path = JoinPath(ProgramFolder(), ToHostSeparators(std::string(fallback_name)));
  return true;
}

namespace {

std::string_view RootOf(std::string_view path) {
  if (HasDrive(path)) return path.substr(0, 2);
  const bool network =
      path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[0] == path[1];
  if (!network) return {};
  // "//server/share/..." has the root "//server/share".
  const size_t first = path.find('/', 2);
  if (first == std::string_view::npos) return path;
  const size_t second = path.find('/', first + 1);
  return second == std::string_view::npos ? path : path.substr(0, second);
}

}  // namespace

bool SameRoot(std::string_view a, std::string_view b) { return RootOf(a) == RootOf(b); }

bool SameExtension(std::string_view a, std::string_view b) {
  return SplitPath(a).extension == SplitPath(b).extension;
}

platform::FileTime GetFileWriteTime(const std::string& path) {
  platform::FileInfo info;
  if (!platform::GetFileInfo(path, &info)) return 0;
  return info.write_time;
}

int64_t GetFileSize64(const std::string& path) {
  platform::FileInfo info;
  if (!platform::GetFileInfo(path, &info) || info.is_folder) return -1;
  return info.size;
}

}  // namespace velmor
