#include "library/list_scanner.h"

#include <algorithm>
#include <string_view>

#include "base/decimal_text.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "library/channel_root.h"
#include "library/folder_entries.h"
#include "library/list_file.h"

namespace velmor {
namespace {

bool IsListFile(const std::string& path) { return AsciiLower(SplitPath(path).extension) == ".vrl"; }

constexpr std::string_view kChannelMark = "#ch";

// "#ch N" or "#chN" names channel N from 1; only folder and list channels
// are followed, never a VR device.
bool ChannelLinePath(const ChannelTable& channels, std::string_view line, std::string* path) {
  int number = 0;
  if (!ParseDecimalInt(line.substr(kChannelMark.size()), &number)) return false;
  if (number < 1 || number > kChannelCount) return false;
  ChannelRoot root;
  if (!ResolveChannelRoot(channels, number - 1, &root) || root.type == kChannelVrDevice) {
    return false;
  }
  *path = root.path;
  return true;
}

}  // namespace

int ListScanner::ScanListFile(int depth, const std::string& list_file, int once,
                              const FileCallback& on_file, const FolderCallback& on_folder) {
  if (depth == 0) visited_.clear();
  if (depth > kMaxListDepth) return 1;
  if (std::find(open_lists_.begin(), open_lists_.end(), list_file) != open_lists_.end()) return 1;
  std::vector<std::string> lines;
  if (!ReadTextLines(ToHostSeparators(list_file), kListLineMax, &lines)) return 0;
  open_lists_.push_back(list_file);
  int result = 1;
  for (const std::string& line : lines) {
    if (line == "#end") break;
    if (line == "#once") {
      once = 1;
      continue;
    }
    if (line == "#no_once") {
      once = 0;
      continue;
    }
    std::string path;
    if (line.starts_with(kChannelMark)) {
      if (!ChannelLinePath(channels_, line, &path)) continue;
    } else if (line.empty() || line[0] == '#') {
      continue;
    } else {
      path = WithForwardSlashes(line);
    }
    if (ScanPathLine(depth, path, once, on_file, on_folder) == 0) {
      result = 0;
      break;
    }
  }
  open_lists_.pop_back();
  return result;
}

int ListScanner::ScanPathLine(int depth, const std::string& path, int once,
                              const FileCallback& on_file, const FolderCallback& on_folder) {
  const int kind = PathKind(ToHostSeparators(path));
  if (kind == kPathFolder) {
    if (on_file && on_file(path, kFolder) == 0) return 0;
    if (on_folder) return ScanFolder(path, true, once, on_folder);
    return 1;
  }
  if (kind != kPathFile) return 1;  // relative, bare or missing paths are skipped
  if (IsListFile(path)) return ScanListFile(depth + 1, path, once, on_file, on_folder);
  if (media_.IsMedia(path) && on_file) return on_file(path, kMediaFile);
  return 1;
}

int ListScanner::ScanFolder(const std::string& folder, bool recursive, int once,
                            const FolderCallback& on_folder) {
  return ScanFolderAt(folder, recursive, once, 0, on_folder);
}

int ListScanner::ScanFolderAt(const std::string& folder, bool recursive, int once, int depth,
                              const FolderCallback& on_folder) {
  if (on_folder(folder, nullptr, kFolder) == 0) return 0;
  const auto seen = visited_.find(folder);
  // Only media files reach the callback with their entry.
  const std::vector<platform::FileInfo> entries = ReadFolderMediaDetails(folder, media_);
  if (seen != visited_.end() && once != 0) {
    if (once == 1 && seen->second) recursive = false;
  } else {
    for (const platform::FileInfo& entry : entries) {
      if (entry.is_folder || !media_.IsMedia(entry.name)) continue;
      if (on_folder(folder, &entry, kMediaFile) == 0) return 0;
    }
    if (seen == visited_.end()) visited_.emplace(folder, recursive);
  }
  if (!recursive || depth >= kMaxFolderDepth) return 1;
  for (const platform::FileInfo& entry : entries) {
    if (!entry.is_folder) continue;
    if (ScanFolderAt(JoinPath(folder, entry.name), true, once, depth + 1, on_folder) == 0) {
      return 0;
    }
  }
  return 1;
}

}  // namespace velmor
