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

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

// The Xlib and XInput2 calls used here, bound once per process.
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
  decltype(&XSync) Sync;
  decltype(&XSetErrorHandler) SetErrorHandler;
  decltype(&XSetIOErrorHandler) SetIOErrorHandler;
  decltype(&XSetIOErrorExitHandler) SetIOErrorExitHandler;
  decltype(&XIQueryVersion) IQueryVersion;
  decltype(&XISelectEvents) ISelectEvents;
};

template <typename Function>
bool Bind(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  return *function != nullptr;
}

// A failed request (a window gone between two calls) must not end the
// process, as Xlib's default handler would.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }
// A lost connection is told by the exit handler of its display below.
int IgnoreIOError(Display*) { return 0; }

// Null when libX11 or libXi is missing or too old: libX11 1.7 brought the
// exit handler without which a lost X server would end the whole process.
const XCalls* LoadXCalls() {
  static XCalls calls;
  static const bool loaded = [] {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (x11 == nullptr) return false;
    void* xi = dlopen("libXi.so.6", RTLD_NOW | RTLD_LOCAL);
    if (xi == nullptr) return false;
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
        Bind(x11, "XUngrabPointer", &calls.UngrabPointer) && Bind(x11, "XSync", &calls.Sync) &&
        Bind(x11, "XSetErrorHandler", &calls.SetErrorHandler) &&
        Bind(x11, "XSetIOErrorHandler", &calls.SetIOErrorHandler) &&
        Bind(x11, "XSetIOErrorExitHandler", &calls.SetIOErrorExitHandler) &&
        Bind(xi, "XIQueryVersion", &calls.IQueryVersion) &&
        Bind(xi, "XISelectEvents", &calls.ISelectEvents);
    if (!bound) return false;
    // Process-wide handlers: nothing else in the server speaks X.
    calls.SetErrorHandler(IgnoreXError);
    calls.SetIOErrorHandler(IgnoreIOError);
    return true;
  }();
  return loaded ? &calls : nullptr;
}

int TakeWhole(double* sum) {
  double whole = std::trunc(*sum);
  *sum -= whole;
  if (whole > INT_MAX) return INT_MAX;
  if (whole < INT_MIN) return INT_MIN;
  return static_cast<int>(whole);
}

class Capture {
 public:
  // Null without a display or without XInput 2.2.
  static Capture* Open();
  ~Capture();

  void SetCapturing(bool capturing);
  void TakeSnapshot();
  int State(int index);

 private:
  Capture(const XCalls* x, Display* display, int xi_opcode, int wake_read, int wake_write);
  void Run();
  void ReadEvents();
  void OnRawEvent(const XIRawEvent& event);
  bool TakePointer();
  void GivePointerBack();
  void Wake();
  static void OnConnectionLost(Display*, void* capture);

  const XCalls* const x_;
  Display* const display_;  // used by the thread only, after the start
  const int xi_opcode_;
  const int wake_read_;
  const int wake_write_;
  Window confine_window_ = 0;  // set while the pointer is taken
  std::atomic<bool> connection_lost_{false};

  std::mutex mutex_;
  std::condition_variable settled_;
  bool want_capture_ = false;
  bool quit_ = false;
  uint64_t requests_ = 0;          // capture changes asked for
  uint64_t settled_requests_ = 0;  // capture changes the thread has tried
  bool pointer_taken_ = false;
  double moved_x_ = 0, moved_y_ = 0, wheel_ = 0;  // since the last snapshot
  bool buttons_[3] = {};                          // left, right, middle
  int snapshot_[6] = {};

  std::thread thread_;
};

Capture* Capture::Open() {
  const XCalls* x = LoadXCalls();
  if (x == nullptr) return nullptr;
  Display* display = x->OpenDisplay(nullptr);  // $DISPLAY
  if (display == nullptr) return nullptr;
  int xi_opcode = 0, first_event = 0, first_error = 0;
  int major = 2, minor = 2;  // raw events reach every client, grabbed or not
  if (!x->QueryExtension(display, "XInputExtension", &xi_opcode, &first_event, &first_error) ||
      x->IQueryVersion(display, &major, &minor) != Success || major < 2 ||
      (major == 2 && minor < 1)) {
    x->CloseDisplay(display);
    return nullptr;
  }
  unsigned char mask_bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask_bits, XI_RawMotion);
  XISetMask(mask_bits, XI_RawButtonPress);
  XISetMask(mask_bits, XI_RawButtonRelease);
  XIEventMask mask = {XIAllMasterDevices, static_cast<int>(sizeof mask_bits), mask_bits};
  x->ISelectEvents(display, x->DefaultRootWindowOf(display), &mask, 1);
  x->Sync(display, False);
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    x->CloseDisplay(display);
    return nullptr;
  }
  return new Capture(x, display, xi_opcode, wake[0], wake[1]);
}

