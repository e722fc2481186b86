#include "command/tag_list.h"

#include "base/get_token.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "library/ext_set.h"

namespace velmor {
namespace {

bool IsEntryCommand(const std::string& token) {
  return token == "#tag" || token == "#tag_r" || token == "#vrf_size" || token == "#vrf_ratio";
}

std::string EntryReply(int number, const std::string& command, const std::string& first,
                       const std::string& second) {
  return "#RET_TAG_LIST(<no>" + std::to_string(number) + ",<cmd>\"" + command + "\",<p0>\"" +
         first + "\",<p1>\"" + second + "\")";
}

}  // namespace

std::string TagListPath() { return BesideProgram("TagList.txt"); }

bool ReadTagList(const std::string& path, std::vector<std::string>* replies) {
  replies->clear();
  std::vector<std::string> lines;
  if (!ReadTextLines(path, 0, &lines)) return false;
  bool taking = false;
  int number = 0;
  for (std::string line : lines) {
    line = line.substr(0, line.find(';'));  // the rest is a comment
    std::string command;
    size_t after = 0;
    if (!GetToken(line, 1, &command, &after) || command.empty() || command[0] != '#') continue;
    command = AsciiLower(command);
    if (command == "#start") taking = true;
    if (command == "#end") break;
    if (!taking || !IsEntryCommand(command)) continue;
    const std::string_view rest = std::string_view(line).substr(after);
    std::string first;
    std::string second;
    if (!GetToken(rest, 1, &first) || !GetToken(rest, 2, &second)) continue;
    replies->push_back(EntryReply(number++, command, first, second));
  }
  return true;
}

}  // namespace velmor
