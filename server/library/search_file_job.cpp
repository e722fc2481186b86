#include "library/search_file_job.h"

#include "base/utf.h"
#include "core/paths.h"
#include "library/list_scanner.h"

namespace velmor {
namespace {

char16_t LowerUnit(char16_t unit) {
  const auto in = [unit](char16_t first, char16_t last) { return unit >= first && unit <= last; };
  if (in(u'A', u'Z') || in(0xFF21, 0xFF3A) || in(0x0410, 0x042F)) return unit + 0x20;
  if (in(0x00C0, 0x00DE) && unit != 0x00D7) return unit + 0x20;
  if (in(0x0391, 0x03A9) && unit != 0x03A2) return unit + 0x20;
  if (in(0x0400, 0x040F)) return unit + 0x50;
  return unit;
}

}  // namespace

std::string NormalizeSearchText(std::string_view text) {
  std::u16string units = Utf8ToUtf16(text);
  for (char16_t& unit : units) {
    unit = unit == u' ' || unit == u'-' ? u'_' : LowerUnit(unit);
  }
  return Utf16ToUtf8(units);
}

void SearchFileJob::Start(const SearchSettings& settings, std::string_view query, int mode) {
  mode_ = mode;
  Prepare(settings, NormalizeSearchText(CutToUtf16Units(query, kSearchTextMaxUnits)));
}

int SearchFileJob::Run() {
  ListScanner scanner(media(), settings().channels);
  return scanner.ScanListFile(0, settings().search_targets, 1, {},
                              [this](const std::string& folder, const platform::FileInfo* entry,
                                     int code) { return OnFolderEntry(folder, entry, code); });
}

int SearchFileJob::OnFolderEntry(const std::string& folder, const platform::FileInfo* entry,
                                 int code) {
  if (code == ListScanner::kFolder) {
    if (!EnterFolder(folder)) return 0;
    if ((mode_ & kChapterFolders) == 0 || table() == nullptr) return 1;
    const bool in_chapter = table()->Lock().FindChapterFolder(folder) != nullptr;
    if (in_chapter && NormalizeSearchText(folder).find(input()) != std::string::npos) {
      AppendPath(folder, kSizeFolder);
    }
    return 1;
  }
  if (code != ListScanner::kMediaFile || entry == nullptr || !ModeAllows(entry->name)) return 1;
  if (NormalizeSearchText(SplitPath(entry->name).stem).find(input()) != std::string::npos) {
    AppendPath(JoinPath(folder, entry->name), entry->size);
  }
  return 1;
}

// The file's class, tested as video, then audio, then image, must be one
// the mode asks for.
bool SearchFileJob::ModeAllows(const std::string& name) const {
  const std::string extension = SplitPath(name).extension;
  if (extension.empty()) return false;
  if ((mode_ & kVideo) != 0 && settings().video.Contains(extension)) return true;
  if ((mode_ & kAudio) != 0 && settings().audio.Contains(extension)) return true;
  return (mode_ & kImage) != 0 && settings().image.Contains(extension);
}

}  // namespace velmor
