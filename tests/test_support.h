// Helpers shared by the tests: temporary folders and whole-file access.
#pragma once

#include <string>
#include <string_view>

namespace velmor::test {

// A fresh folder under the system's temporary folder, removed with all its
// content when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // path() joined with a relative name using "/".
  std::string Join(std::string_view name) const;

 private:
  std::string path_;
};

std::string ReadFileOrEmpty(const std::string& path);
void WriteFileOrFail(const std::string& path, std::string_view bytes);
// Removes a file or a folder with everything in it.
void RemoveTree(const std::string& path);

// The UTF-16LE bytes of a UTF-8 text, with or without a byte-order mark.
std::string Utf16LeBytes(std::string_view utf8, bool with_bom);

// Sets (or, with null, removes) an environment variable and restores it
// when the scope ends; child processes started meanwhile inherit it.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  bool had_value_ = false;
  std::string old_value_;
};

}  // namespace velmor::test
