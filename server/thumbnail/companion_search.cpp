#include "thumbnail/companion_search.h"

#include <vector>

#include "core/paths.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

std::string_view WithoutTrailingSeparators(std::string_view path) {
  while (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  return path;
}

std::string ExtensionOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

// A '.' goes between name and extension unless one of them has it there.
std::string NameWithExtension(std::string_view base_name, std::string_view extension) {
  std::string name(base_name);
  const bool dot_there =
      (!name.empty() && name.back() == '.') || (!extension.empty() && extension.front() == '.');
  if (!dot_there) name.push_back('.');
  name.append(extension);
  return name;
}

bool FindSameName(const CExt& extensions, std::string_view base_name, const std::string& folder,
                  std::string* found) {
  for (const CExt::S_EXT& entry : extensions.entries()) {
    const std::string candidate = JoinPath(folder, NameWithExtension(base_name, entry.extension));
    if (platform::GetPathType(candidate) == platform::PathType::kFile) {
      *found = candidate;
      return true;
    }
  }
  return false;
}

bool FindAnyOfKind(const CExt& extensions, const std::string& folder,
                   const std::vector<platform::FileInfo>& entries, std::string* found) {
  for (const platform::FileInfo& entry : entries) {
    if (entry.is_folder || !extensions.Contains(ExtensionOf(entry.name))) continue;
    *found = JoinPath(folder, entry.name);
    return true;
  }
  return false;
}

bool Search(const CExt& extensions, std::string_view base_name, const std::string& folder,
            int depth, int nesting, std::string* found) {
  if (FindSameName(extensions, base_name, folder, found)) return true;
  if (depth < kAnyInFolder) return false;
  std::vector<platform::FileInfo> entries;
  if (!platform::ListFolder(folder, &entries)) return false;
  if (FindAnyOfKind(extensions, folder, entries, found)) return true;
  if (depth < kAnyInSubfolders || nesting >= kMaxCompanionNesting) return false;
  for (const platform::FileInfo& entry : entries) {
    if (!entry.is_folder) continue;
    if (Search(extensions, base_name, JoinPath(folder, entry.name), depth, nesting + 1, found)) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string_view LastPathComponent(std::string_view path) {
  path = WithoutTrailingSeparators(path);
  size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  return path.substr(start);
}

bool FindCompanion(const CExt& extensions, std::string_view base_name, const std::string& folder,
                   int depth, std::string* found) {
  if (folder.empty()) return false;
  return Search(extensions, base_name, folder, depth, 0, found);
}

bool FindCompanionOf(const CExt& extensions, const std::string& reference_path,
                     const std::string* folder, int depth, std::string* found) {
  const std::string_view trimmed = WithoutTrailingSeparators(reference_path);
  const std::string_view name = LastPathComponent(trimmed);
  const size_t dot = name.rfind('.');
  const std::string_view base_name = dot == std::string_view::npos ? name : name.substr(0, dot);
  if (folder != nullptr) return FindCompanion(extensions, base_name, *folder, depth, found);
  const std::string own_folder(trimmed.substr(0, trimmed.size() - name.size()));
  return FindCompanion(extensions, base_name, own_folder, depth, found);
}

}  // namespace velmor
