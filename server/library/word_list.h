// The search word list kept in "WordList.txt": which file it lives in and
// whether it has changes to save.
#pragma once

#include <string>

namespace velmor {

class WordList {
 public:
  // Sets the list's file; the words are read from it when the list loads.
  void SetFile(const std::string& path) { file_ = path; }
  const std::string& file() const { return file_; }
  bool dirty() const { return dirty_; }

 private:
  std::string file_;
  bool dirty_ = false;
};

}  // namespace velmor
