// The modal settings dialog (103): edits almost every setting; OK stores
// them and saves the settings file, Cancel and the close box leave both as
// they were.
#pragma once

#include <windows.h>

namespace velmor {
class Settings;
}

namespace velmor::ui {

// True after OK (the settings are saved; the caller applies them to the
// running servers), false after Cancel or the close box.
bool ShowSettingsDialog(HINSTANCE instance, HWND owner, Settings* settings);

}  // namespace velmor::ui
