// Runs ffprobe and ffmpeg as hidden child processes in the ffmpeg folder and
// reads what they write to their standard output: ffprobe's stream report, or
// the JPEG that ffmpeg encodes at thumbnail size.
//
// The programs get an argument vector, never a shell line, and every media
// path goes in as a "file:" URL, so no file name can be taken for an
// option, a protocol or a command. A child that runs longer than the time
// limit is killed and its run fails: a hung ffmpeg must not stop all
// thumbnails.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "thumbnail/target_size.h"

namespace velmor {

struct MediaPrograms {
  std::string ffmpeg;
  std::string ffprobe;
  // The ffmpeg folder, where both run (their current folder); none: the
  // server's own. Optional, so two programs alone still make a value.
  std::string folder{};
};

// The programs in the ffmpeg folder, which is also where they run:
// "ffmpeg.exe" and "ffprobe.exe" on Windows. On other hosts the names have
// no ".exe", and a program the folder does not hold is looked for on PATH.
MediaPrograms MediaProgramsIn(const std::string& folder);

enum class RunStatus {
  kOk,
  kNotStarted,     // the program is missing or cannot be started
  kTimedOut,       // killed after the time limit
  kStopped,        // the server is stopping: the child was ended
  kTooMuchOutput,  // more than a report or a picture can be
  kNoOutput,       // ffmpeg wrote nothing
  kFailed,         // the output could not be read, or the program reported an error
};

const char* RunStatusName(RunStatus status);

// What the input of a run is: any media file, or a still picture.
enum class InputKind { kMedia, kPicture };

class MediaRunner {
 public:
  static constexpr uint32_t kDefaultTimeLimitMs = 30000;
  // ffprobe's report must stay below the job's 65,536-byte probe buffer.
  static constexpr size_t kMaxReportBytes = 65534;
  // Far above any thumbnail; more is a child gone wrong.
  static constexpr size_t kMaxPictureBytes = 64 * 1024 * 1024;

  struct Settings {
    MediaPrograms programs;
    // The thumbnail manager's running flag: a run gives up as soon as it
    // reads anything but 1. None: always running.
    const std::atomic<int>* running = nullptr;
    uint32_t time_limit_ms = kDefaultTimeLimitMs;
  };

  MediaRunner() = default;
  explicit MediaRunner(Settings settings) : settings_(std::move(settings)) {}

  const Settings& settings() const { return settings_; }

  // "ffprobe -hide_banner -show_streams" of the file into the report.
  RunStatus Probe(const std::string& path, InputKind kind, std::string* report) const;
  // One frame of a video, seeked to before the input is opened, chosen by
  // ffmpeg's thumbnail filter among frame_count frames, as a JPEG of the
  // given size at the best quality.
  RunStatus GrabFrame(const std::string& video_path, int seek_seconds, int frame_count,
                      ThumbnailSize size, std::string* jpeg) const;
  // A still picture as a JPEG of the given size at the best quality.
  RunStatus ConvertPicture(const std::string& picture_path, ThumbnailSize size,
                           std::string* jpeg) const;

 private:
  RunStatus Run(const std::vector<std::string>& arguments, size_t max_output,
                std::string* output) const;
  bool Running() const;

  Settings settings_;
};

}  // namespace velmor
