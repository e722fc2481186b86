#include "thumbnail/ffprobe_parser.h"

#include <array>
#include <climits>
#include <cmath>
#include <string>

#include "thumbnail/text_scan.h"
#include "thumbnail/thumbnail_job.h"

namespace velmor {
namespace {

constexpr size_t kCodecTypeMax = 31;

struct ProbedStream {
  std::string codec_type;
  int width = 0;
  int height = 0;
  float fps = 0;
  int sample_rate = 0;
  int bits_per_sample = 0;
  int channels = 0;
  int duration_ms = 0;
  int aspect_x = 0;
  int aspect_y = 0;
  std::string codec_name;
  std::string colour_range;
  std::string colour_space;
};

class StreamTable {
 public:
  // False once the table is full: the report is read no further.
  bool Open() {
    if (count_ == kMaxProbedStreams) return false;
    current_ = &streams_[count_++];
    return true;
  }
  // False once a video and an audio stream have been closed.
  bool Close() {
    if (current_ != nullptr) {
      closed_video_ |= current_->codec_type == "video";
      closed_audio_ |= current_->codec_type == "audio";
    }
    current_ = nullptr;
    return !(closed_video_ && closed_audio_);
  }
  ProbedStream* current() { return current_; }
  const ProbedStream* First(std::string_view codec_type) const {
    for (int i = 0; i < count_; ++i) {
      if (streams_[i].codec_type == codec_type) return &streams_[i];
    }
    return nullptr;
  }

 private:
  std::array<ProbedStream, kMaxProbedStreams> streams_;
  int count_ = 0;
  ProbedStream* current_ = nullptr;
  bool closed_video_ = false;
  bool closed_audio_ = false;
};

bool StartsWith(std::string_view line, std::string_view key) {
  return line.substr(0, key.size()) == key;
}

void ReadFrameRate(std::string_view value, ProbedStream* stream) {
  TextScanner scanner(value);
  int numerator = 0;
  int denominator = 0;
  if (!scanner.Int(&numerator) || !scanner.Literal('/') || !scanner.Int(&denominator)) return;
  if (denominator == 0) return;
  stream->fps = static_cast<float>(numerator) / static_cast<float>(denominator);
}

// Seconds as a fraction, kept in whole milliseconds.
void ReadDuration(std::string_view value, ProbedStream* stream) {
  TextScanner scanner(value);
  float seconds = 0;
  if (!scanner.Float(&seconds)) return;
  const float ms = seconds * 1000.0f;
  if (!std::isfinite(ms)) return;
  // Beyond the int's range the conversion would be undefined.
  if (ms >= static_cast<float>(INT_MAX)) {
    stream->duration_ms = INT_MAX;
  } else if (ms <= static_cast<float>(INT_MIN)) {
    stream->duration_ms = INT_MIN;
  } else {
    stream->duration_ms = static_cast<int>(ms);
  }
}

void ReadAspect(std::string_view value, ProbedStream* stream) {
  TextScanner scanner(value);
  int x = 0;
  int y = 0;
  if (!scanner.Int(&x) || !scanner.Literal(':') || !scanner.Int(&y)) return;
  stream->aspect_x = x;
  stream->aspect_y = y;
}

std::string Cut(std::string_view value, size_t max_size) {
  return std::string(value.substr(0, max_size));
}

void ReadKey(std::string_view line, ProbedStream* stream) {
  struct IntKey {
    std::string_view key;
    int ProbedStream::*field;
  };
  static constexpr IntKey kIntKeys[] = {
      {"width=", &ProbedStream::width},
      {"height=", &ProbedStream::height},
      {"sample_rate=", &ProbedStream::sample_rate},
      {"bits_per_sample=", &ProbedStream::bits_per_sample},
      {"channels=", &ProbedStream::channels},
  };
  for (const IntKey& key : kIntKeys) {
    if (StartsWith(line, key.key)) {
      stream->*key.field = LeadingInt(line.substr(key.key.size()));
      return;
    }
  }
  const auto value_of = [&](std::string_view key) { return line.substr(key.size()); };
  if (StartsWith(line, "codec_type=")) {
    stream->codec_type = Cut(value_of("codec_type="), kCodecTypeMax);
  } else if (StartsWith(line, "avg_frame_rate=")) {
    ReadFrameRate(value_of("avg_frame_rate="), stream);
  } else if (StartsWith(line, "duration=")) {
    ReadDuration(value_of("duration="), stream);
  } else if (StartsWith(line, "display_aspect_ratio=")) {
    ReadAspect(value_of("display_aspect_ratio="), stream);
  } else if (StartsWith(line, "codec_name=")) {
    stream->codec_name = CleanInfoValue(value_of("codec_name="), ThumbnailInfo::kCodecMax);
  } else if (StartsWith(line, "color_range=")) {
    stream->colour_range = CleanInfoValue(value_of("color_range="), ThumbnailInfo::kColourMax);
  } else if (StartsWith(line, "color_space=")) {
    stream->colour_space = CleanInfoValue(value_of("color_space="), ThumbnailInfo::kColourMax);
  }
}

void ReadTable(std::string_view report, StreamTable* table) {
  while (!report.empty()) {
    const size_t end = report.find_first_of("\r\n");
    const std::string_view line = report.substr(0, end);
    report.remove_prefix(end == std::string_view::npos ? report.size() : end + 1);
    if (line == "[STREAM]") {
      if (!table->Open()) return;
    } else if (line == "[/STREAM]") {
      if (!table->Close()) return;
    } else if (table->current() != nullptr) {
      ReadKey(line, table->current());
    }
  }
}

void CopyVideo(const ProbedStream& video, ThumbnailInfo* info) {
  info->width = video.width;
  info->height = video.height;
  info->fps = video.fps;
  info->duration_ms = video.duration_ms;
  info->aspect_x = video.aspect_x;
  info->aspect_y = video.aspect_y;
  info->fcc_v = video.codec_name;
  info->range = video.colour_range;
  info->color = video.colour_space;
}

void CopyAudio(const ProbedStream& audio, int media_type, ThumbnailInfo* info) {
  info->fcc_a = audio.codec_name;
  if (media_type != kThumbnailAudio) return;
  info->duration_ms = audio.duration_ms;
  info->sample_rate = audio.sample_rate;
  info->bits_per_sample = audio.bits_per_sample;
  info->channels = audio.channels;
}

}  // namespace

bool ParseStreamReport(std::string_view report, int media_type, ThumbnailInfo* info) {
  StreamTable table;
  ReadTable(report, &table);
  if (const ProbedStream* video = table.First("video")) CopyVideo(*video, info);
  if (const ProbedStream* audio = table.First("audio")) CopyAudio(*audio, media_type, info);
  return info->width != 0 && info->height != 0;
}

}  // namespace velmor
