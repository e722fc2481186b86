// Pivra: captures the PC mouse for the mouse remote. While capture is on,
// the mouse no longer moves the PC's pointer; its movement, wheel and
// buttons are counted instead and read snapshot by snapshot.
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

#ifdef __cplusplus
}
#endif
