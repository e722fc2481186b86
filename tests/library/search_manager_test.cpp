// The search manager with its worker thread: jobs run in the background
// while results and progress are read; cancel and restart while a job runs.
// A folder observer holds the job at a chosen folder, so nothing depends on
// how fast the worker is.
#include "library/search_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "search_fixture.h"

namespace velmor {
namespace {

using Strings = std::vector<std::string>;
using test::WaitUntil;

class SearchManagerTest : public test::SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    // Three target folders, walked in the list's order.
    for (const char* folder : {"f1", "f2", "f3"}) {
      File(std::string(folder) + "/hit " + folder + ".mp4");
    }
    File("f2/hit f2 second.mp4");
    Targets({Media("f1"), Media("f2"), Media("f3")});
    manager_ = std::make_unique<SearchManager>(&table_);
    ASSERT_TRUE(manager_->Start());
  }

  // Holds the first job that enters `folder` there until it is asked to
  // stop.
  void HoldAt(const std::string& folder) {
    manager_->SetFolderObserver([this, folder](const SearchJob& job, const std::string& entered) {
      if (entered != folder || held_.exchange(true)) return;
      reached_ = true;
      // (No gtest assertion here: this runs on the worker thread.)
      WaitUntil([&] { return job.cancel_requested(); });
    });
  }

  Strings Found() const {
    Strings texts;
    for (const S_PATH& entry : manager_->results().Range(0, 100)) texts.push_back(entry.text);
    std::sort(texts.begin(), texts.end());
    return texts;
  }

  std::unique_ptr<SearchManager> manager_;
  std::atomic<bool> held_{false};
  std::atomic<bool> reached_{false};
};

TEST_F(SearchManagerTest, AJobRunsInTheBackgroundToItsEnd) {
  EXPECT_TRUE(manager_->IsFinished()) << "no job yet";
  EXPECT_EQ(manager_->Progress(), "");
  ASSERT_TRUE(manager_->StartSearchFile(settings_, "HIT", 1));
  ASSERT_TRUE(WaitUntil([&] { return manager_->IsFinished(); }));
  EXPECT_EQ(Found(), (Strings{Media("f1/hit f1.mp4"), Media("f2/hit f2 second.mp4"),
                              Media("f2/hit f2.mp4"), Media("f3/hit f3.mp4")}));
  EXPECT_EQ(manager_->Progress(), "") << "a finished job is no longer current";
}

TEST_F(SearchManagerTest, ResultsAndProgressCanBeReadWhileTheJobRuns) {
  HoldAt(Media("f2"));
  ASSERT_TRUE(manager_->StartSearchFile(settings_, "hit", 1));
  ASSERT_TRUE(WaitUntil([&] { return reached_.load(); }));
  EXPECT_FALSE(manager_->IsFinished());
  EXPECT_EQ(manager_->Progress(), Media("f2"));
  EXPECT_EQ(Found(), Strings{Media("f1/hit f1.mp4")});

  // Cancel stops the walk at the next folder; what was found stays.
  manager_->RequestCancel();
  ASSERT_TRUE(WaitUntil([&] { return manager_->IsFinished(); }));
  EXPECT_EQ(Found(), (Strings{Media("f1/hit f1.mp4"), Media("f2/hit f2 second.mp4"),
                              Media("f2/hit f2.mp4")}))
      << "the folder being walked is finished, the next one is not begun";
}

TEST_F(SearchManagerTest, ANewJobWaitsForTheRunningOneAndNeverMixesResults) {
  File("f3/other.mp4");
  HoldAt(Media("f2"));
  ASSERT_TRUE(manager_->StartSearchFile(settings_, "hit", 1));
  ASSERT_TRUE(WaitUntil([&] { return reached_.load(); }));
  std::thread second([&] { EXPECT_TRUE(manager_->StartSearchFile(settings_, "other", 1)); });
  second.join();
  ASSERT_TRUE(WaitUntil([&] { return manager_->IsFinished(); }));
  EXPECT_EQ(Found(), Strings{Media("f3/other.mp4")});

  ASSERT_TRUE(manager_->StartGetDir(settings_, Media(), 1));
  ASSERT_TRUE(WaitUntil([&] { return manager_->IsFinished(); }));
  EXPECT_EQ(manager_->results().size(), 3u) << "the three folders, nothing of the search";
}

TEST_F(SearchManagerTest, ThePreviousHitIsRememberedBetweenFindJobs) {
  ASSERT_TRUE(manager_->StartFindFile(settings_, Media("gone/hit f3.mp4"), -1));
  ASSERT_TRUE(WaitUntil([&] { return manager_->IsFinished(); }));
  EXPECT_EQ(Found(), Strings{Media("f3/hit f3.mp4")});
  ASSERT_TRUE(platform::DeleteFile(settings_.search_targets));
  ASSERT_TRUE(manager_->StartFindFile(settings_, Media("gone/hit f3.mp4"), 1));
  ASSERT_TRUE(WaitUntil([&] { return manager_->IsFinished(); }));
  EXPECT_EQ(Found(), Strings{Media("f3/hit f3.mp4")}) << "found in the last hit's folder";
}

TEST_F(SearchManagerTest, DestroyingTheManagerStopsTheRunningJob) {
  HoldAt(Media("f2"));
  ASSERT_TRUE(manager_->StartSearchFile(settings_, "hit", 1));
  ASSERT_TRUE(WaitUntil([&] { return reached_.load(); }));
  manager_.reset();  // returns once the job has left the folder observer
  EXPECT_TRUE(held_.load());
}

}  // namespace
}  // namespace velmor
