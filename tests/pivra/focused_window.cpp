#include "focused_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// After gtest: Xlib's macros (None, Bool ...) would break its templates.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace velmor::test {

struct FocusedWindow::Connection {
  Display* display = nullptr;
  Window window = 0;
};

FocusedWindow::FocusedWindow() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    ADD_FAILURE() << "no display";
    return;
  }
  connection_ = std::make_unique<Connection>(Connection{display, 0});
  const Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
  connection_->window = window;
  XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
  XMapRaised(display, window);
  XEvent event;
  do {
    XNextEvent(display, &event);  // focus needs a viewable window
  } while (event.type != MapNotify);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
}

FocusedWindow::~FocusedWindow() {
  if (connection_ != nullptr) XCloseDisplay(connection_->display);
}

std::string FocusedWindow::LettersUntil(char last_letter) {
  std::string letters;
  if (connection_ == nullptr) return letters;
  Display* display = connection_->display;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != KeyPress) continue;
      const KeySym keysym = XLookupKeysym(&event.xkey, 0);
      if (keysym < XK_a || keysym > XK_z) continue;
      letters += static_cast<char>('a' + (keysym - XK_a));
      if (letters.back() == last_letter) return letters;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return letters;
}

}  // namespace velmor::test
