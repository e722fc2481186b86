// The search and word list commands end to end: a running server and the
// player client, with real folders and list files beside the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "library/data_table.h"
#include "library/list_file.h"
#include "library/search_manager.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "player_client.h"
#include "running_server.h"
#include "runtime/server_runtime.h"
#include "test_support.h"

namespace velmor {
namespace {

constexpr uint32_t kWaitMs = 10000;
constexpr char kBom[] = "\xEF\xBB\xBF";
// The item word of a found file: kind 1 (bits 24-27), media type (20-23).
constexpr int64_t kVideoFileWord = (1 << 24) | (1 << 20);

using Answer = test::CommandAnswer;

bool WaitUntil(const std::function<bool()>& done) {
  const uint32_t start = platform::TickCount();
  while (!done()) {
    if (platform::TickDiff(platform::TickCount(), start) > static_cast<int32_t>(kWaitMs)) {
      return false;
    }
    platform::SleepMs(1);
  }
  return true;
}

class SearchCommandsTest : public test::RunningServerTest {
 protected:
  void Start() { StartServer(); }

  // Polls as the player does until the job has finished.
  void WaitForTheJob() {
    ASSERT_TRUE(WaitUntil([&] { return Run("CM_SEARCH_ISFINISHED").slots.at(0).value == 1; }));
  }
  int64_t ResultCount() { return Run("CM_SEARCH_GETNUM").slots.at(0).value; }

  std::string Media(const std::string& relative = "") const {
    const std::string root = WithForwardSlashes(media_.path());
    return relative.empty() ? root : root + "/" + relative;
  }
  void File(const std::string& relative, const std::string& bytes = "x") {
    const std::string path = Media(relative);
    ASSERT_TRUE(EnsureFolder(path.substr(0, path.rfind('/'))));
    test::WriteFileOrFail(path, bytes);
  }
  void Targets(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders) text += folder + "\r\n";
    test::WriteFileOrFail(home_.Join("SearchFolder1.vrl"), text);
  }
  DataTable& Table() { return *runtime_.library().data_table(); }

  test::TempFolder media_;
};

TEST_F(SearchCommandsTest, PollingBeforeAnyJobIsRefused) {
  Start();
  for (const char* name : {"CM_SEARCH_ISFINISHED", "CM_SEARCH_REQUESTCANCEL", "CM_SEARCH_GETNUM",
                           "CM_SEARCH_GETPROGRESS"}) {
    EXPECT_FALSE(Run(name).ok) << name;
  }
  EXPECT_FALSE(Run("CM_SEARCH_GETPATH", {"0", "1"}).ok);
  EXPECT_FALSE(Run("CM_SEARCH_GETDIR", {"0", "1"}).ok);
}

TEST_F(SearchCommandsTest, AWordSearchFindsFilesAndAnswersWithTheirRecords) {
  File("a/Two-WORDS Movie.mp4", "12345");
  File("a/two words.mp3");
  File("Two Words Series/ep1.mp4", "1");
  Targets({Media()});
  Start();
  const int64_t id = [&] {
    DataTable::Locked table = Table().Lock();
    S_DATATABLE* record = table.CreateRecord(Media("a/Two-WORDS Movie.mp4"), 5);
    record->flags = 1;
    S_DATATABLE* chapter = table.CreateRecord(Media("Two Words Series"), -2);
    chapter->flags = 4;
    return record->id_int;
  }();
  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"two words", "1"}).ok);
  WaitForTheJob();
  ASSERT_EQ(ResultCount(), 1);
  Answer answer = Run("CM_SEARCH_GETPATH", {"0", "10"});
  ASSERT_TRUE(answer.ok);
  ASSERT_EQ(answer.slots.size(), 1u);
  EXPECT_EQ(answer.slots[0].value, 0);
  EXPECT_EQ(answer.slots[0].text, "<flag>" + std::to_string(kVideoFileWord | 1) + "<id_int>" +
                                      std::to_string(id) + "<path>\"" +
                                      Media("a/Two-WORDS Movie.mp4") + "\"<file_size>5");

  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"series", "9"}).ok);
  WaitForTheJob();
  answer = Run("CM_SEARCH_GETPATH", {"0", "10"});
  ASSERT_EQ(answer.slots.size(), 1u);
  EXPECT_EQ(answer.slots[0].text.rfind(
                "<flag>" + std::to_string((1 << 24) | 0x20000 | 4) + "<id_int>", 0),
            0u)
      << "a chapter folder: its flags, the folder bit, kind 1 and no media type";
  EXPECT_NE(answer.slots[0].text.find("<path>\"" + Media("Two Words Series") + "\"<file_size>-2"),
            std::string::npos);
}

