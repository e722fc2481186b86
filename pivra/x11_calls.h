// The Xlib and XInput2 calls of Pivra, bound at run time: a server on a
// machine without libX11 or libXi still starts, and only its mouse remote
// stays off.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace pivra {

struct XCalls {
  decltype(&XOpenDisplay) OpenDisplay;
  decltype(&XCloseDisplay) CloseDisplay;
  decltype(&XDefaultRootWindow) DefaultRootWindowOf;
  decltype(&XConnectionNumber) ConnectionNumberOf;
  decltype(&XQueryExtension) QueryExtension;
  decltype(&XPending) Pending;
  decltype(&XNextEvent) NextEvent;
  decltype(&XGetEventData) GetEventData;
  decltype(&XFreeEventData) FreeEventData;
  decltype(&XQueryPointer) QueryPointer;
  decltype(&XCreateWindow) CreateWindow;
  decltype(&XMapRaised) MapRaised;
  decltype(&XDestroyWindow) DestroyWindow;
  decltype(&XGrabPointer) GrabPointer;
  decltype(&XUngrabPointer) UngrabPointer;
  decltype(&XKeysymToKeycode) KeysymToKeycode;
  decltype(&XGrabKey) GrabKey;
  decltype(&XUngrabKey) UngrabKey;
  decltype(&XUngrabKeyboard) UngrabKeyboard;
  decltype(&XkbSetDetectableAutoRepeat) SetDetectableAutoRepeat;
  decltype(&XSync) Sync;
  decltype(&XSetErrorHandler) SetErrorHandler;
  decltype(&XSetIOErrorHandler) SetIOErrorHandler;
  decltype(&XSetIOErrorExitHandler) SetIOErrorExitHandler;
};

struct XiCalls {
  decltype(&XIQueryVersion) IQueryVersion;
  decltype(&XISelectEvents) ISelectEvents;
};

// Bound once per process; null when libX11 is missing or older than 1.7,
// which brought the exit handler without which a lost X server would end
// the whole process. The first call also sets Xlib's process-wide error
// handlers (nothing else in the server speaks X).
const XCalls* LoadXCalls();
// Null when libXi is missing.
const XiCalls* LoadXiCalls();

}  // namespace pivra
