#include "remote/mouse_remote.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>
#include <string>

#include "mouse_remote_support.h"
#include "remote/key_table.h"

namespace velmor {
namespace {

class MouseRemoteTest : public ::testing::Test {
 protected:
  MouseRemoteTest() {
    parts_.capture = capture_;
    parts_.key_hook = hook_;
    parts_.clock = [this] { return now_.load(); };
  }

  MouseRemote& Remote() {
    if (!remote_) remote_ = std::make_unique<MouseRemote>(parts_);
    return *remote_;
  }

  bool Start(const std::string& address = "127.0.0.1") {
    return Remote().StartMouseRemote(&window_, address, receiver_.port(), false);
  }

  // The fields of a datagram whose whole pass (the both-buttons rule and
  // its post included) ran after this call.
  std::map<std::string, int64_t> Settled() {
    const int64_t after = capture_->gets_since_create() + 1;
    for (;;) {
      const std::string text = receiver_.Next();
      if (text.empty()) {
        ADD_FAILURE() << "no datagram";
        return {};
      }
      std::map<std::string, int64_t> fields = test::MouseFields(text);
      EXPECT_EQ(fields.size(), 13u) << text;
      if (fields["ct"] >= after) return fields;
    }
  }

  std::shared_ptr<test::FakeMouseCapture> capture_ = std::make_shared<test::FakeMouseCapture>();
  std::shared_ptr<test::FakeKeyHook> hook_ = std::make_shared<test::FakeKeyHook>();
  std::atomic<uint32_t> now_{1000};
  MouseRemoteParts parts_;
  test::FakeRemoteWindow window_;
  test::DatagramReceiver receiver_;
  std::unique_ptr<MouseRemote> remote_;  // stops before the fakes go
};

TEST_F(MouseRemoteTest, SendsRunningSumsAndKeepsCountingAcrossCaptureOffAndOn) {
  EXPECT_EQ(Remote().EnableState(), MouseRemote::kNotRunning);
  ASSERT_TRUE(Start());
  EXPECT_EQ(Remote().EnableState(), MouseRemote::kCapturing);
  EXPECT_TRUE(capture_->started());
  EXPECT_TRUE(hook_->installed);
  EXPECT_EQ(Remote().peer_address(), "127.0.0.1");
  EXPECT_EQ(receiver_.Next(),
            "#MOUSE(ct=0,px=0,py=0,pw=0,bt1=0,bt2=0,bt3=0,opa=0,opb=0,opc=0,opx=0,opy=0,opz=0)*");

  capture_->Move(10, -3, 2);
  capture_->SetButtons(0, 0, 1);
  EXPECT_TRUE(NoteHookedKey('A', HookedKeyMessage::kKeyDown));
  EXPECT_TRUE(NoteHookedKey('Z', HookedKeyMessage::kKeyDown));
  for (int i = 0; i < 3; ++i) {  // sums, not deltas
    auto fields = Settled();
    EXPECT_EQ(fields["px"], 10);
    EXPECT_EQ(fields["py"], -3);
    EXPECT_EQ(fields["pw"], 2);
    EXPECT_EQ(fields["bt3"], 1);
    EXPECT_EQ(fields["opa"], 1);
    EXPECT_EQ(fields["opz"], 1);
    EXPECT_EQ(fields["opb"] + fields["opc"] + fields["opx"] + fields["opy"], 0);
  }
  const int64_t last_ct = Settled()["ct"];

  EXPECT_TRUE(Remote().CaptureOff());
  EXPECT_EQ(Remote().EnableState(), MouseRemote::kNotCapturing);
  EXPECT_FALSE(capture_->started());
  EXPECT_FALSE(hook_->installed);
  Remote().CaptureOn();
  EXPECT_EQ(Remote().EnableState(), MouseRemote::kCapturing);
  EXPECT_TRUE(hook_->installed);
  auto fields = Settled();
  EXPECT_GT(fields["ct"], last_ct) << "the counter goes on";
  EXPECT_EQ(fields["px"], 10) << "so do the sums";
  EXPECT_EQ(fields["opa"], 0) << "the key table starts empty with each capture";
  EXPECT_EQ(capture_->creates(), 1);
  EXPECT_EQ(window_.focus_taken, 0);

  Remote().StopMouseRemote();
  EXPECT_EQ(Remote().EnableState(), MouseRemote::kNotRunning);
  EXPECT_EQ(capture_->live_handles(), 0);
  EXPECT_FALSE(Remote().CaptureOff());
  Remote().CaptureOn();
  EXPECT_EQ(Remote().EnableState(), MouseRemote::kNotRunning) << "no start by capture on";

  // A new start counts from zero again.
  while (receiver_.HasWaiting()) receiver_.Next();
  ASSERT_TRUE(Remote().StartMouseRemote(&window_, "127.0.0.1", receiver_.port(), true));
  EXPECT_EQ(window_.focus_taken, 1);
  fields = test::MouseFields(receiver_.Next());
  EXPECT_EQ(fields["ct"], 0);
  EXPECT_EQ(fields["px"], 0);
}

TEST_F(MouseRemoteTest, HoldingBothButtonsForcesOneDisconnectPerHold) {
  ASSERT_TRUE(Start());
  capture_->SetButtons(1, 1, 0);
  Settled();  // held since 1000
  now_ = 1000 + 14000;
  Settled();
  EXPECT_EQ(window_.forced_disconnects, 0);
  now_ = 1000 + 15000;
  Settled();
  EXPECT_EQ(window_.forced_disconnects, 1);
  now_ = 1000 + 60000;
  Settled();
  EXPECT_EQ(window_.forced_disconnects, 1) << "once per continuous hold";

  capture_->SetButtons(1, 0, 0);
  Settled();
  capture_->SetButtons(1, 1, 0);
  Settled();  // held again since 61000
  now_ = 61000 + 14999;
  Settled();
  EXPECT_EQ(window_.forced_disconnects, 1);
  now_ = 61000 + 15000;
  Settled();
  EXPECT_EQ(window_.forced_disconnects, 2);

  // Capture off and on starts a new hold, across the clock's wrap.
  Remote().CaptureOff();
  now_ = 0xffffffffu - 5000;
  Remote().CaptureOn();
  Settled();
  now_ = 14000 - 5001;
  Settled();
  EXPECT_EQ(window_.forced_disconnects, 2);
  now_ = 15000 - 5001;
  Settled();
  EXPECT_EQ(window_.forced_disconnects, 3);
}

TEST_F(MouseRemoteTest, SumsWrapAsTwosComplement) {
  ASSERT_TRUE(Start());
  capture_->Move(INT_MAX, INT_MIN, -1);
  EXPECT_EQ(Settled()["px"], INT_MAX);
  capture_->Move(1, -1, 0);
  auto fields = Settled();
  EXPECT_EQ(fields["px"], INT_MIN);
  EXPECT_EQ(fields["py"], INT_MAX);
  EXPECT_EQ(fields["pw"], -1);
}

TEST_F(MouseRemoteTest, OnlyAFourNumberAddressAndAWorkingLibraryStartTheRemote) {
  for (const char* address : {"non", "", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.-4", "a.b.c.d",
                              "1..2.3", " 1.2.3.4", "1.2.3.4 ", "1.2.3.0004", "1.2.3.4x"}) {
    EXPECT_FALSE(Start(address)) << address;
    EXPECT_EQ(Remote().EnableState(), MouseRemote::kNotRunning) << address;
  }
  for (const int port : {0, -1, 65536}) {
    EXPECT_FALSE(Remote().StartMouseRemote(&window_, "127.0.0.1", port, false)) << port;
  }
  EXPECT_EQ(capture_->live_handles(), 0);
  EXPECT_FALSE(capture_->started());
  EXPECT_FALSE(hook_->installed);
  EXPECT_FALSE(receiver_.HasWaiting());

  // Where this build's own library cannot capture here, the remote never
  // starts; where it can, it starts as with the fake one.
  const bool can_capture = test::ProductLibraryCanCapture();
  MouseRemote product;
  EXPECT_EQ(product.StartMouseRemote(&window_, "127.0.0.1", receiver_.port(), false), can_capture);
  EXPECT_EQ(product.EnableState(),
            can_capture ? MouseRemote::kCapturing : MouseRemote::kNotRunning);
  product.StopMouseRemote();
  EXPECT_TRUE(Start("127.0.0.1")) << "the fake library does start";
}

TEST(KeyTableTest, HookedKeysFillTheTableAndTheSixKeysAreSwallowed) {
  ClearKeyTable();
  struct Step {
    uint32_t key;
    HookedKeyMessage message;
    bool swallowed;
    bool down_after;
  };
  const Step steps[] = {
      {'A', HookedKeyMessage::kKeyDown, true, true},
      {'A', HookedKeyMessage::kSystemKeyUp, true, false},  // let go with Alt held: up
      {'A', HookedKeyMessage::kKeyDown, true, true},
      {'A', HookedKeyMessage::kKeyUp, true, false},
      {'X', HookedKeyMessage::kSystemKeyDown, true, false},
      {'Q', HookedKeyMessage::kKeyDown, false, true},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(NoteHookedKey(step.key, step.message), step.swallowed) << step.key;
    EXPECT_EQ(KeyIsDown(step.key), step.down_after) << step.key;
  }
  ClearKeyTable();
  EXPECT_FALSE(KeyIsDown('Q'));
}

}  // namespace
}  // namespace velmor
