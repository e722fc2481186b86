#include "library/pc_folder_list.h"

#include <algorithm>

#include "base/get_token.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "library/list_file.h"

namespace velmor {
namespace {

constexpr char kDrivesToken[] = "(Storage)";

bool StartsWith(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The rule of an "#ignore_..." line; kNothing for a name it does not know.
FolderIgnoreRule::Kind IgnoreKind(std::string_view directive) {
  if (directive == "#ignore_cmp") return FolderIgnoreRule::kEqual;
  if (directive == "#ignore_sub") return FolderIgnoreRule::kContains;
  if (directive == "#ignore_start") return FolderIgnoreRule::kStartsWith;
  if (directive == "#ignore_end") return FolderIgnoreRule::kEndsWith;
  return FolderIgnoreRule::kNothing;
}

// A "#" line: an entry, a rule, or nothing.
void ParseDirective(const std::string& line, PcFolderList* list) {
  const std::string directive = TokenAt(line, 1);
  if (directive == "#ignore_system") {
    list->ignore_rules.push_back({FolderIgnoreRule::kSystem, {}});
    return;
  }
  const std::string token = TokenAt(line, 2);
  if (token.empty()) return;
  if (directive == "#cmd") {
    if (token == kDrivesToken) {
      list->entries.push_back({PcFolderEntry::kDrives, {}});
    } else {
      list->entries.push_back({PcFolderEntry::kCommand, token});
    }
  } else if (directive == "#sc") {
    list->entries.push_back({PcFolderEntry::kSpecial, token});
  } else if (StartsWith(directive, "#ignore_")) {
    list->ignore_rules.push_back({IgnoreKind(directive), token});
  }
}

}  // namespace

bool FolderIgnoreRule::Matches(const platform::FileInfo& folder) const {
  switch (kind) {
    case kSystem:
      return folder.hidden;
    case kEqual:
      return folder.name == token;
    case kContains:
      return folder.name.find(token) != std::string::npos;
    case kStartsWith:
      return StartsWith(folder.name, token);
    case kEndsWith:
      return EndsWith(folder.name, token);
    case kNothing:
      return false;
  }
  return false;
}

bool IsIgnoredFolder(const std::vector<FolderIgnoreRule>& rules, const platform::FileInfo& folder) {
  return std::any_of(rules.begin(), rules.end(),
                     [&](const FolderIgnoreRule& rule) { return rule.Matches(folder); });
}

PcFolderList ParsePcFolderList(const std::vector<std::string>& lines) {
  PcFolderList list;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (TokenAt(line, 1) == "#end") break;
      ParseDirective(line, &list);
      continue;
    }
    if (line.find('"') != std::string::npos) continue;
    list.entries.push_back({PcFolderEntry::kPath, line});
  }
  return list;
}

bool ReadPcFolderList(const std::string& path, PcFolderList* list) {
  std::vector<std::string> lines;
  if (!ReadTextLines(ToHostSeparators(path), kListLineMax, &lines)) return false;
  *list = ParsePcFolderList(lines);
  return true;
}

}  // namespace velmor
