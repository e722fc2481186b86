#include "core/server_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "core/paths.h"
#include "test_support.h"

namespace velmor {
namespace {

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The body of a line after its "YYYY-MM-DD, hh:mm:ss, " prefix.
std::string Body(const std::string& line) {
  static const std::regex prefix(R"(^\d{4}-\d{2}-\d{2}, \d{2}:\d{2}:\d{2}, )");
  EXPECT_TRUE(std::regex_search(line, prefix)) << line;
  return line.size() >= 22 ? line.substr(22) : line;
}

class ServerLogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(home_.path()); }
  std::vector<std::string> FileLines() {
    return Lines(test::ReadFileOrEmpty(ServerLog::DefaultPath()));
  }
  test::TempFolder home_;
};

TEST_F(ServerLogTest, LivesBesideTheProgramUnderTheProductName) {
  EXPECT_EQ(SplitPath(ServerLog::DefaultPath()).file_name, "VelmorVR Server[Log].txt");
}

TEST_F(ServerLogTest, OpeningWritesOneStartLineAndShutdownEndsIt) {
  ServerLog log;
  log.Apply(1);
  ASSERT_TRUE(log.IsOpen());
  log.WriteLine(ServerLog::Tagged("MAKE_DIR", "dir=\"/a/b\""));
  log.WriteShutdownAndClose();
  EXPECT_FALSE(log.IsOpen());
  const std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Body(lines[0]),
            "START           , VelmorVR Server Ver2.21(Oct 23 2022) : Protocol Ver220");
  EXPECT_EQ(Body(lines[1]), "MAKE_DIR        , dir=\"/a/b\"");
  EXPECT_EQ(Body(lines[2]), "SHUTDOWN");
  EXPECT_EQ(test::ReadFileOrEmpty(ServerLog::DefaultPath()).rfind("\xEF\xBB\xBF", 0), 0u);
}

TEST_F(ServerLogTest, SwitchingOffClosesWithoutALineAndOnAgainAppends) {
  ServerLog log;
  log.Apply(1);
  log.Apply(0);
  EXPECT_FALSE(log.IsOpen());
  log.WriteLine("lost while closed");
  log.WriteShutdownAndClose();  // closed: no SHUTDOWN line
  log.Apply(2);                 // neither 0 nor 1: no change
  EXPECT_FALSE(log.IsOpen());
  log.Apply(1);
  log.Apply(1);  // already open: no second START
  log.Close();
  const std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]).substr(0, 5), "START");
  EXPECT_EQ(Body(lines[1]).substr(0, 5), "START");
}

TEST_F(ServerLogTest, TagsArePaddedTo16CharactersAndLongerOnesKeptWhole) {
  EXPECT_EQ(ServerLog::Tagged("EVENT", "x"), "EVENT           , x");
  EXPECT_EQ(ServerLog::Tagged("PLAY_FILE:ERROR", "x"), "PLAY_FILE:ERROR , x");
  EXPECT_EQ(ServerLog::Tagged("A_VERY_LONG_CLIENT_TAG", "x"), "A_VERY_LONG_CLIENT_TAG, x");
  EXPECT_EQ(ServerLog::Tagged("ログ", "x"), "ログ              , x") << "padding counts characters";
}

TEST_F(ServerLogTest, LongBodiesAreCut) {
  ServerLog log;
  ASSERT_TRUE(log.Open(ServerLog::DefaultPath()));
  log.WriteLine(std::string(2000, 'x'));
  log.WriteLine(std::string(300, 'y'), kLogEventBodyMax);
  log.Close();
  const std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Body(lines[1]), std::string(779, 'x'));
  EXPECT_EQ(Body(lines[2]), std::string(259, 'y'));
}

TEST_F(ServerLogTest, AFileThatCannotBeOpenedLeavesLoggingOff) {
  ServerLog log;
  EXPECT_FALSE(log.Open(home_.Join("missing/x.txt")));
  EXPECT_FALSE(log.IsOpen());
}

}  // namespace
}  // namespace velmor
