// The partial files an atomic write leaves when the process dies before its
// rename, found by the name both hosts give them.
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace velmor::platform {
namespace {

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "<name>.tmp<pid>-<tick>-<counter>"
bool IsTemporaryOf(std::string_view entry, std::string_view name) {
  const std::string_view marker = ".tmp";
  if (entry.size() <= name.size() + marker.size()) return false;
  if (entry.substr(0, name.size()) != name) return false;
  if (entry.substr(name.size(), marker.size()) != marker) return false;
  std::string_view rest = entry.substr(name.size() + marker.size());
  for (int part = 0; part < 3; ++part) {
    const size_t dash = part < 2 ? rest.find('-') : rest.size();
    if (dash == std::string_view::npos || !IsDigits(rest.substr(0, dash))) return false;
    rest = dash < rest.size() ? rest.substr(dash + 1) : std::string_view();
  }
  return true;
}

}  // namespace

int RemoveLeftTemporaries(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return 0;
  const std::string folder = path.substr(0, slash);
  const std::string name = path.substr(slash + 1);
  std::vector<FileInfo> entries;
  if (name.empty() || !ListFolder(folder.empty() ? "/" : folder, &entries)) return 0;
  int removed = 0;
  for (const FileInfo& entry : entries) {
    if (entry.is_folder || !IsTemporaryOf(entry.name, name)) continue;
    if (DeleteFile(path.substr(0, slash + 1) + entry.name)) ++removed;
  }
  return removed;
}

}  // namespace velmor::platform
