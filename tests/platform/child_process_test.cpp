#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor::platform {
namespace {

TEST(QuoteWindowsArgumentTest, LeavesPlainArgumentsAlone) {
  EXPECT_EQ(QuoteWindowsArgument("-i"), "-i");
  EXPECT_EQ(QuoteWindowsArgument("C:\\Videos\\clip.mp4"), "C:\\Videos\\clip.mp4");
  EXPECT_EQ(QuoteWindowsArgument("trailing\\"), "trailing\\");  // no quote follows
  EXPECT_EQ(QuoteWindowsArgument("動画.mp4"), "動画.mp4");
}

TEST(QuoteWindowsArgumentTest, QuotesEmptyAndBlankArguments) {
  EXPECT_EQ(QuoteWindowsArgument(""), "\"\"");
  EXPECT_EQ(QuoteWindowsArgument("a b"), "\"a b\"");
  EXPECT_EQ(QuoteWindowsArgument("a\tb"), "\"a\tb\"");
  EXPECT_EQ(QuoteWindowsArgument("C:\\My Videos\\clip.mp4"), "\"C:\\My Videos\\clip.mp4\"");
}

TEST(QuoteWindowsArgumentTest, EscapesQuotesAndTheBackslashesBeforeThem) {
  EXPECT_EQ(QuoteWindowsArgument("say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(QuoteWindowsArgument("\""), "\"\\\"\"");
  // Backslashes before a quote are doubled, plus one for the quote.
  EXPECT_EQ(QuoteWindowsArgument("a\\\"b"), "\"a\\\\\\\"b\"");
  // Before the closing quote they are doubled too.
  EXPECT_EQ(QuoteWindowsArgument("C:\\My Videos\\"), "\"C:\\My Videos\\\\\"");
  // Elsewhere they stay as they are.
  EXPECT_EQ(QuoteWindowsArgument("a\\\\b c"), "\"a\\\\b c\"");
}

TEST(QuoteWindowsArgumentTest, AFileNameCannotEndTheArgumentEarly) {
  // A name made to close the quote and start an option of its own.
  const std::string hostile = "x\\\" -f \"y";
  const std::string quoted = QuoteWindowsArgument(hostile);
  EXPECT_EQ(quoted, "\"x\\\\\\\" -f \\\"y\"");
}

TEST(ChildProcessTest, MissingProgramFailsToStart) {
  ChildProcess child;
  test::TempFolder temp;
  EXPECT_FALSE(child.Start({temp.Join("no-such-program")}));
  EXPECT_FALSE(child.Start({}));
  EXPECT_FALSE(child.IsRunning());
  int exit_code = 0;
  EXPECT_FALSE(child.Wait(0, &exit_code));
  char byte;
  EXPECT_EQ(child.ReadOutput(&byte, 1, 0), -1);
}

#ifndef _WIN32
std::string RunForOutput(const std::vector<std::string>& argv, int* exit_code,
                         const std::string& working_folder = {}) {
  ChildProcess child;
  EXPECT_TRUE(child.Start(argv, working_folder)) << argv[0];
  std::string output;
  EXPECT_TRUE(child.ReadAllOutput(&output, 60000));
  EXPECT_TRUE(child.Wait(60000, exit_code));
  EXPECT_FALSE(child.IsRunning());
  return output;
}

TEST(ChildProcessTest, ReadsTheWholeOutput) {
  test::TempFolder temp;
  std::string content(2 * 1024 * 1024 + 3, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 + i / 997);
  test::WriteFileOrFail(temp.Join("input.bin"), content);
  int exit_code = -1;
  const std::string output = RunForOutput({"/bin/cat", temp.Join("input.bin")}, &exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_TRUE(output == content) << output.size();
}

TEST(ChildProcessTest, ArgumentsArriveUnchangedWithoutAShell) {
  int exit_code = -1;
  const std::string output = RunForOutput(
      {"/bin/echo", "two  words", "$(touch x)", "*", "; rm -rf /", "'q'", "\"dq\"", "動画"},
      &exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(output, "two  words $(touch x) * ; rm -rf / 'q' \"dq\" 動画\n");
}

TEST(ChildProcessTest, ReportsExitCodes) {
  int exit_code = -1;
  EXPECT_EQ(RunForOutput({"/bin/false"}, &exit_code), "");
  EXPECT_EQ(exit_code, 1);
  EXPECT_EQ(RunForOutput({"true"}, &exit_code), "");  // found on PATH
  EXPECT_EQ(exit_code, 0);
}

TEST(ChildProcessTest, StandardInputIsEmptyAndErrorsAreDiscarded) {
  int exit_code = -1;
  // cat without a file copies standard input: nothing, and it ends.
  EXPECT_EQ(RunForOutput({"/bin/cat"}, &exit_code), "");
  EXPECT_EQ(exit_code, 0);
  // Its complaint goes to standard error, which is not the output.
  EXPECT_EQ(RunForOutput({"/bin/cat", "/no/such/file"}, &exit_code), "");
  EXPECT_NE(exit_code, 0);
}

TEST(ChildProcessTest, TimesOutAndKills) {
  ChildProcess child;
  ASSERT_TRUE(child.Start({"/bin/sleep", "30"}));
  EXPECT_TRUE(child.IsRunning());
  char byte;
  EXPECT_EQ(child.ReadOutput(&byte, 1, 50), -1);
  int exit_code = -1;
  EXPECT_FALSE(child.Wait(50, &exit_code));
  EXPECT_TRUE(child.IsRunning());
  child.Kill();
  EXPECT_FALSE(child.IsRunning());
  EXPECT_TRUE(child.Wait(0, &exit_code));
  EXPECT_NE(exit_code, 0);
  EXPECT_EQ(child.ReadOutput(&byte, 1, 10000), 0);  // the pipe's end
  child.Kill();                                     // twice is harmless

  // A second run with the same object, and the destructor ends it.
  ASSERT_TRUE(child.Start({"/bin/sleep", "30"}));
  EXPECT_TRUE(child.IsRunning());
}

// An absolute path as one relative to our current folder ("../../bin/pwd").
std::string RelativeToCurrent(const std::string& absolute) {
  std::string up;
  for (char c : CurrentFolder()) {
    if (c == '/') up += "../";
  }
  return up + absolute.substr(1);
}

TEST(ChildProcessTest, RunsInTheWorkingFolder) {
  test::TempFolder temp;
  const std::string folder = temp.Join("work folder");
  ASSERT_TRUE(CreateFolder(folder));
  int exit_code = -1;
  EXPECT_EQ(RunForOutput({"/bin/pwd"}, &exit_code, folder), folder + "\n");
  EXPECT_EQ(RunForOutput({"/bin/pwd"}, &exit_code), CurrentFolder() + "\n") << "none: ours";
  // A relative program path is found from our folder, not the child's.
  const std::string relative = RelativeToCurrent("/bin/pwd");
  ASSERT_EQ(relative.front(), '.');
  EXPECT_EQ(RunForOutput({relative}, &exit_code, folder), folder + "\n");

  ChildProcess child;
  EXPECT_FALSE(child.Start({"/bin/pwd"}, temp.Join("missing")));
}

TEST(ChildProcessTest, IsRunningDoesNotSwallowTheExitCode) {
  ChildProcess child;
  ASSERT_TRUE(child.Start({"/bin/false"}));
  std::string output;
  EXPECT_TRUE(child.ReadAllOutput(&output, 60000));
  while (child.IsRunning()) {
    int ignored;
    child.Wait(10, &ignored);
  }
  int exit_code = -1;
  ASSERT_TRUE(child.Wait(60000, &exit_code));
  EXPECT_EQ(exit_code, 1);
}

#ifdef __linux__
std::vector<std::string> OpenDescriptors() {
  std::vector<FileInfo> entries;
  EXPECT_TRUE(ListFolder("/proc/self/fd", &entries));
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  for (const auto& entry : names) {
    if (entry == name) return true;
  }
  return false;
}

TEST(ChildProcessTest, ChildInheritsNoHandleOfTheServer) {
  const std::vector<std::string> before = OpenDescriptors();
  // Open things a careless server would leak into every child.
  test::TempFolder temp;
  File file;
  ASSERT_TRUE(file.Open(temp.Join("open.txt"), File::Mode::kCreate));
  ChildProcess sleeper;
  ASSERT_TRUE(sleeper.Start({"/bin/sleep", "30"}));
  std::vector<std::string> ours;
  for (const auto& name : OpenDescriptors()) {
    if (!Contains(before, name)) ours.push_back(name);
  }
  ASSERT_GE(ours.size(), 2u);

  int exit_code = -1;
  const std::string output = RunForOutput({"/bin/ls", "/proc/self/fd"}, &exit_code);
  EXPECT_EQ(exit_code, 0);
  std::vector<std::string> inherited;
  size_t start = 0;
  for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
    inherited.push_back(output.substr(start, end - start));
  }
  EXPECT_TRUE(Contains(inherited, "1"));
  for (const auto& name : ours) EXPECT_FALSE(Contains(inherited, name)) << "descriptor " << name;
}
#endif
#endif  // !_WIN32

}  // namespace
}  // namespace velmor::platform
