// Where a dialog opens: its saved position while some monitor still shows
// the strip below its top edge, else centred.
#include "ui/window_placement.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmor::ui {
namespace {

TEST(WindowPlacementTest, SavedRectIsUsedWhileAMonitorShowsItsCaption) {
  // A primary monitor with a task bar at the bottom, and one to its left.
  const std::vector<WindowRect> monitors = {{0, 0, 1920, 1040}, {-1280, 0, 0, 1024}};
  const int caption = 20;
  struct Case {
    WindowRect saved;
    bool visible;
    const char* why;
  };
  const Case cases[] = {
      {{100, 100, 700, 500}, true, "wholly on the primary monitor"},
      {{-1000, 200, -400, 600}, true, "wholly on the left monitor"},
      {{1800, 100, 2400, 500}, true, "only its left edge on a monitor"},
      {{-3000, 100, -1200, 500}, true, "only its right edge on a monitor"},
      {{-2000, 100, 4000, 500}, true, "only its middle on a monitor"},
      {{2000, 100, 2600, 500}, false, "right of every monitor"},
      {{100, 1030, 700, 1400}, false, "caption strip below the primary work area"},
      {{100, -8, 700, 400}, true, "top above the screen, caption strip still on it"},
      {{100, -30, 700, 400}, false, "caption strip above the screen"},
      {{0, 0, 0, 0}, false, "nothing saved"},
      {{6000, 5000, 6600, 5400}, false, "on a monitor that is gone"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SavedRectVisible(c.saved, caption, monitors), c.visible) << c.why;
  }
  EXPECT_FALSE(SavedRectVisible({100, 100, 700, 500}, caption, {})) << "no monitor";
}

TEST(WindowPlacementTest, CentresOnTheArea) {
  const Point corner = CentreOn({0, 0, 1920, 1040}, 600, 400);
  EXPECT_EQ(corner.x, 660);
  EXPECT_EQ(corner.y, 320);
  const Point left = CentreOn({-1280, 0, 0, 1024}, 600, 400);
  EXPECT_EQ(left.x, -940);
  EXPECT_EQ(left.y, 312);
}

}  // namespace
}  // namespace velmor::ui
