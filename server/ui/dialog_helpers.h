// The small pickers the dialogs share: a file, a folder, and a text file
// opened in Notepad. Paths are UTF-8.
#pragma once

#include <string>

#include <windows.h>

namespace velmor::ui {

// A dialog control's text (at most 259 characters, as a setting holds),
// and setting it, in UTF-8.
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::string& text);

// The two filters the pickers use.
enum class FileFilter { kDataTable, kPlaylist };

// Shows the open-file dialog starting from *value (relative values are
// taken from the program folder). True with *value set to the choice, made
// relative when it lies inside the program folder; false when cancelled.
bool PickFile(HWND owner, std::string* value, FileFilter filter);

// Shows the folder browser starting from *value. In relative mode a
// relative start is taken from the program folder and a choice inside the
// program folder comes back relative.
bool PickFolder(HWND owner, bool relative, std::string* value);

// Opens the file in Notepad; a bare name is taken from the program folder.
void OpenInNotepad(const std::string& path);

// "C:\prog\lists\a.vrl" inside "C:\prog" gives "lists\a.vrl"; a path
// elsewhere comes back as it is.
std::string RelativeToProgramFolder(const std::string& path);

}  // namespace velmor::ui
