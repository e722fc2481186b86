// Pivra on Windows (Pivra.dll). One thread of the library's own owns a
// low-level mouse hook while capture is on and pumps its messages, as such
// a hook needs.
//
// While capture is on, the hook swallows every mouse message, so the
// pointer stays where it is held and no click reaches a window; it counts
// the movement as the distance of each event's position from the pointer.
// The pointer is held at the centre of the primary monitor, so a movement
// toward an edge is not cut off by the edge, and goes back to where it was
// when capture ends. Nothing is clipped or grabbed: a hook ends with its
// process, so a server that is killed gives the mouse back.
//
// Under Wine the hook sees the X server's pointer events only over Wine's
// own windows (a virtual desktop covers the screen), and the X pointer
// moves before the hook is asked: the counts are right, the clicks are
// swallowed, but the pointer is not held.
#include "pivra/pivra.h"

#include <windows.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace {

// Thread messages to the capture thread.
constexpr UINT kMessageStart = WM_APP + 1;
constexpr UINT kMessageStop = WM_APP + 2;

int TakeWhole(int64_t* sum, int64_t unit) {
  int64_t whole = *sum / unit;  // toward zero; the remainder stays
  *sum -= whole * unit;
  if (whole > INT_MAX) return INT_MAX;
  if (whole < INT_MIN) return INT_MIN;
  return static_cast<int>(whole);
}

// The module that holds the hook procedure: this library.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

// The hook reports positions in physical pixels; a thread that is not
// aware of monitor scaling would read and set the pointer in scaled ones.
void UsePhysicalPixelsOnThisThread() {
  using SetContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return;
  auto set_context = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetThreadDpiAwarenessContext")));
  if (set_context != nullptr) set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

// Under Wine the pointer follows the X server's, whatever the hook answers.
const bool kWineMovesPointer = [] {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}();

class Capture {
 public:
  // Null when the thread cannot start or no mouse hook can be set here.
  static Capture* Open();
  ~Capture();

  void SetCapturing(bool capturing);
  void TakeSnapshot();
  int State(int index);

 private:
  Capture() = default;
  void Run();
  void TakeMouse();
  void GiveMouseBack();
  // Counts one mouse message; called by the hook on the capture thread.
  void OnMouse(WPARAM message, const MSLLHOOKSTRUCT& event);
  static LRESULT CALLBACK HookProc(int code, WPARAM message, LPARAM data);

  // The capture whose hook runs on this thread.
  static thread_local Capture* hooked_;

  // Used by the capture thread only.
  HHOOK hook_ = nullptr;
  POINT held_at_ = {};        // where the pointer stays while captured
  POINT pointer_at_ = {};     // where the pointer is, for the next movement
  POINT given_back_at_ = {};  // where it was when capture began

  std::mutex mutex_;
  std::condition_variable changed_;
  DWORD thread_id_ = 0;  // set once the thread has its message queue
  bool started_ = false;
  bool hook_works_ = false;
  uint64_t requests_ = 0;              // capture changes asked for
  uint64_t settled_requests_ = 0;      // capture changes the thread has made
  int64_t moved_x_ = 0, moved_y_ = 0;  // pixels since the last snapshot
  int64_t wheel_ = 0;                  // wheel units since the last snapshot
  bool buttons_[3] = {};               // left, right, middle
  int snapshot_[6] = {};

  std::thread thread_;
};

thread_local Capture* Capture::hooked_ = nullptr;

Capture* Capture::Open() {
  Capture* capture = new Capture;
  try {
    capture->thread_ = std::thread([capture] { capture->Run(); });
  } catch (const std::system_error&) {
    delete capture;
    return nullptr;
  }
  bool works = false;
  {
    std::unique_lock<std::mutex> lock(capture->mutex_);
    capture->changed_.wait(lock, [&] { return capture->started_; });
    works = capture->hook_works_;
  }
  if (works) return capture;
  delete capture;  // the thread has ended already
  return nullptr;
}

Capture::~Capture() {
  if (!thread_.joinable()) return;
  DWORD thread_id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    thread_id = thread_id_;
  }
  if (thread_id != 0) PostThreadMessageW(thread_id, WM_QUIT, 0, 0);
  thread_.join();  // the thread has given the mouse back
}

void Capture::Run() {
  UsePhysicalPixelsOnThisThread();
  MSG message;
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
  // A hook that cannot be set now will not be set later: answer at once.
  HHOOK probe = SetWindowsHookExW(WH_MOUSE_LL, HookProc, ThisModule(), 0);
  const bool works = probe != nullptr;
  if (works) UnhookWindowsHookEx(probe);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    thread_id_ = works ? GetCurrentThreadId() : 0;
    hook_works_ = works;
    started_ = true;
  }
  changed_.notify_all();
  if (!works) return;

  hooked_ = this;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd != nullptr) {
      DispatchMessageW(&message);
      continue;
    }
    if (message.message == kMessageStart) {
      TakeMouse();
    } else if (message.message == kMessageStop) {
      GiveMouseBack();
    } else {
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      settled_requests_ = static_cast<uint64_t>(message.wParam);
    }
    changed_.notify_all();
  }
  GiveMouseBack();
  hooked_ = nullptr;
}

