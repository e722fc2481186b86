#include "command/handshake.h"

#include <gtest/gtest.h>

#include "command/status_event.h"
#include "core/paths.h"
#include "test_support.h"

namespace velmor {
namespace {

constexpr char kGoodSetup[] = "#CMD_SETUP(<protocol_ver>220,<copyright>\"Copyright (C) VelmorVR\")";

class HandshakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    config_ = DefaultConfig();
  }
  HandshakeOutcome Setup(const std::string& text) {
    return HandleSetup(text, config_, home_.Join("TagList.txt"), &state_);
  }

  test::TempFolder home_;
  S_CONFIG config_;
  HandshakeState state_;
};

TEST_F(HandshakeTest, RepliesComeInTheirFixedOrder) {
  test::WriteFileOrFail(home_.Join("TagList.txt"), "#start\n#tag 3D SBS\n");
  const HandshakeOutcome outcome = Setup(kGoodSetup);
  ASSERT_TRUE(outcome.ok);
  EXPECT_TRUE(outcome.authenticated);
  EXPECT_EQ(state_.protocol_version, 220);
  EXPECT_EQ(outcome.replies,
            (std::vector<std::string>{
                "#RET_VERSION(<protocol_ver>220,<app_ver>\"2.21\",<app_build_date>\"Oct 23 "
                "2022\",<copyright>\"VelmorVR Server Copyright (C) 2022 VelmorVR. All rights "
                "reserved.\")",
                "#RET_CH_NAME(<type.0>1,<name.0>\"VRデバイス\",<type.1>0,<name.1>\"PCフォルダ\","
                "<type.2>4,<name.2>\"***\",<type.3>4,<name.3>\"***\",<type.4>4,<name.4>\"***\","
                "<type.5>4,<name.5>\"***\",<type.6>2,<name.6>\"検索\",<type.7>3,<name.7>"
                "\"お気に入り\")",
                "#RET_USE_MOUSE(<on>0,<scale>100,<port>11923)", "#RET_USE_HTTP(<port>11921)",
                "#RET_TAG_LIST(<no>0,<cmd>\"#tag\",<p0>\"3D\",<p1>\"SBS\")"}));
}

TEST_F(HandshakeTest, PlaylistChannelsShowTheirListNames) {
  test::WriteFileOrFail(home_.Join("ch3.vrl"), "\xEF\xBB\xBF#name \"My Best\"\r\n/a.mp4\r\n");
  test::TempFolder elsewhere;
  test::WriteFileOrFail(elsewhere.Join("x.vrl"), "/a.mp4\n#end\n#name Late\n");
  config_.channel[3].pcPath = elsewhere.Join("x.vrl");
  config_.iUseMouse = 1;
  config_.iUseMouseScale = 150;
  config_.iPortMouse = 4000;
  config_.iPortHttp = 4001;
  const HandshakeOutcome outcome = Setup(kGoodSetup);
  ASSERT_TRUE(outcome.ok);
  EXPECT_NE(outcome.replies[1].find("<type.2>4,<name.2>\"My Best\""), std::string::npos);
  EXPECT_NE(outcome.replies[1].find("<type.3>4,<name.3>\"***\""), std::string::npos);
  EXPECT_EQ(outcome.replies[2], "#RET_USE_MOUSE(<on>1,<scale>150,<port>4000)");
  EXPECT_EQ(outcome.replies[3], "#RET_USE_HTTP(<port>4001)");
}

TEST_F(HandshakeTest, OldPlayersAndWrongCopyrightsAreRefused) {
  HandshakeOutcome outcome =
      Setup("#CMD_SETUP(<protocol_ver>219,<copyright>\"Copyright (C) VelmorVR\")");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.status_code, 529);
  EXPECT_EQ(outcome.status_text, "クライアント側（アプリケーション）の通信バージョンが古い(219)");
  EXPECT_TRUE(outcome.replies.empty());

  outcome = Setup("#CMD_SETUP(<protocol_ver>220,<copyright>\"Copyright (C) Velmorvr\")");
  EXPECT_EQ(outcome.status_code, 530);
  outcome = Setup("#CMD_SETUP(<protocol_ver>220,<copyright>\"Copyright (C) VelmorVR \")");
  EXPECT_EQ(outcome.status_code, 530);
  outcome = Setup("#CMD_SETUP(<protocol_ver>220)");
  EXPECT_EQ(outcome.status_code, 530);
  EXPECT_FALSE(state_.authenticated);
}

