#include "library/find_file_job.h"

#include "core/paths.h"
#include "library/data_table_record.h"
#include "library/list_scanner.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

// The folder part of a path, without its trailing separator unless it is
// a root ("/", "C:/").
std::string FolderOf(const std::string& path) {
  std::string folder = path.substr(0, NamePosition(path));
  const bool drive_root = folder.size() == 3 && folder[1] == ':';
  if (folder.size() > 1 && IsSeparator(folder.back()) && !drive_root) folder.pop_back();
  return folder;
}

}  // namespace

void FindFileJob::Start(const SearchSettings& settings, std::string path, int64_t size) {
  wanted_size_ = size;
  Prepare(settings, std::move(path));
}

int FindFileJob::Run() {
  found_ = false;
  const std::string& wanted = input();
  const std::string wanted_folder = FolderOf(wanted);
  wanted_name_ = wanted.substr(NamePosition(wanted));
  if (wanted_name_.empty()) return 1;
  chapter_relative_.clear();
  chapter_mode_ = table() != nullptr &&
                  table()->Lock().FindChapterFolder(wanted, &chapter_relative_) != nullptr;
  const ListScanner::FolderCallback on_folder = [this](const std::string& folder,
                                                       const platform::FileInfo*, int code) {
    return code == ListScanner::kFolder ? OnFolder(folder) : 1;
  };
  ListScanner scanner(media(), settings().channels);
  if (!last_hit_folder_.empty() && PathKind(last_hit_folder_) == kPathFolder) {
    scanner.ScanFolder(last_hit_folder_, false, 1, on_folder);
  }
  if (!found_ && PathKind(wanted_folder) == kPathFolder) {
    scanner.ClearVisited();
    scanner.ScanFolder(wanted_folder, true, 1, on_folder);
  }
  if (!found_) scanner.ScanListFile(0, settings().search_targets, 1, {}, on_folder);
  return found_ ? 1 : 0;
}

int FindFileJob::OnFolder(const std::string& folder) {
  if (!EnterFolder(folder)) return 0;
  const std::string candidate = JoinPath(folder, wanted_name_);
  const int kind = PathKind(candidate);
  if (kind == kPathAbsent || !IsHit(candidate, kind)) return 1;
  last_hit_folder_ = folder;
  AppendPath(candidate, kind == kPathFolder ? kSizeFolder : GetFileSize64(candidate));
  found_ = true;
  return 0;
}

// A wanted folder is only found as a folder, and a wanted size only as a
// file of that size.
bool FindFileJob::IsHit(const std::string& candidate, int kind) const {
  if (wanted_size_ == kAnySize) return true;
  if (wanted_size_ == kFolder) {
    if (kind != kPathFolder) return false;
  } else if (kind != kPathFile || GetFileSize64(candidate) != wanted_size_) {
    return false;
  }
  if (!chapter_mode_) return true;
  std::string relative;
  return table() != nullptr && table()->Lock().FindChapterFolder(candidate, &relative) != nullptr &&
         relative == chapter_relative_;
}

}  // namespace velmor
