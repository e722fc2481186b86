// What the picture makers work with besides the job: the runner of ffprobe
// and ffmpeg, the extension sets that tell media kinds apart, the data
// table whose markers steer the video frame maker, and a seed for its
// random retries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/ext_set.h"
#include "thumbnail/grab_schedule.h"
#include "thumbnail/media_runner.h"
#include "thumbnail/thumbnail_job.h"

namespace velmor {

class DataTable;

struct PictureContext {
  const MediaRunner& runner;
  MediaSets media;
  DataTable* data_table = nullptr;  // none: no markers
  uint32_t random_seed = 0;         // the worker passes the clock
  // When given, every ffmpeg run of the video frame maker is noted here.
  std::vector<GrabAttempt>* attempts = nullptr;
};

// ffprobe on the path into the job's probe text, then the report into the
// job's info (the job's media type decides what an audio stream gives).
// True when both worked and the info has a size.
bool ProbeMedia(const PictureContext& context, const std::string& path, InputKind kind,
                ThumbnailJob* job);

}  // namespace velmor
