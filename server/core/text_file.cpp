#include "core/text_file.h"

#include "base/utf.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

void AddLine(std::string_view line, size_t max_units, std::vector<std::string>* lines) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (max_units == 0) {
    lines->emplace_back(line);
    return;
  }
  do {
    std::string piece = CutToUtf16Units(line, max_units);
    // A byte that is not UTF-8 still moves the reader on.
    if (piece.empty()) piece = std::string(line.substr(0, 1));
    line.remove_prefix(piece.size());
    lines->push_back(std::move(piece));
  } while (!line.empty());
}

}  // namespace

bool ReadTextLines(const std::string& path, size_t max_units, std::vector<std::string>* lines) {
  lines->clear();
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) return false;
  std::string_view text(bytes);
  if (text.substr(0, 3) == kUtf8Bom) text.remove_prefix(3);
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      AddLine(text, max_units, lines);
      break;
    }
    AddLine(text.substr(0, end), max_units, lines);
    text.remove_prefix(end + 1);
  }
  return true;
}

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes = kUtf8Bom;
  for (const std::string& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  return platform::WriteFileAtomically(path, bytes);
}

}  // namespace velmor
