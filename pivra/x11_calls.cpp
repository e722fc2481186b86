#include "pivra/x11_calls.h"

#include <dlfcn.h>

namespace pivra {
namespace {

template <typename Function>
bool Bind(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  return *function != nullptr;
}

// A failed request (a window gone between two calls, a key another client
// grabbed first) must not end the process, as Xlib's default handler would.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }
// A lost connection is told by the exit handler of its display.
int IgnoreIOError(Display*) { return 0; }

}  // namespace

const XCalls* LoadXCalls() {
  static XCalls calls;
  static const bool loaded = [] {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (x11 == nullptr) return false;
    bool bound =
        Bind(x11, "XOpenDisplay", &calls.OpenDisplay) &&
        Bind(x11, "XCloseDisplay", &calls.CloseDisplay) &&
        Bind(x11, "XDefaultRootWindow", &calls.DefaultRootWindowOf) &&
        Bind(x11, "XConnectionNumber", &calls.ConnectionNumberOf) &&
        Bind(x11, "XQueryExtension", &calls.QueryExtension) &&
        Bind(x11, "XPending", &calls.Pending) && Bind(x11, "XNextEvent", &calls.NextEvent) &&
        Bind(x11, "XGetEventData", &calls.GetEventData) &&
        Bind(x11, "XFreeEventData", &calls.FreeEventData) &&
        Bind(x11, "XQueryPointer", &calls.QueryPointer) &&
        Bind(x11, "XCreateWindow", &calls.CreateWindow) &&
        Bind(x11, "XMapRaised", &calls.MapRaised) &&
        Bind(x11, "XDestroyWindow", &calls.DestroyWindow) &&
        Bind(x11, "XGrabPointer", &calls.GrabPointer) &&
        Bind(x11, "XUngrabPointer", &calls.UngrabPointer) &&
        Bind(x11, "XKeysymToKeycode", &calls.KeysymToKeycode) &&
        Bind(x11, "XGrabKey", &calls.GrabKey) && Bind(x11, "XUngrabKey", &calls.UngrabKey) &&
        Bind(x11, "XUngrabKeyboard", &calls.UngrabKeyboard) &&
        Bind(x11, "XkbSetDetectableAutoRepeat", &calls.SetDetectableAutoRepeat) &&
        Bind(x11, "XSync", &calls.Sync) && Bind(x11, "XSetErrorHandler", &calls.SetErrorHandler) &&
        Bind(x11, "XSetIOErrorHandler", &calls.SetIOErrorHandler) &&
        Bind(x11, "XSetIOErrorExitHandler", &calls.SetIOErrorExitHandler);
    if (!bound) return false;
    calls.SetErrorHandler(IgnoreXError);
    calls.SetIOErrorHandler(IgnoreIOError);
    return true;
  }();
  return loaded ? &calls : nullptr;
}

const XiCalls* LoadXiCalls() {
  static XiCalls calls;
  static const bool loaded = [] {
    void* xi = dlopen("libXi.so.6", RTLD_NOW | RTLD_LOCAL);
    if (xi == nullptr) return false;
    return Bind(xi, "XIQueryVersion", &calls.IQueryVersion) &&
           Bind(xi, "XISelectEvents", &calls.ISelectEvents);
  }();
  return loaded ? &calls : nullptr;
}

}  // namespace pivra
