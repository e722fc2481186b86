#include "ui/window_placement.h"

namespace velmor::ui {

bool SavedRectVisible(const WindowRect& saved, int caption_height,
                      const std::vector<WindowRect>& work_areas) {
  if (saved.left == saved.right) return false;  // nothing saved yet
  const int y = saved.top + caption_height / 2;
  const int xs[] = {saved.left, saved.right, (saved.left + saved.right) / 2};
  for (const WindowRect& area : work_areas) {
    if (y < area.top || y >= area.bottom) continue;
    for (const int x : xs) {
      if (area.left <= x && x < area.right) return true;
    }
  }
  return false;
}

Point CentreOn(const WindowRect& area, int width, int height) {
  return {area.left + (area.right - area.left - width) / 2,
          area.top + (area.bottom - area.top - height) / 2};
}

}  // namespace velmor::ui
