#include "ui/dialog_placement.h"

#include <vector>

#include "ui/window_placement.h"

namespace velmor::ui {
namespace {

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) {
    const RECT& r = info.rcWork;
    reinterpret_cast<std::vector<WindowRect>*>(data)->push_back({r.left, r.top, r.right, r.bottom});
  }
  return TRUE;
}

}  // namespace

void PlaceSavedWindow(HWND window, const WindowRect& saved) {
  RECT current;
  GetWindowRect(window, &current);
  const int width = current.right - current.left;
  const int height = current.bottom - current.top;
  std::vector<WindowRect> work_areas;
  EnumDisplayMonitors(nullptr, nullptr, &AddWorkArea, reinterpret_cast<LPARAM>(&work_areas));
  Point corner{saved.left, saved.top};
  if (!SavedRectVisible(saved, GetSystemMetrics(SM_CYCAPTION), work_areas)) {
    RECT primary = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &primary, 0);
    corner = CentreOn({primary.left, primary.top, primary.right, primary.bottom}, width, height);
  }
  SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void KeepWindowRect(HWND window, WindowRect* rect) {
  if (IsIconic(window) || IsZoomed(window) || !IsWindowVisible(window)) return;
  RECT r;
  if (GetWindowRect(window, &r)) *rect = {r.left, r.top, r.right, r.bottom};
}

}  // namespace velmor::ui