TEST_F(SearchCommandsTest, RangesAreCheckedAndCutToThirtyTwoSlots) {
  for (int i = 0; i < 40; ++i) File("many/clip" + std::to_string(i) + ".mp4");
  Targets({Media("many")});
  Start();
  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"clip", "1"}).ok);
  WaitForTheJob();
  ASSERT_EQ(ResultCount(), 40);
  EXPECT_EQ(Run("CM_SEARCH_GETPATH", {"0", "100"}).slots.size(), 32u);
  EXPECT_EQ(Run("CM_SEARCH_GETPATH", {"35", "10"}).slots.size(), 5u) << "stops at the end";
  Answer past = Run("CM_SEARCH_GETPATH", {"40", "10"});
  EXPECT_TRUE(past.ok);
  EXPECT_TRUE(past.slots.empty());
  Answer none = Run("CM_SEARCH_GETPATH", {"0", "-3"});
  EXPECT_TRUE(none.ok);
  EXPECT_TRUE(none.slots.empty());
  EXPECT_FALSE(Run("CM_SEARCH_GETPATH", {"-1", "5"}).ok);
  EXPECT_FALSE(Run("CM_SEARCH_GETPATH", {"0"}).ok) << "a command must carry its fields";
  EXPECT_FALSE(Run("CM_SEARCH_GETDIR", {"-5", "1"}).ok);
  EXPECT_FALSE(Run("CM_SEARCH_FILE", {"clip"}).ok);
  EXPECT_FALSE(Run("CM_FIND_FILE", {Media("a.mp4")}).ok);
  EXPECT_FALSE(Run("CM_GETDIR").ok);
}

TEST_F(SearchCommandsTest, FindFileFindsTheMovedFile) {
  File("new place/movie.mp4", "12345");
  Targets({Media()});
  Start();
  ASSERT_TRUE(Run("CM_FIND_FILE", {Media("old place/movie.mp4"), "5"}).ok);
  WaitForTheJob();
  const Answer answer = Run("CM_SEARCH_GETPATH", {"0", "32"});
  ASSERT_EQ(answer.slots.size(), 1u);
  EXPECT_NE(answer.slots[0].text.find("<path>\"" + Media("new place/movie.mp4") + "\""),
            std::string::npos);
  ASSERT_TRUE(Run("CM_FIND_FILE", {Media("old place/movie.mp4"), "6"}).ok);
  WaitForTheJob();
  EXPECT_EQ(ResultCount(), 0);
}

TEST_F(SearchCommandsTest, TheFolderBrowserListsTheComputerAndFolders) {
  test::WriteFileOrFail(home_.Join("PCFolderList.vrl"),
                        std::string(kBom) + Media() + "\r\n#sc Videos\r\n#ignore_start _\r\n");
  File("b10/inner/clip.mp4");
  File("b2/clip.mp4");
  File("_skip/clip.mp4");
  Start();
  ASSERT_TRUE(Run("CM_GETDIR", {"(Computer)", ""}).ok);
  WaitForTheJob();
  EXPECT_EQ(Run("CM_SEARCH_GETDIR", {"0", "32"}).Texts(),
            (std::vector<std::string>{
                "<flag>1<type>2<dir_name>\"" + Media() + "\"<disp_name>\"" + Media() + "\")",
                "<flag>1<type>3<dir_name>\"Videos\"<disp_name>\"Videos\")"}));

  ASSERT_TRUE(Run("CM_GETDIR", {Media(), ""}).ok);
  WaitForTheJob();
  EXPECT_EQ(Run("CM_SEARCH_GETDIR", {"0", "32"}).Texts(),
            (std::vector<std::string>{"<flag>0<type>0<dir_name>\"b2\"<disp_name>\"b2\")",
                                      "<flag>1<type>0<dir_name>\"b10\"<disp_name>\"b10\")"}));
  EXPECT_EQ(Run("CM_SEARCH_GETDIR", {"1", "32"}).slots.size(), 1u);

  ASSERT_TRUE(Run("CM_GETDIR", {Media("b10"), "2"}).ok);
  WaitForTheJob();
  const std::vector<std::string> tree = Run("CM_SEARCH_GETDIR", {"0", "32"}).Texts();
  ASSERT_EQ(tree.size(), 2u);
  EXPECT_NE(tree[0].find("<full_path>\"" + Media("b10/inner") + "\""), std::string::npos);
  EXPECT_NE(tree[1].find("<type>5"), std::string::npos);
}