TEST_F(HandshakeTest, TheVersionIsKeptFromAnEarlierSetup) {
  EXPECT_EQ(Setup("#CMD_SETUP(<copyright>\"Copyright (C) VelmorVR\")").status_code, 529)
      << "a fresh server has version 0";
  ASSERT_TRUE(Setup(kGoodSetup).ok);
  EXPECT_TRUE(Setup("#CMD_SETUP(<copyright>\"Copyright (C) VelmorVR\")").ok);
}

TEST_F(HandshakeTest, APasswordIsRequestedAndChecked) {
  config_.iUsePassword = 1;
  config_.pcPassword = "1234";
  HandshakeOutcome outcome = Setup(kGoodSetup);
  ASSERT_TRUE(outcome.ok);
  EXPECT_FALSE(outcome.authenticated);
  ASSERT_EQ(outcome.replies.size(), 5u);
  EXPECT_EQ(outcome.replies[4], "#RET_REQUEST_PASSWORD()");

  const uint32_t t0 = 1000000;
  outcome = HandlePassword("#CMD_PASSWORD(<pass>\"4321\")", config_, t0, &state_);
  EXPECT_EQ(outcome.status_code, 545);
  EXPECT_EQ(outcome.status_text, "パスワードが一致しません");
  // The right one 10 s later is not even compared.
  outcome = HandlePassword("#CMD_PASSWORD(<pass>\"1234\")", config_, t0 + 10000, &state_);
  EXPECT_EQ(outcome.status_code, 546);
  EXPECT_EQ(outcome.status_text, "パスワードタイム");
  EXPECT_FALSE(state_.authenticated);
  // ... and does not extend the lock-out.
  outcome = HandlePassword("#CMD_PASSWORD(<pass>\"1234\")", config_, t0 + 30000, &state_);
  EXPECT_TRUE(outcome.ok);
  EXPECT_TRUE(state_.authenticated);

  // An admitted session is not asked again.
  outcome = Setup(kGoodSetup);
  EXPECT_EQ(outcome.replies.size(), 4u);
}

TEST_F(HandshakeTest, AMissingPasswordLocksOutToo) {
  const uint32_t t0 = 5000;
  HandshakeOutcome outcome = HandlePassword("#CMD_PASSWORD()", config_, t0, &state_);
  EXPECT_EQ(outcome.status_code, 544);
  EXPECT_EQ(outcome.status_text, "パスワードが見つからない");
  outcome = HandlePassword("#CMD_PASSWORD(<pass>\"\")", config_, t0 + 29999, &state_);
  EXPECT_EQ(outcome.status_code, 546);
  // Without password protection the text is still compared: "" matches "".
  outcome = HandlePassword("#CMD_PASSWORD(<pass>\"\")", config_, t0 + 30000, &state_);
  EXPECT_TRUE(outcome.ok);
}

TEST_F(HandshakeTest, TheLockOutSurvivesAWrapOfTheClock) {
  config_.pcPassword = "pw";
  const uint32_t near_wrap = 0xFFFFF000u;
  EXPECT_FALSE(HandlePassword("#CMD_PASSWORD(<pass>\"no\")", config_, near_wrap, &state_).ok);
  EXPECT_EQ(HandlePassword("#CMD_PASSWORD(<pass>\"pw\")", config_, near_wrap + 20000, &state_)
                .status_code,
            546);
  EXPECT_TRUE(
      HandlePassword("#CMD_PASSWORD(<pass>\"pw\")", config_, near_wrap + 30000, &state_).ok);
  // A clock far past an old lock-out end is never locked.
  state_.lockout_until_ms = 1000;
  EXPECT_TRUE(HandlePassword("#CMD_PASSWORD(<pass>\"pw\")", config_, 0x90000000u, &state_).ok);
}

}  // namespace
}  // namespace velmor
