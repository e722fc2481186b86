// The process-wide key table: one entry per low byte of a virtual-key code,
// written by the keyboard hook on the host's thread and read by the mouse
// remote's sender, so every entry is read and written atomically.
#pragma once

#include <cstdint>

namespace velmor {

// The keys the remote reports (their virtual-key codes are their capitals).
inline constexpr uint32_t kRemoteKeys[] = {'A', 'B', 'C', 'X', 'Y', 'Z'};

bool KeyIsDown(uint32_t virtual_key);
void SetKeyDown(uint32_t virtual_key, bool down);
void ClearKeyTable();

// What a keyboard hook saw.
enum class HookedKeyMessage { kKeyDown, kKeyUp, kSystemKeyDown, kSystemKeyUp };

// Notes one hooked key message in the table (a key pressed with Alt held
// is not noted, but a key let go with Alt held is up); true when the hook
// must swallow the message (the keys the remote reports), false when it
// passes it on.
bool NoteHookedKey(uint32_t virtual_key, HookedKeyMessage message);

}  // namespace velmor