TEST_F(SearchCommandsTest, ProgressCancelAndRestartWhileAJobRuns) {
  for (const char* folder : {"f1", "f2", "f3"}) File(std::string(folder) + "/hit.mp4");
  File("f3/other.mp4");
  Targets({Media("f1"), Media("f2"), Media("f3")});
  Start();
  ASSERT_TRUE(Run("CM_GETDIR", {Media("f1"), "1"}).ok);  // creates the manager
  WaitForTheJob();
  std::atomic<int> holds{0};
  std::atomic<bool> reached{false};
  runtime_.library().search_manager()->SetFolderObserver(
      [&](const SearchJob& job, const std::string& folder) {
        if (folder != Media("f2") || holds.fetch_add(1) > 1) return;
        reached = true;
        WaitUntil([&] { return job.cancel_requested(); });
      });

  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"hit", "1"}).ok);
  ASSERT_TRUE(WaitUntil([&] { return reached.load(); }));
  EXPECT_EQ(Run("CM_SEARCH_ISFINISHED").slots.at(0).value, 0);
  Answer progress = Run("CM_SEARCH_GETPROGRESS");
  ASSERT_TRUE(progress.ok);
  EXPECT_EQ(progress.slots.at(0).value, 0);
  EXPECT_EQ(progress.slots.at(0).text, Media("f2"));
  EXPECT_EQ(ResultCount(), 1) << "f1's file, read while the job runs";
  ASSERT_TRUE(Run("CM_SEARCH_REQUESTCANCEL").ok);
  WaitForTheJob();
  EXPECT_EQ(ResultCount(), 2) << "f2 was finished, f3 never begun";
  progress = Run("CM_SEARCH_GETPROGRESS");
  EXPECT_EQ(progress.slots.at(0).value, 1);
  EXPECT_EQ(progress.slots.at(0).text, "");

  reached = false;
  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"hit", "1"}).ok);
  ASSERT_TRUE(WaitUntil([&] { return reached.load(); }));
  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"other", "1"}).ok) << "cancels the running job first";
  WaitForTheJob();
  EXPECT_EQ(Run("CM_SEARCH_GETPATH", {"0", "32"}).slots.size(), 1u);
  EXPECT_NE(Run("CM_SEARCH_GETPATH", {"0", "32"}).slots.at(0).text.find("other.mp4"),
            std::string::npos);
}

TEST_F(SearchCommandsTest, ShutdownStopsARunningJob) {
  File("f1/hit.mp4");
  File("f2/hit.mp4");
  Targets({Media("f1"), Media("f2")});
  Start();
  ASSERT_TRUE(Run("CM_GETDIR", {Media("f1"), "1"}).ok);
  WaitForTheJob();
  std::atomic<bool> reached{false};
  runtime_.library().search_manager()->SetFolderObserver(
      [&](const SearchJob& job, const std::string& folder) {
        if (folder != Media("f2")) return;
        reached = true;
        WaitUntil([&] { return job.cancel_requested(); });
      });
  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"hit", "1"}).ok);
  ASSERT_TRUE(WaitUntil([&] { return reached.load(); }));
  runtime_.Shutdown();
  EXPECT_EQ(runtime_.command_server(), nullptr);
}

TEST_F(SearchCommandsTest, TheWordListIsReadAtStartAndEditedByThePlayer) {
  test::WriteFileOrFail(home_.Join("WordList.txt"),
                        std::string(kBom) + "#start\r\n#dat\t\"b\" \"from file\"\r\n#end\r\n");
  Start();
  EXPECT_EQ(Run("CM_WORDLIST_GETNUM").slots.at(0).value, 1);
  EXPECT_TRUE(Run("CM_WORDLIST_ADD", {"a", "new word"}).ok);
  EXPECT_FALSE(Run("CM_WORDLIST_ADD", {"a", "new word"}).ok) << "exactly that pair exists";
  EXPECT_FALSE(Run("CM_WORDLIST_ADD", {"a", std::string(32, 'w')}).ok);
  EXPECT_FALSE(Run("CM_WORDLIST_ADD", {"a"}).ok);
  EXPECT_TRUE(Run("CM_WORDLIST_ADD", {"a", "gone"}).ok);
  EXPECT_TRUE(Run("CM_WORDLIST_DEL", {"a", "gone"}).ok);
  EXPECT_EQ(
      Run("CM_WORDLIST_GETITEMN", {"0", "40"}).Texts(),
      (std::vector<std::string>{"<id>\"b\",<word>\"from file\"", "<id>\"a\",<word>\"new word\""}));
  EXPECT_EQ(Run("CM_WORDLIST_GETITEMN", {"1", "0"}).slots.size(), 0u);
  EXPECT_FALSE(Run("CM_WORDLIST_GETITEMN", {"-1", "1"}).ok);

  ASSERT_TRUE(Run("CM_WORDLIST_SAVE").ok);
  EXPECT_EQ(test::ReadFileOrEmpty(home_.Join("WordList.txt")),
            std::string(kBom) +
                "#start\r\n#dat\t\"a\" \"new word\"\r\n#dat\t\"b\" \"from file\"\r\n#end\r\n");
  EXPECT_EQ(Run("CM_WORDLIST_ISUPDATE").slots.at(0).value, 0);

  const std::string other = std::string(kBom) + "#start\r\n#dat\t\"c\" \"edited\"\r\n#end\r\n";
  test::WriteFileOrFail(home_.Join("WordList.txt"), other);
  ASSERT_TRUE(platform::SetFileTimes(home_.Join("WordList.txt"), 0,
                                     GetFileWriteTime(home_.Join("WordList.txt")) + 100'000'000));
  EXPECT_EQ(Run("CM_WORDLIST_ISUPDATE").slots.at(0).value, 1);
  ASSERT_TRUE(Run("CM_WORDLIST_LOAD").ok);
  EXPECT_EQ(Run("CM_WORDLIST_GETITEMN", {"0", "32"}).Texts(),
            std::vector<std::string>{"<id>\"c\",<word>\"edited\""});
}

