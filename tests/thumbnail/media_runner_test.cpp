#include "thumbnail/media_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "test_media.h"
#include "test_support.h"
#include "thumbnail/ffprobe_parser.h"
#include "thumbnail/thumbnail_job.h"

namespace velmor {
namespace {

bool IsWindowsHost() { return platform::kNativeSeparator == '\\'; }

TEST(MediaProgramsTest, WindowsTakesTheExeFilesOfTheFolder) {
  if (!IsWindowsHost()) GTEST_SKIP() << "the rule of Windows hosts";
  const MediaPrograms programs = MediaProgramsIn("C:\\Tools\\ffmpeg");
  EXPECT_EQ(programs.ffmpeg, "C:\\Tools\\ffmpeg/ffmpeg.exe");
  EXPECT_EQ(programs.ffprobe, "C:\\Tools\\ffmpeg/ffprobe.exe");
  EXPECT_EQ(MediaProgramsIn("C:\\Tools\\ffmpeg\\").ffmpeg, "C:\\Tools\\ffmpeg\\ffmpeg.exe");
}

TEST(MediaProgramsTest, OtherHostsFallBackToThePath) {
  if (IsWindowsHost()) GTEST_SKIP() << "the rule of hosts other than Windows";
  test::TempFolder temp;
  // The folder does not hold them: the names are looked for on PATH.
  EXPECT_EQ(MediaProgramsIn(temp.path()).ffmpeg, "ffmpeg");
  EXPECT_EQ(MediaProgramsIn(temp.path()).ffprobe, "ffprobe");
  EXPECT_EQ(MediaProgramsIn("").ffmpeg, "ffmpeg");
  // It holds one of them.
  test::WriteFileOrFail(temp.Join("ffprobe"), "#!/bin/sh\n");
  const MediaPrograms programs = MediaProgramsIn(temp.path());
  EXPECT_EQ(programs.ffmpeg, "ffmpeg");
  EXPECT_EQ(programs.ffprobe, temp.Join("ffprobe"));
}

TEST(MediaRunnerTest, AMissingProgramDoesNotStart) {
  test::TempFolder temp;
  const MediaRunner runner(test::RunnerFor({temp.Join("no-ffmpeg"), temp.Join("no-ffprobe")}));
  std::string output = "old";
  EXPECT_EQ(runner.Probe(temp.Join("a.mp4"), InputKind::kMedia, &output), RunStatus::kNotStarted);
  EXPECT_EQ(output, "");
  EXPECT_EQ(runner.GrabFrame(temp.Join("a.mp4"), 0, 5, {426, 240}, &output),
            RunStatus::kNotStarted);
  EXPECT_EQ(runner.ConvertPicture(temp.Join("a.png"), {360, 360}, &output), RunStatus::kNotStarted);
}

// Separators, and a trailing one, do not make two paths differ.
std::string Normalised(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Both programs run in the ffmpeg folder, where stand-ins for them print
// the folder they find themselves in.
TEST(MediaRunnerTest, TheProgramsRunInTheFfmpegFolder) {
  test::TempFolder temp;
  const std::string folder = temp.Join("ffmpeg tools");
  ASSERT_TRUE(platform::CreateFolder(folder));
  const std::string suffix = IsWindowsHost() ? ".exe" : "";
  const std::string stand_in = platform::ExecutableFolder() + "/print_working_folder" + suffix;
  for (const char* name : {"ffmpeg", "ffprobe"}) {
    std::error_code error;
    std::filesystem::copy_file(stand_in, folder + "/" + name + suffix, error);
    ASSERT_FALSE(error) << stand_in << ": " << error.message();
  }
  const MediaRunner runner(test::RunnerFor(MediaProgramsIn(folder)));
  std::string output;
  EXPECT_EQ(runner.Probe(temp.Join("a.mp4"), InputKind::kMedia, &output), RunStatus::kOk);
  EXPECT_EQ(Normalised(output), Normalised(folder));
  EXPECT_EQ(runner.GrabFrame(temp.Join("a.mp4"), 0, 5, {426, 240}, &output), RunStatus::kOk);
  EXPECT_EQ(Normalised(output), Normalised(folder));
  EXPECT_EQ(runner.ConvertPicture(temp.Join("a.png"), {360, 360}, &output), RunStatus::kOk);
  EXPECT_EQ(Normalised(output), Normalised(folder));
}

TEST(MediaRunnerTest, NothingStartsOnceTheServerStops) {
  std::atomic<int> running{0};
  const MediaRunner runner(test::RunnerFor(test::InstalledMediaPrograms(), &running));
  std::string output;
  EXPECT_EQ(runner.Probe("x.mp4", InputKind::kMedia, &output), RunStatus::kStopped);
  EXPECT_EQ(runner.GrabFrame("x.mp4", 0, 5, {426, 240}, &output), RunStatus::kStopped);
}

class RealMediaRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override { VELMOR_REQUIRE_MEDIA_TOOLS(); }

  MediaRunner runner_{test::RunnerFor(test::InstalledMediaPrograms())};
  test::TempFolder temp_;
};

TEST_F(RealMediaRunnerTest, ProbeReadsTheStreamReport) {
  std::string report;
  ASSERT_EQ(runner_.Probe(test::TestMedia::Get().Video20s(), InputKind::kMedia, &report),
            RunStatus::kOk);
  EXPECT_EQ(report.rfind("[STREAM]", 0), 0u);
  ThumbnailInfo info;
  ASSERT_TRUE(ParseStreamReport(report, kThumbnailVideo, &info));
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 180);
  EXPECT_EQ(info.duration_ms, 20000);
  EXPECT_FLOAT_EQ(info.fps, 5.0f);
  EXPECT_EQ(info.aspect_x, 16);
  EXPECT_EQ(info.aspect_y, 9);
  EXPECT_EQ(info.fcc_v, "mpeg");
  EXPECT_EQ(info.fcc_a, "aac");
}

TEST_F(RealMediaRunnerTest, GrabFrameGivesAJpegOfTheAskedSize) {
  std::string jpeg;
  ASSERT_EQ(runner_.GrabFrame(test::TestMedia::Get().Video20s(), 10, 5, {426, 240}, &jpeg),
            RunStatus::kOk);
  EXPECT_TRUE(test::StartsLikeJpeg(jpeg));
  const test::DecodedPicture picture = test::DecodePicture(jpeg);
  EXPECT_EQ(picture.codec, "mjpeg");
  EXPECT_EQ(picture.width, 426);
  EXPECT_EQ(picture.height, 240);
}

TEST_F(RealMediaRunnerTest, ConvertPictureScalesAStill) {
  std::string jpeg;
  ASSERT_EQ(runner_.ConvertPicture(test::TestMedia::Get().Picture640x480(), {320, 240}, &jpeg),
            RunStatus::kOk);
  const test::DecodedPicture picture = test::DecodePicture(jpeg);
  EXPECT_EQ(picture.codec, "mjpeg");
  EXPECT_EQ(picture.width, 320);
  EXPECT_EQ(picture.height, 240);
}

TEST_F(RealMediaRunnerTest, NamesWithJapaneseAndBlanks) {
  const std::string video =
      test::CopyTo(test::TestMedia::Get().Video20s(), temp_.Join("旅行 の 動画 (1).mp4"));
  std::string report;
  ASSERT_EQ(runner_.Probe(video, InputKind::kMedia, &report), RunStatus::kOk);
  EXPECT_NE(report.find("width=320"), std::string::npos);
  std::string jpeg;
  ASSERT_EQ(runner_.GrabFrame(video, 3, 5, {426, 240}, &jpeg), RunStatus::kOk);
  EXPECT_EQ(test::DecodePicture(jpeg).width, 426);
}

// A file in the current folder named like an option, removed afterwards.
class OptionLikeFile {
 public:
  OptionLikeFile(const std::string& source, const std::string& suffix)
      : name_("-y -velmor-" + std::to_string(platform::TickCount()) + suffix) {
    test::CopyTo(source, JoinedWithCurrent());
  }
  ~OptionLikeFile() { platform::DeleteFile(JoinedWithCurrent()); }
  const std::string& name() const { return name_; }

