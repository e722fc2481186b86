#include "library/list_file.h"

#include <vector>

#include "base/get_token.h"
#include "base/tagged_fields.h"
#include "core/text_file.h"

namespace velmor {

std::string WithForwardSlashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool ReadListName(const std::string& path, std::string* name) {
  *name = kUnnamedList;
  std::vector<std::string> lines;
  if (!ReadTextLines(path, kListLineMax, &lines)) return false;
  for (const std::string& line : lines) {
    if (line == "#end") return false;
    if (line.rfind("#name", 0) != 0) continue;
    std::string token;
    // A name that comes out empty ("", or a lone CR) is no name either.
    if (GetToken(line, 2, &token) && !token.empty()) {
      *name = token;
      return true;
    }
  }
  return false;
}

int ReadListFileLines(const std::string& path, const ListLineCallback& callback) {
  std::vector<std::string> lines;
  if (!ReadTextLines(path, kListLineMax, &lines)) return 0;
  for (const std::string& line : lines) {
    if (line == "#end") return 1;
    if (line.empty() || line[0] == '#') continue;
    if (callback(WithForwardSlashes(line)) == 0) return 0;
  }
  return 1;
}

ListPathLine ParseListPathLine(std::string_view line) {
  ListPathLine parsed;
  const size_t question = line.find('?');
  parsed.path = WithForwardSlashes(std::string(line.substr(0, question)));
  if (question != std::string_view::npos) {
    int64_t size = 0;
    parsed.has_size = FindNumber(line.substr(question + 1), "<fs>", &size);
    parsed.size = size;
  }
  return parsed;
}

}  // namespace velmor
