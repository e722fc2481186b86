// Pivra's key grab on X11. The keys A, B, C, X, Y and Z are grabbed on the
// root window with every modifier combination, so the X server hands them
// to this connection instead of the window with the keyboard focus. The
// connection's thread reports them to the callback.
//
// Pressing a grabbed key makes the grab active until the key is released:
// in that moment every key comes here, and the keys other than the six are
// dropped. The connection asks for detectable auto-repeat, so a held key
// repeats its press without a release in between and reads as held.
#include <X11/keysym.h>

#include <memory>

#include "pivra/pivra.h"
#include "pivra/x11_calls.h"
#include "pivra/x11_connection.h"

namespace {

using pivra::XConnection;

struct GrabbedKey {
  KeySym keysym;
  int virtual_key;  // Windows numbering: a letter is its capital
};
constexpr GrabbedKey kGrabbedKeys[] = {{XK_a, 'A'}, {XK_b, 'B'}, {XK_c, 'C'},
                                       {XK_x, 'X'}, {XK_y, 'Y'}, {XK_z, 'Z'}};
constexpr int kKeyCount = sizeof kGrabbedKeys / sizeof kGrabbedKeys[0];

class KeyGrab {
 public:
  // Null without a display.
  static KeyGrab* Open(PivraKeyCallback callback, void* context);
  ~KeyGrab();

 private:
  KeyGrab(std::unique_ptr<XConnection> connection, PivraKeyCallback callback, void* context);
  void OnEvent(XEvent* event);
  bool Settle(bool quitting);

  const std::unique_ptr<XConnection> connection_;
  const PivraKeyCallback callback_;
  void* const context_;
  Window root_ = 0;
  KeyCode keycodes_[kKeyCount] = {};  // 0: the key is on no key of this keyboard
};

KeyGrab* KeyGrab::Open(PivraKeyCallback callback, void* context) {
  std::unique_ptr<XConnection> connection = XConnection::Open();
  if (connection == nullptr) return nullptr;
  return new KeyGrab(std::move(connection), callback, context);
}

KeyGrab::KeyGrab(std::unique_ptr<XConnection> connection, PivraKeyCallback callback, void* context)
    : connection_(std::move(connection)), callback_(callback), context_(context) {
  const pivra::XCalls& x = connection_->x();
  Display* display = connection_->display();
  root_ = x.DefaultRootWindowOf(display);
  Bool supported = False;
  x.SetDetectableAutoRepeat(display, True, &supported);
  for (int i = 0; i < kKeyCount; ++i) {
    keycodes_[i] = x.KeysymToKeycode(display, kGrabbedKeys[i].keysym);
    if (keycodes_[i] == 0) continue;
    // Asynchronous both ways: the rest of the input goes on untouched.
    x.GrabKey(display, keycodes_[i], AnyModifier, root_, False, GrabModeAsync, GrabModeAsync);
  }
  // The grabs hold once the server has them: keys pressed after
  // PivraKeys_Grab returns are grabbed.
  x.Sync(display, False);
  connection_->Start([this](XEvent* event) { OnEvent(event); },
                     [this](bool quitting) { return Settle(quitting); });
}

KeyGrab::~KeyGrab() {
  connection_->Stop();  // the thread has ungrabbed the keys
}

void KeyGrab::OnEvent(XEvent* event) {
  if (event->type != KeyPress && event->type != KeyRelease) return;
  const XKeyEvent& key = event->xkey;
  for (int i = 0; i < kKeyCount; ++i) {
    if (keycodes_[i] == 0 || keycodes_[i] != key.keycode) continue;
    // With Alt held the key belongs to a system shortcut.
    const bool system = (key.state & Mod1Mask) != 0;
    int message;
    if (event->type == KeyPress) {
      message = system ? PIVRA_KEY_SYSTEM_DOWN : PIVRA_KEY_DOWN;
    } else {
      message = system ? PIVRA_KEY_SYSTEM_UP : PIVRA_KEY_UP;
    }
    callback_(context_, kGrabbedKeys[i].virtual_key, message);
    return;
  }
}

bool KeyGrab::Settle(bool quitting) {
  if (!quitting || connection_->lost()) return false;
  const pivra::XCalls& x = connection_->x();
  Display* display = connection_->display();
  for (const KeyCode keycode : keycodes_) {
    if (keycode != 0) x.UngrabKey(display, keycode, AnyModifier, root_);
  }
  // A key held right now keeps the keyboard grabbed until its release.
  x.UngrabKeyboard(display, CurrentTime);
  x.Sync(display, False);
  return false;
}

KeyGrab* FromHandle(void* handle) { return static_cast<KeyGrab*>(handle); }

}  // namespace

extern "C" {

void* PivraKeys_Grab(PivraKeyCallback callback, void* context) {
  if (callback == nullptr) return nullptr;
  return KeyGrab::Open(callback, context);
}

void PivraKeys_Release(void* grab) { delete FromHandle(grab); }

}  // extern "C"
