#include "library/list_file.h"

#include <vector>

#include "core/get_token.h"
#include "core/text_file.h"

namespace velmor {

bool ReadListName(const std::string& path, std::string* name) {
  *name = kUnnamedList;
  std::vector<std::string> lines;
  if (!ReadTextLines(path, kListLineMax, &lines)) return false;
  for (const std::string& line : lines) {
    if (line == "#end") return false;
    if (line.rfind("#name", 0) != 0) continue;
    std::string token;
    if (GetToken(line, 2, &token)) {
      *name = token;
      return true;
    }
  }
  return false;
}

}  // namespace velmor
