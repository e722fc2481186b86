// The keyboard hook that feeds the key table (key_table.h) while capture is
// on, and keeps the keys A, B, C, X, Y and Z from other programs.
#pragma once

#include <memory>

namespace velmor {

class KeyHook {
 public:
  virtual ~KeyHook() = default;
  // Installs the hook for all threads, on the thread that calls it (the
  // host's thread); false when it cannot be installed.
  virtual bool Install() = 0;
  // Removes it; nothing when it is not installed.
  virtual void Remove() = 0;
};

// The keyboard hook of this build, or null when it has none (the keys then
// read as up).
std::shared_ptr<KeyHook> OpenKeyHook();

}  // namespace velmor
