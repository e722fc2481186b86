// Pivra on X11. One thread owns the X connection: it reads the XInput2 raw
// events of every pointer (movement before acceleration, wheel notches,
// buttons) and takes or gives back the pointer when asked.
//
// While capture is on, the pointer is grabbed and confined to a 1x1 window
// under it, so the X server itself keeps it still: no event reaches another
// window and nothing flickers, as a warp back after each move would. Raw
// events still arrive, since they are taken before confinement. When the
// process ends or crashes, the X server drops the grab with the connection.
//
// libX11 and libXi are loaded at run time, so a server without them still
// starts (Pivra_Create then answers null).
#include "pivra/pivra.h"

#include <climits>
#include <cmath>
#include <memory>
#include <mutex>

#include "pivra/x11_calls.h"
#include "pivra/x11_connection.h"

namespace {

using pivra::XConnection;

int TakeWhole(double* sum) {
  double whole = std::trunc(*sum);
  *sum -= whole;
  if (whole > INT_MAX) return INT_MAX;
  if (whole < INT_MIN) return INT_MIN;
  return static_cast<int>(whole);
}

class Capture {
 public:
  // Null without a display or without XInput 2.1.
  static Capture* Open();
  ~Capture();

  void SetCapturing(bool capturing);
  void TakeSnapshot();
  int State(int index);

 private:
  Capture(std::unique_ptr<XConnection> connection, int xi_opcode);
  void OnEvent(XEvent* event);
  void OnRawEvent(const XIRawEvent& event);
  bool Settle(bool quitting);
  bool TakePointer();
  void GivePointerBack();

  const std::unique_ptr<XConnection> connection_;
  const pivra::XCalls& x_;
  Display* const display_;  // used by the connection's thread only, after the start
  const int xi_opcode_;
  Window confine_window_ = 0;  // set while the pointer is taken

  std::mutex mutex_;
  bool want_capture_ = false;
  bool pointer_taken_ = false;
  double moved_x_ = 0, moved_y_ = 0, wheel_ = 0;  // since the last snapshot
  bool buttons_[3] = {};                          // left, right, middle
  int snapshot_[6] = {};
};

Capture* Capture::Open() {
  const pivra::XiCalls* xi = pivra::LoadXiCalls();
  if (xi == nullptr) return nullptr;
  std::unique_ptr<XConnection> connection = XConnection::Open();
  if (connection == nullptr) return nullptr;
  const pivra::XCalls& x = connection->x();
  Display* display = connection->display();
  int xi_opcode = 0, first_event = 0, first_error = 0;
  int major = 2, minor = 2;  // raw events reach every client, grabbed or not
  if (!x.QueryExtension(display, "XInputExtension", &xi_opcode, &first_event, &first_error) ||
      xi->IQueryVersion(display, &major, &minor) != Success || major < 2 ||
      (major == 2 && minor < 1)) {
    return nullptr;
  }
  unsigned char mask_bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask_bits, XI_RawMotion);
  XISetMask(mask_bits, XI_RawButtonPress);
  XISetMask(mask_bits, XI_RawButtonRelease);
  XIEventMask mask = {XIAllMasterDevices, static_cast<int>(sizeof mask_bits), mask_bits};
  xi->ISelectEvents(display, x.DefaultRootWindowOf(display), &mask, 1);
  x.Sync(display, False);
  return new Capture(std::move(connection), xi_opcode);
}

Capture::Capture(std::unique_ptr<XConnection> connection, int xi_opcode)
    : connection_(std::move(connection)),
      x_(connection_->x()),
      display_(connection_->display()),
      xi_opcode_(xi_opcode) {
  connection_->Start([this](XEvent* event) { OnEvent(event); },
                     [this](bool quitting) { return Settle(quitting); });
}

Capture::~Capture() {
  connection_->Stop();  // the thread has given the pointer back
}

// Returns once the thread has taken or given back the pointer, so input
// after Pivra_Start is captured. A pointer held by another client's grab
// (an open menu) is taken as soon as that grab ends.
void Capture::SetCapturing(bool capturing) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    want_capture_ = capturing;
  }
  connection_->SettleNow();
}

void Capture::TakeSnapshot() {
  std::lock_guard<std::mutex> lock(mutex_);
  snapshot_[PIVRA_STATE_MOVE_X] = TakeWhole(&moved_x_);
  snapshot_[PIVRA_STATE_MOVE_Y] = TakeWhole(&moved_y_);
  snapshot_[PIVRA_STATE_WHEEL] = TakeWhole(&wheel_);
  for (int i = 0; i < 3; ++i) snapshot_[PIVRA_STATE_BUTTON1 + i] = buttons_[i] ? 1 : 0;
}

