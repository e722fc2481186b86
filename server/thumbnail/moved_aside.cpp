#include "thumbnail/moved_aside.h"

#include "core/paths.h"
#include "library/data_table_record.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

// Enough for a folder of the same file converted again and again.
constexpr int kMaxNumberedName = 9999;

std::string NumberedName(const SplitPathResult& parts, int number) {
  return parts.stem + " (" + std::to_string(number) + ")" + parts.extension;
}

}  // namespace

bool MoveAside(const std::string& file, std::string_view folder_name) {
  const size_t name_at = NamePosition(file);
  const std::string folder = JoinPath(file.substr(0, name_at), folder_name);
  if (!EnsureFolder(folder)) return false;
  const std::string name = file.substr(name_at);
  if (platform::MovePath(file, JoinPath(folder, name))) return true;
  const SplitPathResult parts = SplitPath(name);
  for (int number = 2; number <= kMaxNumberedName; ++number) {
    const std::string target = JoinPath(folder, NumberedName(parts, number));
    if (platform::GetPathType(target) != platform::PathType::kNone) continue;
    return platform::MovePath(file, target);
  }
  return false;
}

}  // namespace velmor