TEST_F(SearchCommandsTest, AMissingOrUnreadableWordListLoadsAndOnlyASaveFails) {
  const std::string file = home_.Join("WordList.txt");
  test::WriteFileOrFail(file,
                        std::string(kBom) + "#start\r\n#dat\t\"b\" \"from file\"\r\n#end\r\n");
  Start();
  ASSERT_TRUE(platform::DeleteFile(file));
  EXPECT_TRUE(Run("CM_WORDLIST_LOAD").ok) << "missing";
  EXPECT_EQ(Run("CM_WORDLIST_GETNUM").slots.at(0).value, 1) << "the list stays as it was";
  // A folder where the file should be: it can be neither read nor written.
  ASSERT_TRUE(EnsureFolder(file));
  EXPECT_TRUE(Run("CM_WORDLIST_LOAD").ok) << "unreadable";
  ASSERT_TRUE(Run("CM_WORDLIST_ADD", {"a", "new word"}).ok);
  EXPECT_FALSE(Run("CM_WORDLIST_SAVE").ok);
  EXPECT_EQ(Run("CM_WORDLIST_GETNUM").slots.at(0).value, 2);
}

TEST_F(SearchCommandsTest, TheWordListIsSavedWhenThePlayerLeaves) {
  Start();
  ASSERT_TRUE(Run("CM_WORDLIST_ADD", {"id", "kept"}).ok);
  client_.Close();
  EXPECT_TRUE(WaitUntil([&] {
    return test::ReadFileOrEmpty(home_.Join("WordList.txt")).find("#dat\t\"id\" \"kept\"") !=
           std::string::npos;
  }));
}

TEST_F(SearchCommandsTest, ALargeSearchCountsCorrectlyWhilePolledEvery10ms) {
  // 20,000 files in 200 folders, made without flushing each one.
  constexpr int kFolders = 200;
  constexpr int kFiles = 20000;
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = Media("f" + std::to_string(f));
    ASSERT_TRUE(EnsureFolder(folder));
    for (int i = f; i < kFiles; i += kFolders) {
      platform::File file;
      ASSERT_TRUE(
          file.Open(folder + "/clip " + std::to_string(i) + ".mp4", platform::File::Mode::kCreate));
    }
  }
  Targets({Media()});
  Start();
  ASSERT_TRUE(Run("CM_SEARCH_FILE", {"clip", "1"}).ok);
  int64_t previous = 0;
  const uint32_t start = platform::TickCount();
  for (;;) {
    const bool finished = Run("CM_SEARCH_ISFINISHED").slots.at(0).value == 1;
    const int64_t count = ResultCount();
    EXPECT_GE(count, previous) << "results only grow while the job runs";
    EXPECT_LE(count, kFiles);
    previous = count;
    if (finished) break;
    ASSERT_LT(platform::TickDiff(platform::TickCount(), start), 120000) << "the search never ended";
    platform::SleepMs(10);
  }
  EXPECT_EQ(ResultCount(), kFiles);
  // Reading results while nothing runs gives whole texts.
  const Answer last = Run("CM_SEARCH_GETPATH", {std::to_string(kFiles - 32), "32"});
  EXPECT_EQ(last.slots.size(), 32u);
}

}  // namespace
}  // namespace velmor
