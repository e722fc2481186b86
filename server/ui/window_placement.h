// Where a dialog goes when it opens: at its saved position when that is
// still visible on some monitor, else centred.
#pragma once

#include <vector>

#include "core/window_rect.h"

namespace velmor::ui {

// True when the saved rectangle can be grabbed on one of the work areas:
// the line half a caption below its top lies inside the area, and its
// left edge, right edge or middle (tried in this order) does too.
bool SavedRectVisible(const WindowRect& saved, int caption_height,
                      const std::vector<WindowRect>& work_areas);

// The top-left corner that centres a window of the given size on an area.
struct Point {
  int x = 0;
  int y = 0;
};
Point CentreOn(const WindowRect& area, int width, int height);

}  // namespace velmor::ui
