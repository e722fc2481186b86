// Reads the stream report that "ffprobe -show_streams" prints: one block
// per stream, "[STREAM]" ... "[/STREAM]", of "key=value" lines. Only the
// keys below are relied on; everything else ffprobe prints is skipped.
#pragma once

#include <string_view>

#include "thumbnail/thumbnail_info.h"

namespace velmor {

// At most this many streams are read; a report with more is read up to the
// last of them.
inline constexpr int kMaxProbedStreams = 16;

// Fills the info from the first video stream (size, fps, duration, aspect,
// codec, colour range and space) and the first audio stream (codec; for
// audio media also duration and sample facts). Facts of a kind the report
// has no stream of keep their values, so the size of a cover picture
// probed first survives the probe of its audio file. True when the info
// then has a width and a height.
bool ParseStreamReport(std::string_view report, int media_type, ThumbnailInfo* info);

}  // namespace velmor
