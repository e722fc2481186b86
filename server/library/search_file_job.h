// The word search over the search target folders: every media file whose
// name (without its extension) contains the query, case-insensitively, with
// blanks, hyphens and underscores taken as one character; and, when asked,
// chapter folders whose path contains it.
#pragma once

#include <string>
#include <string_view>

#include "library/search_job.h"
#include "platform/file_system.h"

namespace velmor {

class SearchFileJob : public SearchJob {
 public:
  // Bits of the mode.
  enum Mode : int { kVideo = 1, kAudio = 2, kImage = 4, kChapterFolders = 8 };

  using SearchJob::SearchJob;

  // The query is kept normalised (NormalizeSearchText).
  void Start(const SearchSettings& settings, std::string_view query, int mode);

 protected:
  int Run() override;

 private:
  int OnFolderEntry(const std::string& folder, const platform::FileInfo* entry, int code);
  bool ModeAllows(const std::string& name) const;

  int mode_ = 0;
};

// Lowercased (ASCII, Latin-1, Greek, Cyrillic and full-width Latin
// letters), every blank and hyphen turned into an underscore.
std::string NormalizeSearchText(std::string_view text);

}  // namespace velmor