 private:
  std::string JoinedWithCurrent() const { return platform::CurrentFolder() + "/" + name_; }
  std::string name_;
};

TEST_F(RealMediaRunnerTest, ARelativeNameStartingWithADashIsAFileNotAnOption) {
  const OptionLikeFile video(test::TestMedia::Get().Video20s(), ".mp4");
  ASSERT_EQ(video.name().front(), '-');
  std::string report;
  ASSERT_EQ(runner_.Probe(video.name(), InputKind::kMedia, &report), RunStatus::kOk);
  EXPECT_NE(report.find("width=320"), std::string::npos);
  std::string jpeg;
  ASSERT_EQ(runner_.GrabFrame(video.name(), 1, 5, {426, 240}, &jpeg), RunStatus::kOk);
  EXPECT_TRUE(test::StartsLikeJpeg(jpeg));
}

TEST_F(RealMediaRunnerTest, APictureNamedLikeANumberedSequence) {
  const std::string picture =
      test::CopyTo(test::TestMedia::Get().Picture640x480(), temp_.Join("scan 100%d.png"));
  std::string report;
  ASSERT_EQ(runner_.Probe(picture, InputKind::kPicture, &report), RunStatus::kOk);
  EXPECT_NE(report.find("width=640"), std::string::npos);
  std::string jpeg;
  ASSERT_EQ(runner_.ConvertPicture(picture, {320, 240}, &jpeg), RunStatus::kOk);
  EXPECT_EQ(test::DecodePicture(jpeg).width, 320);
}

TEST_F(RealMediaRunnerTest, AFileFfmpegCannotReadFails) {
  const std::string broken = temp_.Join("broken.mp4");
  test::WriteFileOrFail(broken, std::string(5000, '\x5a'));
  std::string output;
  EXPECT_EQ(runner_.Probe(broken, InputKind::kMedia, &output), RunStatus::kFailed);
  EXPECT_NE(runner_.GrabFrame(broken, 0, 5, {426, 240}, &output), RunStatus::kOk);
  EXPECT_NE(runner_.ConvertPicture(broken, {360, 360}, &output), RunStatus::kOk);
  EXPECT_NE(runner_.Probe(temp_.Join("missing.mp4"), InputKind::kMedia, &output), RunStatus::kOk);
}

TEST_F(RealMediaRunnerTest, ASeekPastTheEndGivesNoPicture) {
  std::string jpeg;
  EXPECT_EQ(runner_.GrabFrame(test::TestMedia::Get().Video20s(), 500, 5, {426, 240}, &jpeg),
            RunStatus::kNoOutput);
}

// Children that misbehave, played by small shell scripts (only where a
// shell runs them).
class RunawayChildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (IsWindowsHost()) GTEST_SKIP() << "the misbehaving children are POSIX shell scripts";
  }

  // An executable script standing in for ffmpeg and ffprobe.
  MediaPrograms Script(const std::string& body) {
    const std::string path = temp_.Join("fake-" + std::to_string(++scripts_));
    test::WriteFileOrFail(path, "#!/bin/sh\n" + body + "\n");
    EXPECT_TRUE(test::RunProgram({"chmod", "755", path}));
    return {path, path};
  }

  static bool ProcessExists(const std::string& pid) {
    return test::RunProgram({"kill", "-0", pid});
  }

  test::TempFolder temp_;
  int scripts_ = 0;
};

