// The capture library on Windows (Wine in the tests), fed by SendInput.
// Steps stay under 7 pixels, below which Windows does not accelerate them.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "pivra/pivra.h"

namespace {

struct Input {
  int x = 0, y = 0, wheel = 0;
  int buttons[3] = {};
};

void Send(DWORD flags, LONG dx = 0, LONG dy = 0, LONG data = 0) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.mouseData = static_cast<DWORD>(data);
  input.mi.dwFlags = flags;
  ASSERT_EQ(SendInput(1, &input, sizeof input), 1u);
}

POINT Pointer() {
  POINT at = {};
  EXPECT_TRUE(GetCursorPos(&at));
  return at;
}

testing::AssertionResult SamePlace(POINT a, POINT b) {
  if (a.x == b.x && a.y == b.y) return testing::AssertionSuccess();
  return testing::AssertionFailure() << a.x << "," << a.y << " is not " << b.x << "," << b.y;
}

// Snapshots until the sums satisfy the condition or five seconds pass; the
// sums then, with the buttons of the last snapshot.
Input SnapshotsUntil(void* handle, const std::function<bool(const Input&)>& done) {
  Input input;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    Pivra_Get(handle);
    input.x += Pivra_GetState(handle, PIVRA_STATE_MOVE_X);
    input.y += Pivra_GetState(handle, PIVRA_STATE_MOVE_Y);
    input.wheel += Pivra_GetState(handle, PIVRA_STATE_WHEEL);
    for (int i = 0; i < 3; ++i) input.buttons[i] = Pivra_GetState(handle, PIVRA_STATE_BUTTON1 + i);
    if (done(input) || std::chrono::steady_clock::now() > deadline) return input;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST(PivraWin32Test, CapturesTheMouseUntilStoppedAndGivesItBack) {
  ASSERT_TRUE(SetCursorPos(100, 100));
  const POINT before = Pointer();
  void* handle = Pivra_Create();
  ASSERT_NE(handle, nullptr);
  Pivra_Start(handle);
  const POINT held = Pointer();

  Send(MOUSEEVENTF_MOVE, 5, 0);
  Send(MOUSEEVENTF_MOVE, 0, -3);
  Send(MOUSEEVENTF_MOVE, -2, 0);
  Input moved = SnapshotsUntil(handle, [](const Input& in) { return in.x == 3 && in.y == -3; });
  EXPECT_EQ(moved.x, 3);
  EXPECT_EQ(moved.y, -3);
  EXPECT_EQ(moved.wheel, 0);
  EXPECT_TRUE(SamePlace(Pointer(), held));  // swallowed: the pointer stays

  // Wheel notches away from the user count up; half notches add up to one.
  Send(MOUSEEVENTF_WHEEL, 0, 0, 2 * WHEEL_DELTA);
  Send(MOUSEEVENTF_WHEEL, 0, 0, -WHEEL_DELTA);
  Send(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA / 2);
  Send(MOUSEEVENTF_WHEEL, 0, 0, WHEEL_DELTA / 2);
  Input wheel = SnapshotsUntil(handle, [](const Input& in) { return in.wheel >= 2; });
  EXPECT_EQ(wheel.wheel, 2);
  EXPECT_EQ(wheel.x, 0);

  const struct {
    DWORD down, up;
    int state;  // index into Input::buttons
  } kButtons[] = {{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0},
                  {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 1},
                  {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 2}};
  for (const auto& button : kButtons) {
    SCOPED_TRACE(button.state);
    Send(button.down);
    Input held_down =
        SnapshotsUntil(handle, [&](const Input& in) { return in.buttons[button.state] == 1; });
    EXPECT_EQ(held_down.buttons[0] + held_down.buttons[1] + held_down.buttons[2], 1);
    Pivra_Get(handle);  // a held button stays pressed in later snapshots
    EXPECT_EQ(Pivra_GetState(handle, PIVRA_STATE_BUTTON1 + button.state), 1);
    Send(button.up);
    Input released =
        SnapshotsUntil(handle, [&](const Input& in) { return in.buttons[button.state] == 0; });
    EXPECT_EQ(released.buttons[button.state], 0);
  }
  EXPECT_EQ(Pivra_GetState(handle, 6), 0);
  EXPECT_EQ(Pivra_GetState(handle, -1), 0);
  EXPECT_TRUE(SamePlace(Pointer(), held));

  // Stopped: the pointer is back where it was, moves again, and that
  // movement is not counted.
  Pivra_Stop(handle);
  EXPECT_TRUE(SamePlace(Pointer(), before));
  Send(MOUSEEVENTF_MOVE, 5, 0);
  EXPECT_TRUE(SamePlace(Pointer(), POINT{before.x + 5, before.y}));
  Pivra_Start(handle);
  Send(MOUSEEVENTF_MOVE, 4, 0);
  Input again = SnapshotsUntil(handle, [](const Input& in) { return in.x >= 4; });
  EXPECT_EQ(again.x, 4);

  // Release gives the mouse back as well.
  Pivra_Release(handle);
  EXPECT_TRUE(SamePlace(Pointer(), POINT{before.x + 5, before.y}));
  Send(MOUSEEVENTF_MOVE, 5, 0);
  EXPECT_TRUE(SamePlace(Pointer(), POINT{before.x + 10, before.y}));
}

// A window over the whole screen that counts the clicks it receives.
class ClickCounter {
 public:
  ClickCounter() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = &Procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"PivraClickCounter";
    RegisterClassW(&window_class);
    window_ =
        CreateWindowExW(WS_EX_TOPMOST, L"PivraClickCounter", L"", WS_POPUP | WS_VISIBLE,
                        GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
                        nullptr, nullptr, window_class.hInstance, nullptr);
    clicks_ = 0;
  }
  ~ClickCounter() { DestroyWindow(window_); }
  bool created() const { return window_ != nullptr; }

  // Clicks received so far, after handling what is waiting.
  int Clicks() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    return clicks_;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_LBUTTONDOWN) ++clicks_;
    return DefWindowProcW(window, message, w, l);
  }
  static inline int clicks_ = 0;
  HWND window_ = nullptr;
};

// Waits up to five seconds for the window to count the clicks.
bool ClicksReach(ClickCounter& counter, int clicks) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (counter.Clicks() < clicks) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(PivraWin32Test, ClicksReachNoWindowWhileCapturing) {
  ClickCounter counter;
  ASSERT_TRUE(counter.created());
  void* handle = Pivra_Create();
  ASSERT_NE(handle, nullptr);
  Pivra_Start(handle);
  Send(MOUSEEVENTF_LEFTDOWN);
  EXPECT_EQ(SnapshotsUntil(handle, [](const Input& in) { return in.buttons[0] == 1; }).buttons[0],
            1);
  Send(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(SnapshotsUntil(handle, [](const Input& in) { return in.buttons[0] == 0; }).buttons[0],
            0);
  Pivra_Stop(handle);
  Send(MOUSEEVENTF_LEFTDOWN);
  Send(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(ClicksReach(counter, 1)) << "a click after stopping reaches the window";
  EXPECT_EQ(counter.Clicks(), 1) << "the click while capturing reached it too";
  Pivra_Release(handle);
}

TEST(PivraWin32Test, NullHandleDoesNothing) {
  Pivra_Start(nullptr);
  Pivra_Get(nullptr);
  for (int index = -1; index <= 6; ++index) EXPECT_EQ(Pivra_GetState(nullptr, index), 0);
  Pivra_Stop(nullptr);
  Pivra_Release(nullptr);
}

}  // namespace
