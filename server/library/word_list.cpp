#include "library/word_list.h"

#include <algorithm>
#include <utility>

#include "base/get_token.h"
#include "base/utf.h"
#include "core/paths.h"
#include "core/text_file.h"
#include "library/sort_items.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

std::string KeyOf(std::string_view id, std::string_view word) {
  std::string key(id);
  key.push_back('\0');
  key.append(word);
  return key;
}

// Bytes that are not UTF-8 become U+FFFD once, at reading, so the list
// holds only text it can write back as it read it.
std::string ValidUtf8(std::string_view text) { return Utf16ToUtf8(Utf8ToUtf16(text)); }

// A pair read from a file is kept when it fits a line of its own when
// written back; a longer one would come back split into pieces.
bool FitsOneLine(std::string_view id, std::string_view word) {
  return Utf16Length(WordLine(id, {word})) <= WordList::kLineMaxUnits;
}

}  // namespace

std::string WordLine(std::string_view id, const std::vector<std::string_view>& words) {
  std::string line = "#dat\t\"" + std::string(id) + "\"";
  for (const std::string_view word : words) line += " \"" + std::string(word) + "\"";
  return line;
}

void WordList::SetFile(const std::string& path) {
  if (path == file_) return;
  if (dirty_ && !file_.empty()) Save();
  file_ = path;
  platform::RemoveLeftTemporaries(file_);
  // The new file is read at the next Load even when it looks like the
  // old one.
  seen_ = FileStamp{};
  if (CurrentStamp().exists) seen_.reset();
}

bool WordList::IsStorableText(std::string_view text) {
  if (Utf16Length(text) > kMaxTextUnits) return false;
  // A quote would end the word in the file and in the reply text; control
  // characters (line breaks) would cut the line.
  return std::none_of(text.begin(), text.end(), [](char c) {
    return c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

int WordList::Add(std::string_view id, std::string_view word) {
  if (!IsStorableText(id) || !IsStorableText(word)) return 0;
  if (!AddUnique({ValidUtf8(id), ValidUtf8(word)})) return 0;
  dirty_ = true;
  return 1;
}

void WordList::Remove(std::string_view id, std::string_view word) {
  const auto removed = std::remove_if(words_.begin(), words_.end(), [&](const S_WORD& entry) {
    return entry.id == id && entry.word == word;
  });
  words_.erase(removed, words_.end());
  keys_.erase(KeyOf(id, word));
  dirty_ = true;
}

bool WordList::AddUnique(S_WORD entry) {
  if (!keys_.insert(KeyOf(entry.id, entry.word)).second) return false;
  words_.push_back(std::move(entry));
  return true;
}

void WordList::Clear() {
  words_.clear();
  keys_.clear();
}

WordList::FileStamp WordList::CurrentStamp() const {
  platform::FileInfo info;
  if (file_.empty() || !platform::GetFileInfo(ToHostSeparators(file_), &info) || info.is_folder) {
    return FileStamp{};
  }
  return FileStamp{true, info.write_time, info.size};
}

bool WordList::IsUpdated() const { return !seen_ || CurrentStamp() != *seen_; }

int WordList::Load() {
  const FileStamp stamp = CurrentStamp();
  if (seen_ && stamp == *seen_) return 1;
  seen_.reset();
  std::vector<std::string> lines;
  if (!stamp.exists || !ReadTextLines(ToHostSeparators(file_), kLineMaxUnits, &lines)) return 0;
  Clear();
  ReadLines(lines);
  dirty_ = false;
  seen_ = stamp;
  return 1;
}

void WordList::ReadLines(const std::vector<std::string>& lines) {
  bool started = false;
  for (const std::string& line : lines) {
    if (line == "#end") return;
    if (line == "#start") {
      started = true;
      continue;
    }
    std::string token;
    size_t position = 0;
    if (!started || !GetToken(line, 1, &token, &position) || token != "#dat") continue;
    std::string id;
    size_t next = 0;
    if (!GetToken(std::string_view(line).substr(position), 1, &id, &next)) continue;
    id = ValidUtf8(id);
    position += next;
    std::string word;
    while (GetToken(std::string_view(line).substr(position), 1, &word, &next)) {
      position += next;
      word = ValidUtf8(word);
      if (FitsOneLine(id, word)) AddUnique({id, word});
    }
  }
}

int WordList::Save() {
  if (IsUpdated()) {
    const std::vector<S_WORD> mine = words_;
    Load();
    for (const S_WORD& entry : mine) {
      if (AddUnique(entry)) dirty_ = true;
    }
  }
  if (!dirty_) return 1;
  std::stable_sort(words_.begin(), words_.end(), [](const S_WORD& a, const S_WORD& b) {
    return CompareUtf16Units(a.id, b.id) < 0;
  });
  if (!WriteTextLines(ToHostSeparators(file_), FileLines())) return 0;
  dirty_ = false;
  seen_ = CurrentStamp();
  return 1;
}

// "#start", the "#dat" lines, "#end". A line holds one id's words, ten at
// most, and never more than a reader takes in one line: a longer one would
// be read back as two lines, the second of them lost.
std::vector<std::string> WordList::FileLines() const {
  std::vector<std::string> lines = {"#start"};
  const std::string* line_id = nullptr;
  std::vector<std::string_view> line_words;
  auto end_line = [&] {
    if (line_id != nullptr) lines.push_back(WordLine(*line_id, line_words));
    line_words.clear();
  };
  size_t line_units = 0;
  for (const S_WORD& entry : words_) {
    const size_t word_units = Utf16Length(entry.word) + 3;  // a blank and two quotes
    const bool fits = line_id != nullptr && *line_id == entry.id &&
                      static_cast<int>(line_words.size()) < kWordsPerLine &&
                      line_units + word_units <= kLineMaxUnits;
    if (!fits) {
      end_line();
      line_id = &entry.id;
      line_units = Utf16Length(WordLine(entry.id, {}));
    }
    line_words.push_back(entry.word);
    line_units += word_units;
  }
  end_line();
  lines.push_back("#end");
  return lines;
}

}  // namespace velmor