int Capture::State(int index) {
  std::lock_guard<std::mutex> lock(mutex_);
  return index >= 0 && index < 6 ? snapshot_[index] : 0;
}

bool Capture::Settle(bool quitting) {
  bool want;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    want = want_capture_ && !quitting;
  }
  bool taken = confine_window_ != 0;
  if (!connection_->lost() && want != taken) {
    if (want) {
      taken = TakePointer();
    } else {
      GivePointerBack();
      taken = false;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pointer_taken_ = taken;
  }
  return want && !taken;
}

void Capture::OnEvent(XEvent* event) {
  XGenericEventCookie* cookie = &event->xcookie;
  if (cookie->type != GenericEvent || cookie->extension != xi_opcode_) return;
  if (!x_.GetEventData(display_, cookie)) return;
  OnRawEvent(*static_cast<const XIRawEvent*>(cookie->data));
  x_.FreeEventData(display_, cookie);
}

void Capture::OnRawEvent(const XIRawEvent& event) {
  std::lock_guard<std::mutex> lock(mutex_);
  switch (event.evtype) {
    case XI_RawMotion: {
      // Movement that still moved the pointer is not counted.
      if (!pointer_taken_) return;
      // raw_values holds one value per set bit of the mask; x and y are
      // valuators 0 and 1 of a pointer.
      const double* value = event.raw_values;
      int valuators = event.valuators.mask_len * 8;
      for (int i = 0; i < valuators && i < 2; ++i) {
        if (!XIMaskIsSet(event.valuators.mask, i)) continue;
        (i == 0 ? moved_x_ : moved_y_) += *value++;
      }
      return;
    }
    case XI_RawButtonPress:
    case XI_RawButtonRelease: {
      bool pressed = event.evtype == XI_RawButtonPress;
      switch (event.detail) {
        case 1:
          buttons_[0] = pressed;
          return;  // left
        case 3:
          buttons_[1] = pressed;
          return;  // right
        case 2:
          buttons_[2] = pressed;
          return;  // middle
        case 4:    // one wheel notch away from the user
        case 5:    // one notch toward the user
          if (pressed && pointer_taken_) wheel_ += event.detail == 4 ? 1 : -1;
          return;
        default:
          return;
      }
    }
    default:
      return;
  }
}

bool Capture::TakePointer() {
  Window root = x_.DefaultRootWindowOf(display_);
  Window pointer_root = 0, child = 0;
  int root_x = 0, root_y = 0, window_x = 0, window_y = 0;
  unsigned int modifiers = 0;
  if (!x_.QueryPointer(display_, root, &pointer_root, &child, &root_x, &root_y, &window_x,
                       &window_y, &modifiers)) {
    return false;  // the pointer is on another screen
  }
  XSetWindowAttributes attributes = {};
  attributes.override_redirect = True;  // no window manager in between
  Window window = x_.CreateWindow(display_, root, root_x, root_y, 1, 1, 0, CopyFromParent,
                                  InputOnly, CopyFromParent, CWOverrideRedirect, &attributes);
  x_.MapRaised(display_, window);
  int status = x_.GrabPointer(display_, window, False, 0, GrabModeAsync, GrabModeAsync, window,
                              None, CurrentTime);
  if (status != GrabSuccess) {
    x_.DestroyWindow(display_, window);
    x_.Sync(display_, False);
    return false;
  }
  confine_window_ = window;
  return true;
}

void Capture::GivePointerBack() {
  x_.UngrabPointer(display_, CurrentTime);
  x_.DestroyWindow(display_, confine_window_);
  x_.Sync(display_, False);
  confine_window_ = 0;
}

Capture* FromHandle(void* handle) { return static_cast<Capture*>(handle); }

}  // namespace

extern "C" {

void* Pivra_Create(void) { return Capture::Open(); }

void Pivra_Start(void* handle) {
  if (handle != nullptr) FromHandle(handle)->SetCapturing(true);
}

void Pivra_Stop(void* handle) {
  if (handle != nullptr) FromHandle(handle)->SetCapturing(false);
}

void Pivra_Get(void* handle) {
  if (handle != nullptr) FromHandle(handle)->TakeSnapshot();
}

int Pivra_GetState(void* handle, int index) {
  return handle != nullptr ? FromHandle(handle)->State(index) : 0;
}

void Pivra_Release(void* handle) { delete FromHandle(handle); }

}  // extern "C"
