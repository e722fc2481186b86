// The PC folder list ("PCFolderList.vrl"): the top level the player's folder
// browser shows for "(Computer)": folder paths, the drives, "#sc" and "#cmd"
// entries, and the rules that leave folders out of the browser's subfolder
// listings.
//
//   D:/Movies            a folder
//   #cmd (Storage)       the drives go here
//   #cmd Refresh         a command entry
//   #sc Videos           a special folder entry
//   #ignore_system       hidden and system folders are left out
//   #ignore_cmp  $RECYCLE.BIN   names equal to the token,
//   #ignore_sub  temp           containing it,
//   #ignore_start .             beginning with it,
//   #ignore_end  ~              or ending with it
//   #end
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace velmor {

struct FolderIgnoreRule {
  enum Kind { kSystem, kEqual, kContains, kStartsWith, kEndsWith, kNothing };
  Kind kind = kNothing;
  std::string token;

  // Names compare case-sensitively.
  bool Matches(const platform::FileInfo& folder) const;
};

struct PcFolderEntry {
  enum Kind { kPath, kCommand, kSpecial, kDrives };
  Kind kind = kPath;
  std::string text;  // the path or the token; empty for kDrives
};

struct PcFolderList {
  std::vector<PcFolderEntry> entries;  // in file order
  std::vector<FolderIgnoreRule> ignore_rules;
};

// The lines of the file (without line breaks), up to "#end". A "#" line
// whose token is missing adds nothing; a path with a '"' (which a reply
// cannot quote) is left out.
PcFolderList ParsePcFolderList(const std::vector<std::string>& lines);
// False when the file cannot be read.
bool ReadPcFolderList(const std::string& path, PcFolderList* list);

bool IsIgnoredFolder(const std::vector<FolderIgnoreRule>& rules, const platform::FileInfo& folder);

}  // namespace velmor
