// Real clients against the stream server: curl, ffprobe and ffmpeg (where
// the PC has them) and the command-line player of tools/.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "http_get.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "stream_test_support.h"

namespace velmor {
namespace {

using player::PercentEncodePath;
using test::FirstPatternMismatch;
using test::kMiB;

constexpr uint32_t kProgramWaitMs = 120000;

struct ProgramRun {
  bool started = false;
  int exit_code = -1;
  std::string output;
};

ProgramRun RunProgram(const std::vector<std::string>& argv) {
  ProgramRun run;
  platform::ChildProcess child;
  run.started = child.Start(argv);
  if (!run.started) return run;
  child.ReadAllOutput(&run.output, kProgramWaitMs);
  if (!child.Wait(kProgramWaitMs, &run.exit_code)) child.Kill();
  return run;
}

bool HasProgram(const std::string& name) { return RunProgram({name, "-version"}).started; }

class StreamClientsTest : public test::StreamServerFixture {
 protected:
  void SetUp() override {
    StreamServerFixture::SetUp();
    ConnectPlayer();
  }

  std::string Url(const std::string& path, int stream) const {
    return "http://127.0.0.1:" + std::to_string(stream_->port()) + "/" + PercentEncodePath(path) +
           "?stream=" + std::to_string(stream);
  }
};

// "%{http_code} %{size_download} %{num_connects}" for each transfer.
constexpr char kCurlReport[] = "%{http_code} %{size_download} %{num_connects}\\n";

TEST_F(StreamClientsTest, CurlDownloadsWholeFilesRangesAndKeepsTheConnection) {
  if (!HasProgram("curl")) GTEST_SKIP() << "curl not found";
  const std::string path = MediaFile("動画 テスト file.mp4", 3 * kMiB + 17);
  const std::string whole = media_.Join("whole.bin");
  ProgramRun run = RunProgram({"curl", "-s", "-S", "-o", whole, "-w", kCurlReport, Url(path, 0)});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, "200 3145745 1\n");
  EXPECT_EQ(test::ReadFileOrEmpty(whole), test::ReadFileOrEmpty(path)) << "byte-identical";

  const std::string part = media_.Join("part.bin");
  run = RunProgram({"curl", "-s", "-S", "-r", "1000-", "-D", "-", "-o", part, Url(path, 1)});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output,
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 1000-3145744/3145745\r\nContent-Length: 3144745\r\n\r\n");
  const std::string part_bytes = test::ReadFileOrEmpty(part);
  EXPECT_EQ(part_bytes.size(), 3144745u);
  EXPECT_EQ(FirstPatternMismatch(part_bytes, 1000), -1);

  // Two requests over one connection: the second needs no new connect.
  const std::string first = media_.Join("first.bin");
  const std::string second = media_.Join("second.bin");
  const std::string small = MediaFile("small.mp4", 5000);
  run = RunProgram({"curl", "-s", "-S", "-w", kCurlReport, "-o", first, Url(path, 2), "-o", second,
                    Url(small, 2)});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, "200 3145745 1\n200 5000 0\n");
  EXPECT_EQ(test::ReadFileOrEmpty(first), test::ReadFileOrEmpty(path));
  EXPECT_EQ(test::ReadFileOrEmpty(second), test::ReadFileOrEmpty(small));
}

// A 2-minute video, made once for the media tests.
class StreamVideoTest : public StreamClientsTest {
 protected:
  static void SetUpTestSuite() {
    if (!HasProgram("ffmpeg") || !HasProgram("ffprobe")) return;
    folder_ = new test::TempFolder();
    video_ = folder_->Join("動画 テスト.mp4");
    const ProgramRun run = RunProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                       "testsrc=duration=120:size=160x120:rate=10", "-c:v", "mpeg4",
                                       "-g", "20", "-y", video_});
    if (run.exit_code != 0) video_.clear();
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    StreamClientsTest::SetUp();
    if (video_.empty()) GTEST_SKIP() << "ffmpeg or ffprobe not found, or no video made";
  }

  // The frame at 30 s as 8-bit grey pixels. Our 200 answer carries no
  // "Accept-Ranges" (the player gets exactly the bytes it always got), so
  // ffmpeg is told that the input can seek; it then seeks with ranges.
  static ProgramRun FrameAt30(const std::string& input, bool http) {
    std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-ss", "30"};
    if (http) argv.insert(argv.end(), {"-seekable", "1"});
    argv.insert(argv.end(),
                {"-i", input, "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    return RunProgram(argv);
  }

  static test::TempFolder* folder_;
  static std::string video_;
};

test::TempFolder* StreamVideoTest::folder_ = nullptr;
std::string StreamVideoTest::video_;

TEST_F(StreamVideoTest, FfprobeReadsTheVideoThroughTheServer) {
  const ProgramRun run =
      RunProgram({"ffprobe", "-v", "error", "-seekable", "1", "-show_entries", "format=duration",
                  "-of", "default=noprint_wrappers=1:nokey=1", Url(video_, 1)});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output.substr(0, 5), "120.0") << run.output;
}

TEST_F(StreamVideoTest, FfmpegSeeksToThirtySecondsThroughTheServer) {
  const ProgramRun local = FrameAt30(video_, false);
  ASSERT_EQ(local.exit_code, 0);
  ASSERT_EQ(local.output.size(), 160u * 120u);
  const ProgramRun served = FrameAt30(Url(video_, 1), true);
  EXPECT_EQ(served.exit_code, 0);
  EXPECT_TRUE(served.output == local.output) << "the frame at 30 s differs";
}

class PlayerCliTest : public test::StreamServerFixture {};

TEST_F(PlayerCliTest, TheCommandLinePlayerDownloadsThroughTheAnnouncedPort) {
#ifdef _WIN32
  const std::string path = MediaFile("動画 テスト.mp4", 2 * kMiB + 5);
#else
  const std::string path = MediaFile("動画 テスト?.mp4", 2 * kMiB + 5);  // "?" sent as %3F
#endif
  const std::string output = media_.Join("out.bin");
  const std::string endpoint = "127.0.0.1:" + std::to_string(command_->port());
  for (const auto& range : {std::optional<int64_t>(), std::optional<int64_t>(1000)}) {
    std::vector<std::string> arguments = {endpoint, "get", path, "--stream", "1", "-o", output};
    if (range) arguments.insert(arguments.end(), {"--range", std::to_string(*range)});
    const player::CliParse parse = player::ParseCommandLine(arguments);
    ASSERT_TRUE(parse.options) << parse.error;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(player::RunCli(*parse.options, out, err), player::kExitOk) << out.str() << err.str();
    const std::string bytes = test::ReadFileOrEmpty(output);
    EXPECT_EQ(static_cast<int64_t>(bytes.size()), 2 * kMiB + 5 - range.value_or(0));
    EXPECT_EQ(FirstPatternMismatch(bytes, range.value_or(0)), -1);
    EXPECT_TRUE(test::WaitFor([&] { return !command_->connected(); }));
  }
}

}  // namespace
}  // namespace velmor
