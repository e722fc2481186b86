// The folder browser: record texts for the player's folder picker. For
// "(Computer)" the PC folder list with the drives; in mode 2 the media tree
// under a folder (every folder with media files, then those files); in the
// other modes the subfolders of a folder, sorted by name, each flagged when
// it has subfolders of its own. The ignore rules of the PC folder list apply
// to the subfolder listings that follow its reading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/pc_folder_list.h"
#include "library/search_job.h"
#include "platform/file_system.h"

namespace velmor {

class GetDirJob : public SearchJob {
 public:
  // Modes (the low four bits of the request).
  static constexpr int kModeSubfoldersWithoutChapters = 1;
  static constexpr int kModeMediaTree = 2;
  static constexpr char kComputer[] = "(Computer)";
  // Media trees deeper than this (a folder link that loops) stop there.
  static constexpr int kMaxTreeDepth = 64;

  using SearchJob::SearchJob;

  void Start(const SearchSettings& settings, std::string path, int mode);

 protected:
  int Run() override;

 private:
  int ListComputer();
  int ListSubfolders();
  int ListMediaTree(const std::string& folder, int depth);
  void AppendMediaFolder(const std::string& folder, int media_type,
                         const std::vector<platform::FileInfo>& files);
  bool Passes(const std::string& path, const platform::FileInfo& folder) const;
  // 1 when the folder has a subfolder that passes, 0 when not, -1 when the
  // job was cancelled.
  int ProbeSubfolders(const std::string& folder);
  // The record's id (a temporary one without a record) and state flags.
  int64_t Lookup(const std::string& folder, const std::string& name, int64_t size,
                 int64_t* flags) const;

  int mode_ = kModeSubfoldersWithoutChapters;
  std::vector<FolderIgnoreRule> ignore_rules_;
};

// "<flag>%d<type>%d<dir_name>\"%s\"<disp_name>\"%s\")"; types 0 subfolder,
// 1 drive, 2 PC folder list path, 3 "#sc" entry, 4 "#cmd" entry.
std::string FolderRecordText(int flag, int type, const std::string& dir_name,
                             const std::string& disp_name);
// "<flag>%d<type>%d<id_int>%I64d<media_type>%d<full_path>\"%s\"<file_size>%I64d<chapter_num>%d)";
// type 0 a folder, 5 a file.
std::string MediaRecordText(int flag, int type, int64_t id, int media_type,
                            const std::string& full_path, int64_t file_size, int chapter_num);
// "C:[label]" for "C:/", the path and "[label]" for a mount point; the bare
// name without a label.
std::string DriveDisplayName(const platform::Drive& drive);

}  // namespace velmor
