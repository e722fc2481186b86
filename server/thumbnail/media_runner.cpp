#include "thumbnail/media_runner.h"

#include <algorithm>

#include "core/paths.h"
#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

// How long one wait on the child's output lasts before the loop looks at
// the running flag and the time limit again.
constexpr uint32_t kPollMs = 20;

std::string ProgramIn(const std::string& folder, const std::string& name) {
  if (platform::kNativeSeparator == '\\') return JoinPath(folder, name + ".exe");
  if (!folder.empty()) {
    const std::string beside = JoinPath(folder, name);
    if (platform::GetPathType(beside) == platform::PathType::kFile) return beside;
  }
  return name;  // a bare name is looked for on PATH
}

// "file:" makes ffmpeg open the path as a local file, whatever it looks
// like: "-x.mp4" is no option, "concat:a|b" no protocol.
std::string FileUrl(const std::string& path) { return "file:" + path; }

bool HasPercent(const std::string& path) {
  const size_t name = path.find_last_of("/\\");
  return path.find('%', name == std::string::npos ? 0 : name + 1) != std::string::npos;
}

// ffmpeg reads a picture whose name holds '%' ("100%d.png") as a numbered
// sequence and then finds no file; the picture reader that never takes its
// name as a pattern reads it.
void AddPictureFormat(const std::string& path, InputKind kind,
                      std::vector<std::string>* arguments) {
  if (kind != InputKind::kPicture || !HasPercent(path)) return;
  arguments->insert(arguments->end(), {"-f", "image2pipe"});
}

std::string ScaleFilter(ThumbnailSize size) {
  return "scale=" + std::to_string(size.width) + ":" + std::to_string(size.height);
}

// The JPEG options of both ffmpeg lines: one picture at the best quality.
void AddJpegOutput(const std::string& filter, std::vector<std::string>* arguments) {
  arguments->insert(arguments->end(), {"-f", "image2pipe", "-c:v", "mjpeg", "-vf", filter,
                                       "-frames:v", "1", "-qmin", "1", "-q", "1", "pipe:1"});
}

uint32_t ElapsedMs(uint32_t start) {
  const int32_t elapsed = platform::TickDiff(platform::TickCount(), start);
  return elapsed < 0 ? 0 : static_cast<uint32_t>(elapsed);
}

}  // namespace

MediaPrograms MediaProgramsIn(const std::string& folder) {
  return {ProgramIn(folder, "ffmpeg"), ProgramIn(folder, "ffprobe"), folder};
}

const char* RunStatusName(RunStatus status) {
  switch (status) {
    case RunStatus::kOk:
      return "ok";
    case RunStatus::kNotStarted:
      return "not started";
    case RunStatus::kTimedOut:
      return "timed out";
    case RunStatus::kStopped:
      return "stopped";
    case RunStatus::kTooMuchOutput:
      return "too much output";
    case RunStatus::kNoOutput:
      return "no output";
    case RunStatus::kFailed:
      return "failed";
  }
  return "?";
}

RunStatus MediaRunner::Probe(const std::string& path, InputKind kind, std::string* report) const {
  std::vector<std::string> arguments = {settings_.programs.ffprobe, "-hide_banner",
                                        "-show_streams"};
  AddPictureFormat(path, kind, &arguments);
  arguments.push_back(FileUrl(path));
  return Run(arguments, kMaxReportBytes, report);
}

RunStatus MediaRunner::GrabFrame(const std::string& video_path, int seek_seconds, int frame_count,
                                 ThumbnailSize size, std::string* jpeg) const {
  std::vector<std::string> arguments = {settings_.programs.ffmpeg,
                                        "-y",
                                        "-hide_banner",
                                        "-loglevel",
                                        "quiet",
                                        "-threads",
                                        "0",
                                        "-ss",
                                        std::to_string(std::max(seek_seconds, 0)),
                                        "-i",
                                        FileUrl(video_path)};
  AddJpegOutput(ScaleFilter(size) + ",thumbnail=" + std::to_string(frame_count), &arguments);
  const RunStatus status = Run(arguments, kMaxPictureBytes, jpeg);
  return status == RunStatus::kOk && jpeg->empty() ? RunStatus::kNoOutput : status;
}

RunStatus MediaRunner::ConvertPicture(const std::string& picture_path, ThumbnailSize size,
                                      std::string* jpeg) const {
  std::vector<std::string> arguments = {settings_.programs.ffmpeg, "-y", "-hide_banner",
                                        "-loglevel", "quiet"};
  AddPictureFormat(picture_path, InputKind::kPicture, &arguments);
  arguments.insert(arguments.end(), {"-i", FileUrl(picture_path)});
  // One frame also of an animated picture: more would be several JPEGs in
  // one file.
  AddJpegOutput(ScaleFilter(size), &arguments);
  const RunStatus status = Run(arguments, kMaxPictureBytes, jpeg);
  return status == RunStatus::kOk && jpeg->empty() ? RunStatus::kNoOutput : status;
}

bool MediaRunner::Running() const {
  return settings_.running == nullptr || settings_.running->load() == 1;
}

// Reads the child's output to its end, then waits for the child to end. A
// run that outlives the time limit or the server's running flag ends the
// child (the ChildProcess does that when it goes out of scope).
RunStatus MediaRunner::Run(const std::vector<std::string>& arguments, size_t max_output,
                           std::string* output) const {
  output->clear();
  if (!Running()) return RunStatus::kStopped;
  platform::ChildProcess child;
  if (!child.Start(arguments, settings_.programs.folder)) return RunStatus::kNotStarted;
  const uint32_t start = platform::TickCount();
  char buffer[16384];
  for (;;) {
    if (!Running()) return RunStatus::kStopped;
    if (ElapsedMs(start) >= settings_.time_limit_ms) return RunStatus::kTimedOut;
    // One byte more than allowed tells an over-long output from a full one.
    const size_t room = std::min(sizeof(buffer), max_output + 1 - output->size());
    const int64_t got = child.ReadOutput(buffer, room, kPollMs);
    if (got == 0) break;
    if (got < 0) continue;  // nothing yet
    output->append(buffer, static_cast<size_t>(got));
    if (output->size() > max_output) return RunStatus::kTooMuchOutput;
  }
  int exit_code = -1;
  while (!child.Wait(kPollMs, &exit_code)) {
    if (!Running()) return RunStatus::kStopped;
    if (ElapsedMs(start) >= settings_.time_limit_ms) return RunStatus::kTimedOut;
  }
  // A child that failed or was killed may have left its output half done.
  return exit_code == 0 ? RunStatus::kOk : RunStatus::kFailed;
}

}  // namespace velmor
