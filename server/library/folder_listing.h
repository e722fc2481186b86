// The channel listing of folders: the records of every listed folder's
// subfolders, media files and chapter folders, sorted and grouped as the
// player asked, with the data table's ids and state flags.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/config.h"
#include "library/data_table.h"
#include "library/ext_set.h"
#include "library/folder_read_ahead.h"
#include "library/list_record.h"
#include "library/sort_items.h"

namespace velmor {

struct ListingRequest {
  int sort_name = 0;
  int sort_mode = 1;
  int sort_mode_2nd = 1;
  int media_mask = kMaskVideo;
};

class FolderListing {
 public:
  FolderListing(ListingSink* records, DataTable* table, const MediaSets& media,
                const ListingRequest& request, const S_CONFIG& config)
      : records_(records), table_(table), media_(media), request_(request), config_(config) {}

  // Lists a folder (and, recursively, its subfolders). 1, or 0 when a
  // recursive call gave 0.
  int ListFolder(const std::string& folder, int indent, bool recursive);

  // A chapter folder's items (chapter files and nested chapter folders) in
  // name order, the number of chapter files in the whole tree, the newest
  // write time of its chapter files and the folder's media type.
  struct ChapterTree {
    std::vector<S_SORTW> items;
    int chapter_count = 0;
    uint64_t newest_write_time = 0;
    int media_type = 0;
  };
  ChapterTree BuildChapterTree(const std::string& folder, int depth = 0) const;
  // The media type a folder's own files give it under the mask; with the
  // chapter rule a single image does not make an image folder.
  int FolderMediaType(const std::string& folder, int mask, bool chapter) const;

 private:
  struct Subfolder {
    std::string name;
    int64_t date = -1;
    uint64_t write_time = 0;
    bool chapter = false;
  };

  std::vector<platform::FileInfo> ListedEntries(const std::string& folder, bool recursive);
  bool IsInChapterFolder(const std::string& path) const;
  bool IsChapterFolder(const std::string& path) const;
  std::vector<Subfolder> Subfolders(const std::vector<platform::FileInfo>& entries,
                                    const std::string& folder) const;
  std::vector<S_SORTW> Items(const std::vector<platform::FileInfo>& entries,
                             const std::vector<Subfolder>& subfolders,
                             const std::string& folder) const;
  void AppendItem(const std::string& folder, const S_SORTW& item);
  void AppendChapterRecords(const std::string& folder, const S_SORTW& chapter_folder, int position);
  // The record's state flags and its id (a temporary one without a record).
  void Lookup(const std::string& folder, const std::string& name, int64_t size, uint64_t* flags,
              int64_t* id);

  ListingSink* records_;
  DataTable* table_;
  MediaSets media_;
  ListingRequest request_;
  const S_CONFIG& config_;
  // Made by the first walk over a tree; last, so it ends first.
  std::unique_ptr<FolderReadAhead> read_ahead_;
};

// Local dates of a file time: yyyymmdd and yyyymmddhhmmss.
int64_t LocalDateOf(uint64_t file_time);
int64_t LocalDateTimeOf(uint64_t file_time);

}  // namespace velmor
