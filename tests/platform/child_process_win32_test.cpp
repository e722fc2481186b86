// Child processes on Windows, where no small standard programs like cat or
// sleep exist: this test program starts itself and runs one of the disabled
// helper tests below, which only run when asked for by name.
#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "base/utf.h"
#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor::platform {
namespace {

constexpr size_t kBulkSize = 1024 * 1024;

std::string OwnProgram() { return ExecutableFolder() + "\\platform_tests.exe"; }

std::vector<std::string> HelperCommand(const std::string& helper,
                                       const std::vector<std::string>& extra = {}) {
  std::vector<std::string> argv = {OwnProgram(), "--gtest_also_run_disabled_tests",
                                   "--gtest_filter=ChildHelper.DISABLED_" + helper};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return argv;
}

// The text between the helper's markers, without the test runner's own lines.
std::string Between(const std::string& output, const std::string& begin, const std::string& end) {
  const size_t start = output.find(begin);
  const size_t stop = output.find(end);
  if (start == std::string::npos || stop == std::string::npos || stop < start) return "<missing>";
  return output.substr(start + begin.size(), stop - start - begin.size());
}

std::string RunForOutput(const std::vector<std::string>& argv, int* exit_code,
                         const std::string& working_folder = {}) {
  ChildProcess child;
  EXPECT_TRUE(child.Start(argv, working_folder)) << argv[0];
  std::string output;
  EXPECT_TRUE(child.ReadAllOutput(&output, 120000));
  EXPECT_TRUE(child.Wait(120000, exit_code));
  EXPECT_FALSE(child.IsRunning());
  return output;
}

TEST(ChildHelper, DISABLED_PrintsArguments) {
  std::fputs("<<args\n", stdout);
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  // The three arguments before ours select this helper.
  for (int i = 3; i < count; ++i) {
    std::printf("[%s]\n", Utf16ToUtf8(reinterpret_cast<const char16_t*>(arguments[i])).c_str());
  }
  LocalFree(arguments);
  std::fputs("args>>\n", stdout);
  std::fflush(stdout);
}

TEST(ChildHelper, DISABLED_WritesBulk) {
  std::string bulk(kBulkSize, 'A');
  for (size_t i = 0; i < bulk.size(); ++i) bulk[i] = static_cast<char>('A' + i % 26);
  std::fputs("<<bulk", stdout);
  std::fwrite(bulk.data(), 1, bulk.size(), stdout);
  std::fputs("bulk>>", stdout);
  std::fflush(stdout);
}

TEST(ChildHelper, DISABLED_ReadsInput) {
  size_t count = 0;
  while (std::getchar() != EOF) ++count;
  std::printf("<<input%zuinput>>", count);
  std::fflush(stdout);
}

TEST(ChildHelper, DISABLED_ExitsWithSeven) {
  std::fflush(stdout);
  std::exit(7);
}

TEST(ChildHelper, DISABLED_Sleeps) { SleepMs(60000); }

// Where it runs, and whether it has a console (a code page of 0: none).
TEST(ChildHelper, DISABLED_PrintsItsPlace) {
  std::printf("<<folder%sfolder>><<console%uconsole>>", CurrentFolder().c_str(), GetConsoleCP());
  std::fflush(stdout);
}

TEST(ChildProcessWin32Test, ArgumentsArriveUnchanged) {
  const std::vector<std::string> tricky = {"two  words",        "",
                                           "say \"hi\"",        "trailing\\",
                                           "C:\\My Videos\\",   "a\\\\\"b",
                                           "x\\\" -f \"y",      "tab\there",
                                           "動画 ファイル.mp4", "& | < > ^ %PATH%"};
  int exit_code = -1;
  const std::string output = RunForOutput(HelperCommand("PrintsArguments", tricky), &exit_code);
  EXPECT_EQ(exit_code, 0);
  std::string expected;
  for (const auto& argument : tricky) expected += "[" + argument + "]\n";
  // Standard output is in text mode: each line ends in "\r\n".
  std::string without_returns;
  for (char c : output) {
    if (c != '\r') without_returns += c;
  }
  EXPECT_EQ(Between(without_returns, "<<args\n", "args>>"), expected) << output;
}

TEST(ChildProcessWin32Test, ReadsTheWholeOutput) {
  int exit_code = -1;
  const std::string output = RunForOutput(HelperCommand("WritesBulk"), &exit_code);
  EXPECT_EQ(exit_code, 0);
  const std::string bulk = Between(output, "<<bulk", "bulk>>");
  ASSERT_EQ(bulk.size(), kBulkSize);
  for (size_t i = 0; i < bulk.size(); i += 4099) {
    ASSERT_EQ(bulk[i], static_cast<char>('A' + i % 26)) << i;
  }
}

TEST(ChildProcessWin32Test, StandardInputIsEmpty) {
  int exit_code = -1;
  const std::string output = RunForOutput(HelperCommand("ReadsInput"), &exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(Between(output, "<<input", "input>>"), "0");
}

TEST(ChildProcessWin32Test, ReportsTheExitCode) {
  int exit_code = -1;
  RunForOutput(HelperCommand("ExitsWithSeven"), &exit_code);
  EXPECT_EQ(exit_code, 7);
}

TEST(ChildProcessWin32Test, TimesOutAndKills) {
  ChildProcess child;
  ASSERT_TRUE(child.Start(HelperCommand("Sleeps")));
  EXPECT_TRUE(child.IsRunning());
  // The runner's banner may come first; then nothing more arrives.
  char buffer[4096];
  while (child.ReadOutput(buffer, sizeof(buffer), 500) > 0) {
  }
  int exit_code = -1;
  EXPECT_FALSE(child.Wait(50, &exit_code));
  EXPECT_TRUE(child.IsRunning());
  child.Kill();
  EXPECT_FALSE(child.IsRunning());
  EXPECT_TRUE(child.Wait(0, &exit_code));
  EXPECT_NE(exit_code, 0);
  EXPECT_EQ(child.ReadOutput(buffer, sizeof(buffer), 10000), 0);  // the pipe's end
}

std::string Normalised(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// An absolute path as one relative to our current folder
// ("..\..\work\x.exe" from "C:\a\b"); empty on another drive.
std::string RelativeToCurrent(const std::string& absolute) {
  const std::string current = Normalised(CurrentFolder());
  const auto drive = [](const std::string& path) {
    return path.size() < 3 ? 0 : std::toupper(static_cast<unsigned char>(path[0]));
  };
  if (drive(current) == 0 || drive(current) != drive(absolute)) return "";
  std::string up;
  for (char c : current) {
    if (c == '\\') up += "..\\";
  }
  return up + Normalised(absolute).substr(3);
}

TEST(ChildProcessWin32Test, RunsDetachedInTheWorkingFolder) {
  test::TempFolder temp;
  const std::string folder = temp.Join("work folder");
  ASSERT_TRUE(CreateFolder(folder));
  int exit_code = -1;
  std::string output = RunForOutput(HelperCommand("PrintsItsPlace"), &exit_code, folder);
  EXPECT_EQ(Between(output, "<<folder", "folder>>"), Normalised(folder));
  EXPECT_EQ(Between(output, "<<console", "console>>"), "0") << "no console of its own";
  output = RunForOutput(HelperCommand("PrintsItsPlace"), &exit_code);
  EXPECT_EQ(Between(output, "<<folder", "folder>>"), CurrentFolder()) << "none: ours";

  // A relative program path is found from our folder, not the child's.
  std::vector<std::string> relative = HelperCommand("PrintsItsPlace");
  relative[0] = RelativeToCurrent(relative[0]);
  if (!relative[0].empty()) {
    output = RunForOutput(relative, &exit_code, folder);
    EXPECT_EQ(Between(output, "<<folder", "folder>>"), Normalised(folder)) << relative[0];
  }

  ChildProcess child;
  EXPECT_FALSE(child.Start(HelperCommand("PrintsItsPlace"), temp.Join("missing")));
}

TEST(ChildProcessWin32Test, ProgramsAreFoundOnThePath) {
  ChildProcess child;
  ASSERT_TRUE(child.Start({"cmd.exe", "/c", "exit", "3"}));
  int exit_code = -1;
  ASSERT_TRUE(child.Wait(60000, &exit_code));
  EXPECT_EQ(exit_code, 3);
}

// What CommandLineToArgvW reads back from a command line we built.
std::vector<std::string> SplitLikeWindows(const std::vector<std::string>& arguments) {
  std::string line = "program.exe";
  for (const auto& argument : arguments) {
    line += ' ';
    line += QuoteWindowsArgument(argument);
  }
  const std::u16string wide = Utf8ToUtf16(line);
  int count = 0;
  LPWSTR* parts = CommandLineToArgvW(reinterpret_cast<LPCWSTR>(wide.c_str()), &count);
  std::vector<std::string> result;
  for (int i = 1; i < count; ++i) {
    result.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(parts[i])));
  }
  LocalFree(parts);
  return result;
}

TEST(QuoteWindowsArgumentWin32Test, CommandLineToArgvWReadsEveryArgumentBack) {
  const std::vector<std::string> arguments = {"plain",
                                              "",
                                              " ",
                                              "a b",
                                              "\"",
                                              "\"\"",
                                              "\\",
                                              "\\\\",
                                              "\\\"",
                                              "a\\",
                                              "a\\\\",
                                              "a\\ b\\",
                                              "\"quoted\" text",
                                              "x\\\" -f \"y",
                                              "C:\\Program Files\\",
                                              "\\\\server\\share\\",
                                              "tab\tand\vvertical",
                                              "new\nline",
                                              "動画.mp4",
                                              "-i"};
  EXPECT_EQ(SplitLikeWindows(arguments), arguments);
}

}  // namespace
}  // namespace velmor::platform