Capture::Capture(const XCalls* x, Display* display, int xi_opcode, int wake_read, int wake_write)
    : x_(x),
      display_(display),
      xi_opcode_(xi_opcode),
      wake_read_(wake_read),
      wake_write_(wake_write) {
  x_->SetIOErrorExitHandler(display_, OnConnectionLost, this);
  thread_ = std::thread([this] { Run(); });
}

Capture::~Capture() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  Wake();
  thread_.join();  // the thread has given the pointer back
  // A display whose connection broke stays open: Xlib must not be asked
  // anything more about it.
  if (!connection_lost_) x_->CloseDisplay(display_);
  close(wake_read_);
  close(wake_write_);
}

// Returns once the thread has taken or given back the pointer, so input
// after Pivra_Start is captured. A pointer held by another client's grab
// (an open menu) is taken as soon as that grab ends.
void Capture::SetCapturing(bool capturing) {
  std::unique_lock<std::mutex> lock(mutex_);
  want_capture_ = capturing;
  uint64_t request = ++requests_;
  Wake();
  settled_.wait_for(lock, std::chrono::seconds(2), [&] { return settled_requests_ >= request; });
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

void Capture::Wake() {
  char byte = 0;
  [[maybe_unused]] ssize_t written = write(wake_write_, &byte, 1);  // a full pipe wakes as well
}

void Capture::OnConnectionLost(Display*, void* capture) {
  static_cast<Capture*>(capture)->connection_lost_ = true;
}

void Capture::Run() {
  const int x_fd = x_->ConnectionNumberOf(display_);
  for (;;) {
    if (!connection_lost_) ReadEvents();
    bool want, quit;
    uint64_t requests;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      want = want_capture_ && !quit_;
      quit = quit_;
      requests = requests_;
    }
    bool taken = confine_window_ != 0;
    if (!connection_lost_ && want != taken) {
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
      settled_requests_ = requests;
    }
    settled_.notify_all();
    if (quit) return;

    pollfd fds[2] = {{wake_read_, POLLIN, 0}, {x_fd, POLLIN, 0}};
    bool retry = want && !taken && !connection_lost_;
    poll(fds, connection_lost_ ? 1 : 2, retry ? 100 : -1);
    char drain[64];
    while (read(wake_read_, drain, sizeof drain) > 0) {
    }
  }
}

void Capture::ReadEvents() {
  while (!connection_lost_ && x_->Pending(display_) > 0) {
    XEvent event;
    x_->NextEvent(display_, &event);
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != xi_opcode_) continue;
    if (!x_->GetEventData(display_, cookie)) continue;
    OnRawEvent(*static_cast<const XIRawEvent*>(cookie->data));
    x_->FreeEventData(display_, cookie);
  }
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
  Window root = x_->DefaultRootWindowOf(display_);
  Window pointer_root = 0, child = 0;
  int root_x = 0, root_y = 0, window_x = 0, window_y = 0;
  unsigned int modifiers = 0;
  if (!x_->QueryPointer(display_, root, &pointer_root, &child, &root_x, &root_y, &window_x,
                        &window_y, &modifiers)) {
    return false;  // the pointer is on another screen
  }
  XSetWindowAttributes attributes = {};
  attributes.override_redirect = True;  // no window manager in between
  Window window = x_->CreateWindow(display_, root, root_x, root_y, 1, 1, 0, CopyFromParent,
                                   InputOnly, CopyFromParent, CWOverrideRedirect, &attributes);
  x_->MapRaised(display_, window);
  int status = x_->GrabPointer(display_, window, False, 0, GrabModeAsync, GrabModeAsync, window,
                               None, CurrentTime);
  if (status != GrabSuccess) {
    x_->DestroyWindow(display_, window);
    x_->Sync(display_, False);
    return false;
  }
  confine_window_ = window;
  return true;
}

void Capture::GivePointerBack() {
  x_->UngrabPointer(display_, CurrentTime);
  x_->DestroyWindow(display_, confine_window_);
  x_->Sync(display_, False);
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
