#include "core/window_rect.h"

#include <cstdio>

#include "base/decimal_text.h"
#include "core/config.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"

namespace velmor {
namespace {

constexpr const char* kRectKeys[4] = {"mrcWnd.rcLeft", "mrcWnd.rcTop", "mrcWnd.rcRight",
                                      "mrcWnd.rcBottom"};

int* RectField(WindowRect* rect, int index) {
  int* fields[4] = {&rect->left, &rect->top, &rect->right, &rect->bottom};
  return fields[index];
}

// Rectangles are written right-aligned in eight characters.
std::string FormatCoordinate(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%8d", value);
  return text;
}

}  // namespace

bool LoadWindowRect(const std::string& section, WindowRect* rect) {
  *rect = WindowRect();
  const std::string path = ConfigFilePath();
  if (platform::GetPathType(path) == platform::PathType::kFile) {
    WindowRect saved;
    int present = 0;
    for (int i = 0; i < 4; ++i) {
      const std::string text = platform::ReadIniString(path, section, kRectKeys[i], "", 260);
      if (!text.empty() && ParseDecimalInt(text, RectField(&saved, i))) ++present;
    }
    if (present == 4) {
      *rect = saved;
      return true;
    }
  }
  SaveWindowRect(section, *rect);
  return false;
}

void SaveWindowRect(const std::string& section, const WindowRect& rect) {
  const std::string path = ConfigFilePath();
  WindowRect copy = rect;
  for (int i = 0; i < 4; ++i) {
    platform::WriteIniString(path, section, kRectKeys[i], FormatCoordinate(*RectField(&copy, i)));
  }
}

}  // namespace velmor