// Returns once the thread has taken or given back the mouse, so input after
// Pivra_Start is counted and input after Pivra_Stop moves the pointer.
void Capture::SetCapturing(bool capturing) {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t request = ++requests_;
  if (!PostThreadMessageW(thread_id_, capturing ? kMessageStart : kMessageStop,
                          static_cast<WPARAM>(request), 0)) {
    return;
  }
  changed_.wait_for(lock, std::chrono::seconds(2), [&] { return settled_requests_ >= request; });
}

void Capture::TakeSnapshot() {
  std::lock_guard<std::mutex> lock(mutex_);
  snapshot_[PIVRA_STATE_MOVE_X] = TakeWhole(&moved_x_, 1);
  snapshot_[PIVRA_STATE_MOVE_Y] = TakeWhole(&moved_y_, 1);
  snapshot_[PIVRA_STATE_WHEEL] = TakeWhole(&wheel_, WHEEL_DELTA);
  for (int i = 0; i < 3; ++i) snapshot_[PIVRA_STATE_BUTTON1 + i] = buttons_[i] ? 1 : 0;
}

int Capture::State(int index) {
  std::lock_guard<std::mutex> lock(mutex_);
  return index >= 0 && index < 6 ? snapshot_[index] : 0;
}

void Capture::TakeMouse() {
  if (hook_ != nullptr) return;
  GetCursorPos(&given_back_at_);
  held_at_ = given_back_at_;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    const RECT& area = monitor.rcMonitor;
    POINT centre = {area.left + (area.right - area.left) / 2,
                    area.top + (area.bottom - area.top) / 2};
    if (SetCursorPos(centre.x, centre.y)) GetCursorPos(&held_at_);
  }
  pointer_at_ = held_at_;
  {
    // A button held before capture began is released unseen or seen as
    // released: none counts as pressed from a time capture was off.
    std::lock_guard<std::mutex> lock(mutex_);
    buttons_[0] = buttons_[1] = buttons_[2] = false;
  }
  hook_ = SetWindowsHookExW(WH_MOUSE_LL, HookProc, ThisModule(), 0);
  if (hook_ == nullptr) SetCursorPos(given_back_at_.x, given_back_at_.y);
}

void Capture::GiveMouseBack() {
  if (hook_ == nullptr) return;
  UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
  SetCursorPos(given_back_at_.x, given_back_at_.y);
}

LRESULT CALLBACK Capture::HookProc(int code, WPARAM message, LPARAM data) {
  Capture* capture = hooked_;
  if (code != HC_ACTION || capture == nullptr || capture->hook_ == nullptr) {
    return CallNextHookEx(nullptr, code, message, data);
  }
  capture->OnMouse(message, *reinterpret_cast<const MSLLHOOKSTRUCT*>(data));
  return 1;  // swallowed: no window sees the message
}

void Capture::OnMouse(WPARAM message, const MSLLHOOKSTRUCT& event) {
  if (message == WM_MOUSEMOVE) {
    const int64_t dx = event.pt.x - pointer_at_.x;
    const int64_t dy = event.pt.y - pointer_at_.y;
    // Windows keeps the pointer where it is held once the hook swallows the
    // move. Wine has moved it already when the move came from the X server
    // and cannot be kept from it: the next movement then starts from here.
    if (kWineMovesPointer && (event.flags & LLMHF_INJECTED) == 0) pointer_at_ = event.pt;
    std::lock_guard<std::mutex> lock(mutex_);
    moved_x_ += dx;
    moved_y_ += dy;
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  switch (message) {
    case WM_MOUSEWHEEL:
      // The high word is the signed rotation; away from the user is positive.
      wheel_ += static_cast<int16_t>(HIWORD(event.mouseData));
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      buttons_[0] = message == WM_LBUTTONDOWN;
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      buttons_[1] = message == WM_RBUTTONDOWN;
      return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      buttons_[2] = message == WM_MBUTTONDOWN;
      return;
    default:
      return;  // side buttons and the horizontal wheel are swallowed only
  }
}

Capture* FromHandle(void* handle) { return static_cast<Capture*>(handle); }

}  // namespace

extern "C" {

__declspec(dllexport) void* Pivra_Create(void) { return Capture::Open(); }

__declspec(dllexport) void Pivra_Start(void* handle) {
  if (handle != nullptr) FromHandle(handle)->SetCapturing(true);
}

__declspec(dllexport) void Pivra_Stop(void* handle) {
  if (handle != nullptr) FromHandle(handle)->SetCapturing(false);
}

__declspec(dllexport) void Pivra_Get(void* handle) {
  if (handle != nullptr) FromHandle(handle)->TakeSnapshot();
}

__declspec(dllexport) int Pivra_GetState(void* handle, int index) {
  return handle != nullptr ? FromHandle(handle)->State(index) : 0;
}

__declspec(dllexport) void Pivra_Release(void* handle) { delete FromHandle(handle); }

}  // extern "C"
