// Times thumbnail making with the real ffmpeg and ffprobe on a generated
// video: the parse of its stream report, a probe, one frame grab, and a
// whole video thumbnail; and, for comparison, the same ffmpeg line started
// and read by hand, so the runner's own cost shows.
//   build/bin/bench_picture_maker [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "library/ext_set.h"
#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "thumbnail/ffprobe_parser.h"
#include "thumbnail/picture_maker.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

bool RunToEnd(const std::vector<std::string>& arguments, std::string* output) {
  velmor::platform::ChildProcess child;
  if (!child.Start(arguments)) return false;
  int exit_code = -1;
  return child.ReadAllOutput(output, 120000) && child.Wait(120000, &exit_code) && exit_code == 0;
}

template <typename Step>
void Time(const char* what, int runs, Step step) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < runs; ++i) {
    if (!step()) {
      std::printf("%-36s failed\n", what);
      return;
    }
  }
  std::printf("%-36s %9.3f ms per run (%d runs)\n", what, Milliseconds(start, Clock::now()) / runs,
              runs);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velmor;
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const std::string folder = platform::TemporaryFolder() + "/velmor-bench-thumbnail-" +
                             std::to_string(platform::TickCount());
  if (!platform::CreateFolder(folder)) return 1;
  const std::string video = folder + "/movie 1280x720.mp4";
  std::string ignored;
  const bool made =
      RunToEnd({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                "testsrc2=size=1280x720:rate=25", "-t", "300", "-c:v", "mpeg4", "-q:v", "8", video},
               &ignored);
  if (!made) {
    std::printf("ffmpeg cannot make the test video: is it installed?\n");
    platform::RemoveFolder(folder);
    return 1;
  }

  MediaRunner::Settings settings;
  settings.programs = {"ffmpeg", "ffprobe"};
  const MediaRunner runner(settings);
  std::string report;
  runner.Probe(video, InputKind::kMedia, &report);
  Time("parse of the stream report", runs * 10000, [&] {
    ThumbnailInfo info;
    return ParseStreamReport(report, 1, &info);
  });
  Time("ffprobe through the runner", runs,
       [&] { return runner.Probe(video, InputKind::kMedia, &report) == RunStatus::kOk; });
  std::string jpeg;
  Time("ffmpeg frame grab through the runner", runs, [&] {
    return runner.GrabFrame(video, 180, 5, {426, 240}, &jpeg) == RunStatus::kOk;
  });
  Time("the same ffmpeg line by hand", runs, [&] {
    std::string output;
    return RunToEnd({"ffmpeg",
                     "-y",
                     "-hide_banner",
                     "-loglevel",
                     "quiet",
                     "-threads",
                     "0",
                     "-ss",
                     "180",
                     "-i",
                     "file:" + video,
                     "-f",
                     "image2pipe",
                     "-c:v",
                     "mjpeg",
                     "-vf",
                     "scale=426:240,thumbnail=5",
                     "-frames:v",
                     "1",
                     "-qmin",
                     "1",
                     "-q",
                     "1",
                     "pipe:1"},
                    &output);
  });
  CExt video_set, audio_set, image_set;
  video_set.Parse("mp4");
  Time("whole video thumbnail", runs, [&] {
    ThumbnailJob job;
    job.media_path = video;
    job.media_type = kThumbnailVideo;
    const PictureContext context{runner, {video_set, audio_set, image_set}};
    return MakePicture(context, &job);
  });

  platform::DeleteFile(video);
  platform::RemoveFolder(folder);
  return 0;
}
