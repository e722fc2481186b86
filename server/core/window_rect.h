// The rectangles the dialogs remember in the settings file, one section per
// dialog class ("cdlgMain", "cdlgConfig", ...).
#pragma once

#include <string>

namespace velmor {

struct WindowRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool operator==(const WindowRect&) const = default;
};

// True with the saved rectangle when all four keys are present; otherwise
// the rectangle is all zeros and the four keys are written as zeros.
bool LoadWindowRect(const std::string& section, WindowRect* rect);
void SaveWindowRect(const std::string& section, const WindowRect& rect);

}  // namespace velmor
