// Pivra: captures the PC mouse for the mouse remote. While capture is on,
// the mouse no longer moves the PC's pointer; its movement, wheel and
// buttons are counted instead and read snapshot by snapshot. A key grab
// beside it takes the remote's keys.
//
// Every call accepts a null handle and then does nothing (or returns 0).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// What Pivra_GetState reads from the last snapshot.
enum {
  PIVRA_STATE_MOVE_X = 0,   // horizontal movement in the snapshot, right > 0
  PIVRA_STATE_MOVE_Y = 1,   // vertical movement, down > 0
  PIVRA_STATE_WHEEL = 2,    // wheel notches, away from the user > 0
  PIVRA_STATE_BUTTON1 = 3,  // left button, 1 while pressed
  PIVRA_STATE_BUTTON2 = 4,  // right button
  PIVRA_STATE_BUTTON3 = 5,  // middle button
};

// A handle, or null when the mouse cannot be captured here (no display).
void* Pivra_Create(void);
// Takes the mouse: from now on it no longer moves the pointer.
void Pivra_Start(void* handle);
// Gives the mouse back to the pointer.
void Pivra_Stop(void* handle);
// Takes one snapshot of the input since the previous snapshot.
void Pivra_Get(void* handle);
// One value of the last snapshot; 0 for an index outside 0 to 5.
int Pivra_GetState(void* handle, int index);
// Gives the mouse back and frees the handle.
void Pivra_Release(void* handle);

// The keys A, B, C, X, Y and Z for the remote, on X11 only (Windows has a
// low-level keyboard hook for them): while grabbed, their presses and
// releases go to a callback instead of the program with the keyboard
// focus. Other keys are passed on, except while one of the six is held.
#ifndef _WIN32

// What the callback is told.
enum {
  PIVRA_KEY_DOWN = 0,         // pressed (again, when held: auto-repeat)
  PIVRA_KEY_UP = 1,           // released
  PIVRA_KEY_SYSTEM_DOWN = 2,  // pressed with Alt held
  PIVRA_KEY_SYSTEM_UP = 3,    // released with Alt held
};
// virtual_key: the Windows virtual-key code, for a letter its capital
// ('A'). Called on a thread of the library's own, one call at a time.
typedef void (*PivraKeyCallback)(void* context, int virtual_key, int message);

// Grabs the keys and reports them to callback with context until
// PivraKeys_Release. Null when they cannot be grabbed here (no display) or
// callback is null. A key another program grabbed first stays with it.
void* PivraKeys_Grab(PivraKeyCallback callback, void* context);
// Gives the keys back and frees the grab (null: nothing); once it returns
// the callback is not called any more.
void PivraKeys_Release(void* grab);
#endif

#ifdef __cplusplus
}
#endif
