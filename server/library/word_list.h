// The word list: (id, word) pairs the player stores on the server and reads
// back, kept in "WordList.txt" (UTF-8 with a byte-order mark):
//
//   #start
//   #dat	"artist" "first word" "second word"
//   #end
//
// Lines before "#start" and after "#end" are ignored; each "#dat" line adds
// its words (token 3 on) to its id (token 2). The list is written sorted by
// id, at most ten words to a line. Other servers and text editors may change
// the file: a save first merges what changed on disk.
//
// The list has no lock: the command session uses it, and server start before
// the session runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/file_system.h"

namespace velmor {

struct S_WORD {
  std::string id;
  std::string word;
  bool operator==(const S_WORD&) const = default;
};

class WordList {
 public:
  // What the player may add: the id and the word each at most this many
  // UTF-16 characters, as the player and the other servers that share the
  // file hold them.
  static constexpr size_t kMaxTextUnits = 31;
  // Lines are read (and so written) at most this many UTF-16 characters.
  static constexpr size_t kLineMaxUnits = 259;
  static constexpr int kWordsPerLine = 10;

  // Sets the list's file. Changes still unsaved go to the old file first;
  // the new file is read at the next Load.
  void SetFile(const std::string& path);
  const std::string& file() const { return file_; }
  bool dirty() const { return dirty_; }

  // Reads the file anew unless it is unchanged since the last load or save.
  // 1, or 0 when the file cannot be read (the list then stays as it was).
  int Load();
  // Writes the list when it has unsaved changes, after merging in what
  // changed on disk. 1, or 0 when the file cannot be written (the list then
  // stays dirty).
  int Save();
  // True when the file changed on disk since the last load or save.
  bool IsUpdated() const;

  // Appends the pair: 1, or 0 when exactly that pair exists or the pair
  // cannot be stored (too long, a '"' or a control character).
  int Add(std::string_view id, std::string_view word);
  // Removes every entry equal to the pair.
  void Remove(std::string_view id, std::string_view word);
  // The entries in list order (insertion order, or id order after a save).
  const std::vector<S_WORD>& words() const { return words_; }

  // Whether the player may add this id or word.
  static bool IsStorableText(std::string_view text);

 private:
  // The file as last seen; either part may change alone on coarse file
  // systems.
  struct FileStamp {
    bool exists = false;
    platform::FileTime write_time = 0;
    int64_t size = 0;
    bool operator==(const FileStamp&) const = default;
  };

  FileStamp CurrentStamp() const;
  bool AddUnique(S_WORD entry);
  void Clear();
  void ReadLines(const std::vector<std::string>& lines);
  std::vector<std::string> FileLines() const;

  std::string file_;
  std::vector<S_WORD> words_;
  std::unordered_set<std::string> keys_;  // id, NUL, word: the duplicate check
  bool dirty_ = false;
  // Unset when the file must be read before it can count as seen.
  std::optional<FileStamp> seen_ = FileStamp{};
};

// The "#dat" line of an id and its words, quoted.
std::string WordLine(std::string_view id, const std::vector<std::string_view>& words);

}  // namespace velmor