TEST_F(RunawayChildTest, AChildThatHangsIsKilledAtTheTimeLimit) {
  const std::string pid_file = temp_.Join("pid");
  MediaRunner::Settings settings =
      test::RunnerFor(Script("echo $$ > '" + pid_file + "'\nexec sleep 60"));
  settings.time_limit_ms = 300;
  const MediaRunner runner(settings);
  std::string jpeg;
  EXPECT_EQ(runner.GrabFrame(temp_.Join("a.mp4"), 0, 5, {426, 240}, &jpeg), RunStatus::kTimedOut);
  const std::string pid = test::ReadFileOrEmpty(pid_file);
  ASSERT_FALSE(pid.empty());
  EXPECT_FALSE(ProcessExists(pid.substr(0, pid.find('\n'))));
}

TEST_F(RunawayChildTest, StoppingTheServerEndsARunningChild) {
  const std::string pid_file = temp_.Join("pid");
  std::atomic<int> running{1};
  const MediaRunner runner(
      test::RunnerFor(Script("echo $$ > '" + pid_file + "'\nexec sleep 60"), &running));
  std::thread stopper([&] {
    platform::SleepMs(100);
    running = 0;
  });
  std::string report;
  EXPECT_EQ(runner.Probe(temp_.Join("a.mp4"), InputKind::kMedia, &report), RunStatus::kStopped);
  stopper.join();
  const std::string pid = test::ReadFileOrEmpty(pid_file);
  if (!pid.empty()) {
    EXPECT_FALSE(ProcessExists(pid.substr(0, pid.find('\n'))));
  }
}

TEST_F(RunawayChildTest, EndlessOutputIsRefused) {
  const MediaRunner runner(test::RunnerFor(Script("exec yes")));
  std::string output;
  EXPECT_EQ(runner.GrabFrame(temp_.Join("a.mp4"), 0, 5, {426, 240}, &output),
            RunStatus::kTooMuchOutput);
  EXPECT_EQ(runner.Probe(temp_.Join("a.mp4"), InputKind::kMedia, &output),
            RunStatus::kTooMuchOutput);
}

TEST_F(RunawayChildTest, AReportMustStayBelow65535Bytes) {
  std::string report;
  const MediaRunner fits(test::RunnerFor(Script("head -c 65534 /dev/zero | tr '\\0' a")));
  EXPECT_EQ(fits.Probe("a.mp4", InputKind::kMedia, &report), RunStatus::kOk);
  EXPECT_EQ(report.size(), 65534u);
  const MediaRunner too_long(test::RunnerFor(Script("head -c 65535 /dev/zero | tr '\\0' a")));
  EXPECT_EQ(too_long.Probe("a.mp4", InputKind::kMedia, &report), RunStatus::kTooMuchOutput);
}

TEST_F(RunawayChildTest, OutputOfAChildThatFailedIsNotTrusted) {
  std::string jpeg;
  EXPECT_EQ(MediaRunner(test::RunnerFor(Script("printf '\\377\\330half'; exit 3")))
                .GrabFrame("a.mp4", 0, 5, {426, 240}, &jpeg),
            RunStatus::kFailed);
  EXPECT_EQ(
      MediaRunner(test::RunnerFor(Script("exit 0"))).GrabFrame("a.mp4", 0, 5, {426, 240}, &jpeg),
      RunStatus::kNoOutput);
  std::string report = "old";
  EXPECT_EQ(
      MediaRunner(test::RunnerFor(Script("exit 0"))).Probe("a.mp4", InputKind::kMedia, &report),
      RunStatus::kOk);
  EXPECT_EQ(report, "");
}

}  // namespace
}  // namespace velmor
