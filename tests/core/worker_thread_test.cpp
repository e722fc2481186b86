#include "core/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace velmor {
namespace {

// Records the order of callbacks; the pass ends the loop after a number of
// passes (or never, with -1).
struct Recorder {
  std::mutex mutex;
  std::vector<std::string> calls;
  std::atomic<int> passes{0};
  int start_result = 1;
  int passes_before_zero = -1;
  platform::ManualResetEvent first_pass;
  platform::ManualResetEvent ended;

  void Add(const char* call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(call);
  }
  static int Start(void* self) {
    auto* r = static_cast<Recorder*>(self);
    r->Add("start");
    return r->start_result;
  }
  static int Pass(void* self) {
    auto* r = static_cast<Recorder*>(self);
    const int n = ++r->passes;
    r->first_pass.Set();
    if (r->passes_before_zero >= 0 && n >= r->passes_before_zero) return 0;
    return 1;
  }
  static int End(void* self) {
    auto* r = static_cast<Recorder*>(self);
    r->Add("end");
    r->ended.Set();
    return 1;
  }
};

TEST(WorkerThread, RunsStartThenPassesThenEnd) {
  Recorder recorder;
  WorkerThread thread;
  ASSERT_TRUE(thread.Start(&Recorder::Start, &Recorder::Pass, &Recorder::End, &recorder));
  ASSERT_TRUE(recorder.first_pass.Wait(10000));
  EXPECT_TRUE(thread.Stop());
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start", "end"}));
  EXPECT_GE(recorder.passes.load(), 1);
}

TEST(WorkerThread, APassReturningZeroEndsTheLoop) {
  Recorder recorder;
  recorder.passes_before_zero = 3;
  WorkerThread thread;
  ASSERT_TRUE(thread.Start(nullptr, &Recorder::Pass, &Recorder::End, &recorder));
  // The thread ends by itself; Stop only collects it.
  ASSERT_TRUE(recorder.ended.Wait(60000));
  EXPECT_TRUE(thread.Stop());
  EXPECT_EQ(recorder.passes.load(), 3);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"end"}));
}

TEST(WorkerThread, AStartReturningZeroSkipsThePasses) {
  Recorder recorder;
  recorder.start_result = 0;
  WorkerThread thread;
  ASSERT_TRUE(thread.Start(&Recorder::Start, &Recorder::Pass, &Recorder::End, &recorder));
  EXPECT_TRUE(thread.Stop());
  EXPECT_EQ(recorder.passes.load(), 0);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start", "end"}));
}

TEST(WorkerThread, StopWakesAPassThatWaitsOnTheStopEvent) {
  struct Waiter {
    WorkerThread thread;
    std::atomic<int> passes{0};
    platform::ManualResetEvent waiting;
    static int Pass(void* self) {
      auto* w = static_cast<Waiter*>(self);
      ++w->passes;
      w->waiting.Set();
      w->thread.SleepUnlessStopped(60000);
      return 1;
    }
  } waiter;
  ASSERT_TRUE(waiter.thread.Start(nullptr, &Waiter::Pass, nullptr, &waiter));
  ASSERT_TRUE(waiter.waiting.Wait(60000));
  EXPECT_TRUE(waiter.thread.Stop()) << "stop must not wait for the minute-long sleep";
  EXPECT_EQ(waiter.passes.load(), 1);
}

TEST(WorkerThread, AThreadThatDoesNotFinishIsAbandonedAfterTheBound) {
  static platform::ManualResetEvent release;
  static std::atomic<bool> ended{false};
  struct Stuck {
    static int Start(void*) {
      release.Wait(60000);
      return 0;
    }
    static int End(void*) {
      ended = true;
      return 1;
    }
  };
  WorkerThread thread;
  ASSERT_TRUE(thread.Start(&Stuck::Start, nullptr, &Stuck::End, nullptr));
  EXPECT_FALSE(thread.Stop());
  EXPECT_FALSE(thread.IsRunning());
  // Let the abandoned thread finish before the test's statics go away.
  release.Set();
  for (int i = 0; i < 1000 && !ended; ++i) platform::SleepMs(10);
}

TEST(WorkerThread, StopWithoutStartAndTwiceIsHarmless) {
  WorkerThread thread;
  EXPECT_TRUE(thread.Stop());
  Recorder recorder;
  ASSERT_TRUE(thread.Start(nullptr, &Recorder::Pass, nullptr, &recorder));
  EXPECT_TRUE(thread.Stop());
  EXPECT_TRUE(thread.Stop());
  EXPECT_TRUE(thread.Start(nullptr, &Recorder::Pass, nullptr, &recorder)) << "restartable";
  EXPECT_TRUE(thread.Stop());
}

}  // namespace
}  // namespace velmor
