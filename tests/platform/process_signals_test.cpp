#include "platform/process_signals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include "platform/clock.h"

namespace velmor::platform {
namespace {

TEST(ProcessSignalsTest, NothingPendingTimesOut) {
  InstallProcessSignalHandlers();
  EXPECT_EQ(WaitProcessSignal(0), ProcessSignal::kNone);
  EXPECT_EQ(WaitProcessSignal(20), ProcessSignal::kNone);
}

#ifndef _WIN32
TEST(ProcessSignalsTest, SignalsBecomeRequests) {
  InstallProcessSignalHandlers();
  while (WaitProcessSignal(0) != ProcessSignal::kNone) {
  }
  ASSERT_EQ(raise(SIGHUP), 0);
  EXPECT_EQ(WaitProcessSignal(10000), ProcessSignal::kReload);
  ASSERT_EQ(raise(SIGTERM), 0);
  EXPECT_EQ(WaitProcessSignal(10000), ProcessSignal::kStop);
  ASSERT_EQ(raise(SIGINT), 0);
  EXPECT_EQ(WaitProcessSignal(10000), ProcessSignal::kStop);
  EXPECT_EQ(WaitProcessSignal(0), ProcessSignal::kNone);
}

TEST(ProcessSignalsTest, StopComesBeforeReload) {
  InstallProcessSignalHandlers();
  ASSERT_EQ(raise(SIGHUP), 0);
  ASSERT_EQ(raise(SIGTERM), 0);
  EXPECT_EQ(WaitProcessSignal(10000), ProcessSignal::kStop);
  EXPECT_EQ(WaitProcessSignal(10000), ProcessSignal::kReload);
  EXPECT_EQ(WaitProcessSignal(0), ProcessSignal::kNone);
}

TEST(ProcessSignalsTest, ASignalWakesAWaiter) {
  InstallProcessSignalHandlers();
  std::thread sender([] {
    SleepMs(50);
    raise(SIGHUP);
  });
  // Long enough that only the signal can end the wait in time.
  const ProcessSignal received = WaitProcessSignal(60000);
  sender.join();
  EXPECT_EQ(received, ProcessSignal::kReload);
}
#endif

}  // namespace
}  // namespace velmor::platform
