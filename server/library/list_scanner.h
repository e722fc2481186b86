// Walks list files and the folders they name: folders with their media
// files (recursively), nested list files and "#ch N" channel roots, with the
// "#once" rule that keeps a folder from being walked twice in one read.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/config.h"
#include "library/ext_set.h"
#include "platform/file_system.h"

namespace velmor {

class ListScanner {
 public:
  // Codes of the callbacks.
  enum Code : int { kFolder = 1, kMediaFile = 2 };
  // Nested list files and folders deeper than these are not followed (a
  // list that names itself, or a folder link that loops).
  static constexpr int kMaxListDepth = 16;
  static constexpr int kMaxFolderDepth = 64;

  // A folder line (code 1) or a media file line (code 2) of a list; 0 stops
  // the whole scan.
  using FileCallback = std::function<int(const std::string& path, int code)>;
  // A folder as its walk begins (entry null, code 1), then each media file
  // in it (code 2); 0 stops the whole scan.
  using FolderCallback =
      std::function<int(const std::string& folder, const platform::FileInfo* entry, int code)>;

  // "#ch N" lines name the roots of the channel table.
  ListScanner(const MediaSets& media, const ChannelTable& channels)
      : media_(media), channels_(channels) {}

  // 1 when the whole list was read, 0 when a callback stopped it or the
  // file could not be read. Depth 0 forgets the folders walked before.
  int ScanListFile(int depth, const std::string& list_file, int once, const FileCallback& on_file,
                   const FolderCallback& on_folder);
  int ScanFolder(const std::string& folder, bool recursive, int once,
                 const FolderCallback& on_folder);

  void ClearVisited() { visited_.clear(); }

 private:
  int ScanPathLine(int depth, const std::string& path, int once, const FileCallback& on_file,
                   const FolderCallback& on_folder);
  int ScanFolderAt(const std::string& folder, bool recursive, int once, int depth,
                   const FolderCallback& on_folder);

  MediaSets media_;  // refers to the sets, which outlive the scanner
  ChannelTable channels_;
  // Folders walked during this read, by exact path: true when recursively.
  std::unordered_map<std::string, bool> visited_;
  std::vector<std::string> open_lists_;  // the lists being read, outermost first
};

}  // namespace velmor
