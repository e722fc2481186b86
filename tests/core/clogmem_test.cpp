#include "core/clogmem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <latch>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

using test::ReadFileOrEmpty;
using test::TempFolder;

// The writer may fall behind at any hand-over and then leaves its note in the
// log; the tests compare what the callers wrote.
std::string WithoutWaitNotes(std::string text) {
  const std::string note(CLOGMEM::kWaitNote);
  for (size_t at = text.find(note); at != std::string::npos; at = text.find(note, at)) {
    text.erase(at, note.size());
  }
  return text;
}

TEST(ClogmemTest, TextWrittenJustBeforeCloseReachesTheFile) {
  TempFolder folder;
  const std::string path = folder.Join("timing.txt");
  CLOGMEM log;
  ASSERT_TRUE(log.Open(path));
  EXPECT_TRUE(log.Write("first line\r\n"));
  EXPECT_TRUE(log.Write(std::string("last line\r\n")));
  EXPECT_TRUE(log.Close());
  EXPECT_EQ(ReadFileOrEmpty(path), "first line\r\nlast line\r\n");

  // Going out of scope closes too.
  {
    CLOGMEM scoped;
    ASSERT_TRUE(scoped.Open(path));
    EXPECT_TRUE(scoped.Write("from the destructor\r\n"));
  }
  EXPECT_EQ(ReadFileOrEmpty(path), "first line\r\nlast line\r\nfrom the destructor\r\n");
}

