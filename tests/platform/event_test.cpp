#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace velmor::platform {
namespace {

TEST(ManualResetEventTest, StaysSetUntilReset) {
  ManualResetEvent event;
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.Wait(0));
  EXPECT_FALSE(event.Wait(20));

  event.Set();
  EXPECT_TRUE(event.IsSet());
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(0));  // a wait does not consume it

  event.Reset();
  EXPECT_FALSE(event.IsSet());
  EXPECT_FALSE(event.Wait(0));
}

TEST(ManualResetEventTest, SetFromAnotherThreadWakesEveryWaiter) {
  ManualResetEvent start;
  ManualResetEvent go;
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.emplace_back([&] {
      if (go.Wait(60000)) ++woken;
    });
  }
  std::thread setter([&] {
    start.Wait(60000);
    go.Set();
  });
  start.Set();
  setter.join();
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken.load(), 4);
}

TEST(ManualResetEventTest, ResetBeforeSetMakesWaitersWaitAgain) {
  ManualResetEvent event;
  event.Set();
  event.Reset();
  ManualResetEvent done;
  std::atomic<bool> result{true};
  std::thread waiter([&] {
    result = event.Wait(30);
    done.Set();
  });
  EXPECT_TRUE(done.Wait(60000));
  waiter.join();
  EXPECT_FALSE(result.load());
}

}  // namespace
}  // namespace velmor::platform
