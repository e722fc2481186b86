// Putting a dialog where the user left it, and remembering where that was.
#pragma once

#include <windows.h>

#include "core/window_rect.h"

namespace velmor::ui {

// Moves the window, keeping its size, to the saved rectangle's corner when
// that can still be grabbed on some monitor, else centres it on the primary
// monitor's work area.
void PlaceSavedWindow(HWND window, const WindowRect& saved);

// The window's rectangle into *rect, unless it is minimised, maximised or
// hidden (then *rect keeps the last normal one).
void KeepWindowRect(HWND window, WindowRect* rect);

}  // namespace velmor::ui
