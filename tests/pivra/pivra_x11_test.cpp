// The capture library against a real X server (Xvfb) driven by xdotool,
// whose XTEST pointer has no acceleration: raw units are pixels.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "focused_window.h"
#include "mouse_remote_support.h"
#include "pivra/pivra.h"
#include "platform/child_process.h"
#include "remote/mouse_remote.h"
#include "test_support.h"
#include "x_display.h"

namespace {

// Calls the condition until it holds, for at most five seconds.
bool Eventually(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// What a key grab reported: "A down", "B system up" ...
class KeyLog {
 public:
  static void Note(void* log, int virtual_key, int message) {
    static const char* const kMessages[] = {"down", "up", "system down", "system up"};
    auto* self = static_cast<KeyLog*>(log);
    std::lock_guard<std::mutex> lock(self->mutex_);
    const bool known = message >= 0 && message < 4;
    self->entries_.push_back(std::string(1, static_cast<char>(virtual_key)) + " " +
                             (known ? kMessages[message] : "?"));
  }
  // Waits until the last entry is last; all entries then.
  std::vector<std::string> EntriesUntil(const std::string& last) {
    Eventually([&] {
      std::lock_guard<std::mutex> lock(mutex_);
      return !entries_.empty() && entries_.back() == last;
    });
    return Entries();
  }
  std::vector<std::string> Entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

class PivraX11Test : public testing::Test {
 protected:
  void SetUp() override {
    if (!velmor::test::XDisplay::ToolsInstalled()) GTEST_SKIP() << "needs Xvfb and xdotool";
    ASSERT_TRUE(display_.Start("640x480x24")) << "Xvfb did not start";
  }

  void TearDown() override {
    if (handle_ != nullptr) Pivra_Release(handle_);
  }

  std::string Xdotool(std::vector<std::string> arguments) {
    return display_.Xdotool(std::move(arguments));
  }
  std::string PointerLocation() { return display_.PointerLocation(); }

  // Snapshots until the summed movement reaches the wanted one (or time runs
  // out); the sums then, with the buttons of the last snapshot.
  struct Input {
    int x = 0, y = 0, wheel = 0;
    int buttons[3] = {};
  };
  Input SnapshotsUntil(const std::function<bool(const Input&)>& done) {
    Input input;
    Eventually([&] {
      Pivra_Get(handle_);
      input.x += Pivra_GetState(handle_, PIVRA_STATE_MOVE_X);
      input.y += Pivra_GetState(handle_, PIVRA_STATE_MOVE_Y);
      input.wheel += Pivra_GetState(handle_, PIVRA_STATE_WHEEL);
      for (int i = 0; i < 3; ++i)
        input.buttons[i] = Pivra_GetState(handle_, PIVRA_STATE_BUTTON1 + i);
      return done(input);
    });
    return input;
  }

  velmor::test::XDisplay display_;
  void* handle_ = nullptr;
};

TEST_F(PivraX11Test, CapturesTheMouseAndKeepsThePointerStillUntilStopped) {
  handle_ = Pivra_Create();
  ASSERT_NE(handle_, nullptr);
  Xdotool({"mousemove", "100", "100"});
  Pivra_Start(handle_);

  Xdotool({"mousemove_relative", "10", "0"});
  Xdotool({"mousemove_relative", "--", "0", "-7"});
  Input moved = SnapshotsUntil([](const Input& in) { return in.x >= 10 && in.y <= -7; });
  EXPECT_EQ(moved.x, 10);
  EXPECT_EQ(moved.y, -7);
  EXPECT_EQ(moved.wheel, 0);
  EXPECT_EQ(PointerLocation(), "x:100 y:100");  // the pointer stayed where capture began

  // Wheel: button 4 is a notch away from the user (+1), button 5 toward (-1).
  Xdotool({"click", "--repeat", "3", "4"});
  Xdotool({"click", "5"});
  Input wheel = SnapshotsUntil([](const Input& in) { return in.wheel >= 2; });
  EXPECT_EQ(wheel.wheel, 2);
  EXPECT_EQ(wheel.x, 0);

  // Buttons: left, right, middle in states 3, 4, 5, held until released.
  const struct {
    const char* x_button;
    int state;  // index into Input::buttons
  } kButtons[] = {{"1", 0}, {"3", 1}, {"2", 2}};
  for (const auto& button : kButtons) {
    SCOPED_TRACE(button.x_button);
    Xdotool({"mousedown", button.x_button});
    Input held = SnapshotsUntil([&](const Input& in) { return in.buttons[button.state] == 1; });
    EXPECT_EQ(held.buttons[0] + held.buttons[1] + held.buttons[2], 1);
    Pivra_Get(handle_);  // a held button stays pressed in later snapshots
    EXPECT_EQ(Pivra_GetState(handle_, PIVRA_STATE_BUTTON1 + button.state), 1);
    Xdotool({"mouseup", button.x_button});
    Input released = SnapshotsUntil([&](const Input& in) { return in.buttons[button.state] == 0; });
    EXPECT_EQ(released.buttons[button.state], 0);
  }
  EXPECT_EQ(PointerLocation(), "x:100 y:100");

  // Stopped: the pointer moves again, and that movement is not counted.
  Pivra_Stop(handle_);
  Xdotool({"mousemove_relative", "10", "0"});
  EXPECT_EQ(PointerLocation(), "x:110 y:100");
  Pivra_Start(handle_);
  Xdotool({"mousemove_relative", "5", "0"});
  Input again = SnapshotsUntil([](const Input& in) { return in.x >= 5; });
  EXPECT_EQ(again.x, 5);
  EXPECT_EQ(PointerLocation(), "x:110 y:100");

  // Release gives the pointer back as well.
  Pivra_Release(handle_);
  handle_ = nullptr;
  Xdotool({"mousemove_relative", "10", "0"});
  EXPECT_EQ(PointerLocation(), "x:120 y:100");
}

TEST_F(PivraX11Test, SurvivesTheXServerEndingWhileCapturing) {
  handle_ = Pivra_Create();
  ASSERT_NE(handle_, nullptr);
  Pivra_Start(handle_);
  ASSERT_TRUE(display_.End());
  // The process goes on; the handle answers nothing more.
  for (int i = 0; i < 20; ++i) {
    Pivra_Get(handle_);
    EXPECT_EQ(Pivra_GetState(handle_, PIVRA_STATE_MOVE_X), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Pivra_Stop(handle_);
  Pivra_Start(handle_);
  Pivra_Release(handle_);
  handle_ = nullptr;
}

TEST_F(PivraX11Test, GrabsTheSixKeysFromTheFocusedWindowUntilReleased) {
  velmor::test::FocusedWindow focused;
  KeyLog log;
  void* grab = PivraKeys_Grab(&KeyLog::Note, &log);
  ASSERT_NE(grab, nullptr);

  const struct {
    std::vector<std::string> xdotool;
    std::vector<std::string> reported;
  } kSteps[] = {
      {{"key", "a"}, {"A down", "A up"}},
      {{"key", "q", "b", "c", "x", "y", "z"},
       {"B down", "B up", "C down", "C up", "X down", "X up", "Y down", "Y up", "Z down", "Z up"}},
      {{"keydown", "alt", "key", "b", "keyup", "alt"}, {"B system down", "B system up"}},
      {{"keydown", "z", "keyup", "z"}, {"Z down", "Z up"}},
  };
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.xdotool[1]);
    log.Clear();
    Xdotool(step.xdotool);
    EXPECT_EQ(log.EntriesUntil(step.reported.back()), step.reported);
  }
  // A key held past the auto-repeat delay repeats its press, never a release.
  log.Clear();
  Xdotool({"keydown", "y", "sleep", "1", "keyup", "y"});
  std::vector<std::string> held = log.EntriesUntil("Y up");
  ASSERT_GE(held.size(), 2u);
  held.pop_back();
  for (const std::string& entry : held) EXPECT_EQ(entry, "Y down");

  // The window got the other keys only.
  Xdotool({"key", "w"});
  EXPECT_EQ(focused.LettersUntil('w'), "qw");

  PivraKeys_Release(grab);
  log.Clear();
  Xdotool({"key", "a", "x", "w"});
  EXPECT_EQ(focused.LettersUntil('w'), "axw");
  EXPECT_TRUE(log.Entries().empty());
}

// The server's mouse remote with this build's own capture library.
TEST_F(PivraX11Test, ProductRemoteSendsTheCapturedMouse) {
  Xdotool({"mousemove", "100", "100"});
  velmor::test::FocusedWindow focused;
  velmor::test::DatagramReceiver player;
  velmor::test::FakeRemoteWindow window;
  velmor::MouseRemote remote;
  ASSERT_TRUE(remote.StartMouseRemote(&window, "127.0.0.1", player.port(), false));
  EXPECT_EQ(remote.EnableState(), velmor::MouseRemote::kCapturing);

  Xdotool({"mousemove_relative", "10", "0"});
  Xdotool({"mousedown", "1"});
  std::map<std::string, int64_t> fields;
  EXPECT_TRUE(Eventually([&] {
    fields = velmor::test::MouseFields(player.Next());
    return fields["px"] == 10 && fields["bt1"] == 1;
  }));
  EXPECT_EQ(fields["py"], 0);
  EXPECT_EQ(PointerLocation(), "x:100 y:100");
  Xdotool({"mouseup", "1"});

  // The keys: held A reads 1, released 0, and the focused window gets
  // nothing of it.
  Xdotool({"keydown", "a"});
  EXPECT_TRUE(Eventually([&] { return velmor::test::MouseFields(player.Next())["opa"] == 1; }));
  Xdotool({"keyup", "a"});
  EXPECT_TRUE(Eventually([&] { return velmor::test::MouseFields(player.Next())["opa"] == 0; }));
  Xdotool({"key", "q"});
  EXPECT_EQ(focused.LettersUntil('q'), "q");

  remote.StopMouseRemote();
  Xdotool({"mousemove_relative", "10", "0"});
  EXPECT_EQ(PointerLocation(), "x:110 y:100");
  Xdotool({"key", "a", "q"});
  EXPECT_EQ(focused.LettersUntil('q'), "aq");
}

TEST(PivraTest, NullHandleAndMissingDisplay) {
  Pivra_Start(nullptr);
  Pivra_Get(nullptr);
  for (int index = -1; index <= 6; ++index) EXPECT_EQ(Pivra_GetState(nullptr, index), 0);
  Pivra_Stop(nullptr);
  Pivra_Release(nullptr);
  PivraKeys_Release(nullptr);

  velmor::test::ScopedEnvironment no_display("DISPLAY", "");
  EXPECT_EQ(Pivra_Create(), nullptr);
  EXPECT_EQ(PivraKeys_Grab(&KeyLog::Note, nullptr), nullptr);
}

}  // namespace