TEST(ClogmemTest, TextSizesAtTheSlotLimits) {
  TempFolder folder;
  const std::string path = folder.Join("sizes.txt");
  const std::string whole_slot(CLOGMEM::kCapacity, 'x');
  const std::string too_large(CLOGMEM::kCapacity + 1, 'z');
  CLOGMEM log;
  ASSERT_TRUE(log.Open(path));

  EXPECT_TRUE(log.Write(""));
  EXPECT_TRUE(log.Write(whole_slot)) << "exactly one slot into an empty slot";
  EXPECT_FALSE(log.Write(too_large));
  EXPECT_TRUE(log.Write("a"));
  EXPECT_TRUE(log.Write(whole_slot)) << "a whole slot behind text goes into the next slot";
  EXPECT_FALSE(log.Write(too_large));
  EXPECT_TRUE(log.Write(""));
  EXPECT_TRUE(log.Write("end"));
  EXPECT_FALSE(log.Write(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(log.Close());

  const std::string content = WithoutWaitNotes(ReadFileOrEmpty(path));
  EXPECT_EQ(content.find('z'), std::string::npos) << "a refused text left bytes behind";
  EXPECT_TRUE(content == whole_slot + "a" + whole_slot + "end")
      << "file holds " << content.size() << " bytes";
}

TEST(ClogmemTest, ClosedObjectRefusesWritesAndClosesCleanly) {
  CLOGMEM log;
  EXPECT_TRUE(log.Close()) << "never opened";
  EXPECT_FALSE(log.Write("text"));
  EXPECT_FALSE(log.Write(""));
  EXPECT_FALSE(log.Swap());
  log.Wait();  // returns at once: nothing was handed over
  EXPECT_TRUE(log.Close());

  TempFolder folder;
  const std::string path = folder.Join("closed.txt");
  ASSERT_TRUE(log.Open(path));
  EXPECT_TRUE(log.Write("while open"));
  EXPECT_TRUE(log.Close());
  EXPECT_FALSE(log.Write("after close"));
  log.Wait();
  EXPECT_TRUE(log.Close());
  EXPECT_EQ(ReadFileOrEmpty(path), "while open");
}

TEST(ClogmemTest, SwapAndWaitPutTheTextInTheFileWhileOpen) {
  TempFolder folder;
  const std::string path = folder.Join("swap.txt");
  CLOGMEM log;
  ASSERT_TRUE(log.Open(path));
  EXPECT_TRUE(log.Swap()) << "nothing to hand over";
  EXPECT_TRUE(log.Write("abc"));
  EXPECT_TRUE(log.Swap());
  log.Wait();
  EXPECT_EQ(WithoutWaitNotes(ReadFileOrEmpty(path)), "abc") << "others may read the open file";

  EXPECT_TRUE(log.Write("def"));
  EXPECT_TRUE(log.Close());
  EXPECT_EQ(WithoutWaitNotes(ReadFileOrEmpty(path)), "abcdef");
}

TEST(ClogmemTest, ReopenClosesFirstAndAppendsToExistingContent) {
  TempFolder folder;
  const std::string path = folder.Join("reopen.txt");
  const std::string other = folder.Join("other.txt");
  test::WriteFileOrFail(path, "old\r\n");
  CLOGMEM log;
  ASSERT_TRUE(log.Open(path));
  EXPECT_TRUE(log.Write("first\r\n"));
  ASSERT_TRUE(log.Open(path)) << "without Close in between";
  EXPECT_TRUE(log.Write("second\r\n"));
  ASSERT_TRUE(log.Open(other));
  EXPECT_TRUE(log.Write("elsewhere\r\n"));
  EXPECT_EQ(ReadFileOrEmpty(path), "old\r\nfirst\r\nsecond\r\n");
  EXPECT_TRUE(log.Close());
  EXPECT_EQ(ReadFileOrEmpty(other), "elsewhere\r\n");
}

TEST(ClogmemTest, OpenFailsWhenTheFolderIsMissing) {
  TempFolder folder;
  const std::string missing = folder.Join("no such folder/log.txt");
  CLOGMEM log;
  EXPECT_FALSE(log.Open(missing));
  EXPECT_FALSE(log.Write("text"));
  EXPECT_TRUE(log.Close());

  // A failed re-open still closes the previous file with its text.
  const std::string path = folder.Join("good.txt");
  ASSERT_TRUE(log.Open(path));
  EXPECT_TRUE(log.Write("kept"));
  EXPECT_FALSE(log.Open(missing));
  EXPECT_FALSE(log.Write("dropped"));
  EXPECT_TRUE(log.Close());
  EXPECT_EQ(ReadFileOrEmpty(path), "kept");
  EXPECT_EQ(platform::GetPathType(missing), platform::PathType::kNone);
}

TEST(ClogmemTest, FileNameIsUtf8) {
  TempFolder folder;
  const std::string name = "\xE3\x83\xAD\xE3\x82\xB0 \xC3\xBC.txt";  // "ログ ü.txt"
  CLOGMEM log;
  ASSERT_TRUE(log.Open(folder.Join(name)));
  EXPECT_TRUE(log.Write("text"));
  EXPECT_TRUE(log.Close());

  std::vector<platform::FileInfo> entries;
  ASSERT_TRUE(platform::ListFolder(folder.path(), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
  EXPECT_EQ(ReadFileOrEmpty(folder.Join(name)), "text");
}

// Lines of varying length, so the slot ends fall at different places in them.
std::string NumberedLine(int writer, int number) {
  return "T" + std::to_string(writer) + " L" + std::to_string(number) + " " +
         std::string(static_cast<size_t>(number * 7 % 61), '.') + "|\r\n";
}

// Splits "T<writer> L<number> ..." and checks the whole line is the one
// written under those numbers.
bool ParseLine(std::string_view line, int* writer, int* number) {
  if (line.size() < 2 || line[0] != 'T') return false;
  const char* end = line.data() + line.size();
  auto [after_writer, error1] = std::from_chars(line.data() + 1, end, *writer);
  if (error1 != std::errc() || end - after_writer < 2 || after_writer[0] != ' ' ||
      after_writer[1] != 'L') {
    return false;
  }
  auto [after_number, error2] = std::from_chars(after_writer + 2, end, *number);
  if (error2 != std::errc() || *writer < 0 || *number < 0) return false;
  const std::string expected = NumberedLine(*writer, *number);
  return std::string(line) + "\r\n" == expected;
}

TEST(ClogmemTest, ConcurrentWritersLoseNothingAndNeverInterleave) {
  constexpr int kWriters = 8;
  constexpr int kLines = 5000;  // about 1.6 MB: dozens of hand-overs
  TempFolder folder;
  const std::string path = folder.Join("concurrent.txt");
  CLOGMEM log;
  ASSERT_TRUE(log.Open(path));

  std::atomic<int> refused{0};
  std::latch start(kWriters);
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      start.arrive_and_wait();
      for (int n = 0; n < kLines; ++n) {
        if (!log.Write(NumberedLine(w, n))) refused.fetch_add(1);
      }
    });
  }
  for (auto& thread : writers) thread.join();
  EXPECT_TRUE(log.Close());
  EXPECT_EQ(refused.load(), 0);

  const std::string content = ReadFileOrEmpty(path);
  ASSERT_GT(content.size(), 10 * CLOGMEM::kCapacity);
  std::vector<std::vector<int>> seen(kWriters, std::vector<int>(kLines, 0));
  std::vector<int> last(kWriters, -1);
  const std::string_view note = CLOGMEM::kWaitNote.substr(0, CLOGMEM::kWaitNote.size() - 2);
  size_t bad_lines = 0;
  size_t begin = 0;
  for (size_t end = content.find("\r\n"); end != std::string::npos;
       begin = end + 2, end = content.find("\r\n", begin)) {
    const std::string_view line(content.data() + begin, end - begin);
    int writer = 0;
    int number = 0;
    if (line == note) continue;
    if (!ParseLine(line, &writer, &number) || writer >= kWriters || number >= kLines) {
      if (++bad_lines <= 5) ADD_FAILURE() << "broken line: " << line;
      continue;
    }
    ++seen[writer][number];
    EXPECT_GT(number, last[writer]) << "writer " << writer << " out of order";
    last[writer] = number;
  }
  EXPECT_EQ(begin, content.size()) << "text after the last line end";
  EXPECT_EQ(bad_lines, 0u);
  for (int w = 0; w < kWriters; ++w) {
    for (int n = 0; n < kLines; ++n) {
      if (seen[w][n] != 1) {
        ADD_FAILURE() << "line T" << w << " L" << n << " found " << seen[w][n] << " times";
        return;
      }
    }
  }
}

}  // namespace
}  // namespace velmor
