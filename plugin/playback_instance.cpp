#include "playback_instance.h"

#include "ansi_text.h"
#include "audio_fade.h"
#include "local_time.h"
#include "player_values.h"
#include "volume_table.h"

namespace tarnwick {
namespace {

constexpr long kStreamEnded = EC_COMPLETE;

// The file's size in bytes, -1 when it cannot be opened.
int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The file's last write in local time as a date number, 0 when unknown.
int64_t LastWriteDate(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  FILETIME local;
  SYSTEMTIME parts;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToSystemTime(&local, &parts)) {
    return 0;
  }
  return DateNumber({parts.wYear, parts.wMonth, parts.wDay, 0, 0, 0});
}

}  // namespace

PlaybackInstance::PlaybackInstance(EngineInterfaces* engine) : renderer_(engine) {}

PlaybackInstance::~PlaybackInstance() {
  // Hosts close first; a graph still open is stopped before its callbacks'
  // player goes away.
  Close();
}

template <typename Call>
void PlaybackInstance::WhenReady(Call call) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (ready_ == 1 && graph_) call(*graph_);
}

bool PlaybackInstance::Open(const wchar_t* path, HWND window, bool info_only) {
  Close();
  {
    std::lock_guard<std::recursive_mutex> hold(lock_);
    media_path_ = ToAnsi(path, 261);
    transport_ = kNone;
    ended_ = false;
    dropped_frames_ = 0;
    graph_ = std::make_unique<GraphState>(this);
    GraphRequest request;
    request.path = path;
    request.window = window;
    request.info_only = info_only;
    request.audio_device = audio_device_;
    request.devices = &devices_;
    if (graph_->Build(request, &filters_)) {
      time_per_frame_ = graph_->facts().time_per_frame;
      duration_ = graph_->facts().duration;
      if (info_only) ready_ = 1;
      return true;
    }
  }
  Close();
  return false;
}

void PlaybackInstance::Close() {
  ready_ = 0;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!graph_) return;
  if (graph_->control() != nullptr) graph_->control()->Stop();
  graph_.reset();
  filters_.Clear();
}

bool PlaybackInstance::OpenDevice() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!graph_) return false;
  if (!renderer_.OpenDevice(graph_->facts().width, graph_->facts().height)) return false;
  ready_ = 1;
  return true;
}

void PlaybackInstance::CloseDevice() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  renderer_.CloseDevice();
}

int PlaybackInstance::VideoWidth() {
  int value = 0;
  WhenReady([&](GraphState& graph) { value = graph.facts().width; });
  return value;
}

int PlaybackInstance::VideoHeight() {
  int value = 0;
  WhenReady([&](GraphState& graph) { value = graph.facts().height; });
  return value;
}

int PlaybackInstance::AspectWidth() {
  int value = 0;
  WhenReady([&](GraphState& graph) { value = graph.facts().aspect_width; });
  return value;
}

int PlaybackInstance::AspectHeight() {
  int value = 0;
  WhenReady([&](GraphState& graph) { value = graph.facts().aspect_height; });
  return value;
}

float PlaybackInstance::Fps() {
  float value = 0.0f;
  WhenReady([&](GraphState& graph) { value = graph.facts().rate.PerSecond(); });
  return value;
}

int PlaybackInstance::DurationSeconds() {
  int value = 0;
  WhenReady([&](GraphState& graph) { value = graph.facts().duration_seconds; });
  return value;
}

int PlaybackInstance::FrameCount() {
  int value = 0;
  WhenReady([&](GraphState& graph) { value = graph.facts().frame_count; });
  return value;
}

void PlaybackInstance::Play() {
  WhenReady([&](GraphState& graph) {
    graph.control()->Run();
    transport_ = kPlaying;
  });
}

void PlaybackInstance::Stop() {
  WhenReady([&](GraphState& graph) {
    graph.control()->Stop();
    transport_ = kStopped;
  });
}

void PlaybackInstance::Pause() {
  WhenReady([&](GraphState& graph) {
    graph.control()->Pause();
    transport_ = kPaused;
  });
}

void PlaybackInstance::SetVolume(int level) {
  WhenReady([&](GraphState& graph) {
    // An info-only open has no audio chain to set.
    if (graph.audio() != nullptr) graph.audio()->put_Volume(VolumeAttenuation(level));
    volume_ = ClampVolumeLevel(level);
  });
}

long PlaybackInstance::GraphVolume() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  long volume = 1;
  if (graph_ && graph_->audio() != nullptr) graph_->audio()->get_Volume(&volume);
  return volume;
}

int PlaybackInstance::GetState() {
  std::unique_lock<std::recursive_mutex> hold(lock_, std::try_to_lock);
  if (!hold.owns_lock()) return kLockBusy;
  if (ready_ != 1 || !graph_) return 0;
  long code = 0;
  LONG_PTR first = 0;
  LONG_PTR second = 0;
  while (graph_->events()->GetEvent(&code, &first, &second, 0) == S_OK) {
    graph_->events()->FreeEventParams(code, first, second);
    if (code == kStreamEnded) ended_ = true;
  }
  return ended_ ? kEnded : transport_;
}

int PlaybackInstance::CurrentTimeSeconds() {
  int value = 0;
  WhenReady([&](GraphState& graph) {
    LONGLONG position = 0;
    if (SUCCEEDED(graph.seeking()->GetCurrentPosition(&position))) {
      value = static_cast<int>(position / 10000000);
    }
  });
  return value;
}

void PlaybackInstance::SetCurrentTimeSeconds(int seconds) {
  WhenReady([&](GraphState& graph) {
    LONGLONG position = static_cast<LONGLONG>(seconds) * 10000000;
    graph.seeking()->SetPositions(&position,
                                  AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame,
                                  nullptr, AM_SEEKING_NoPositioning);
  });
}

int64_t PlaybackInstance::Value(int key) {
  switch (key) {
    case 1:
      return AverageBitRate(FileSize(media_path_), duration_);
    case 10:
      return LastWriteDate(media_path_);
    case 20:
      return dropped_frames_;
    case 101:
      return renderer_.skipped_frames();
    case 110:
      return renderer_.producer_frames_per_second();
    case 111:
      return renderer_.updates_per_second();
    default:
      return 0;
  }
}

void PlaybackInstance::StartTimingLog() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  renderer_.StartTimingLog(TimingLogFileName(media_path_, LocalTimeNow()));
}

bool PlaybackInstance::SetAudioDevice(const std::string& name) {
  if (!devices_.Contains(name)) return false;
  std::lock_guard<std::recursive_mutex> hold(lock_);
  audio_device_ = name;
  return true;
}

const char* PlaybackInstance::AudioDeviceName(int index) const {
  if (index == -1) return "(Default)";
  if (index == -2) return "(Not Use)";
  return devices_.Name(index);
}

const char* PlaybackInstance::FilterName(int index) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  return filters_.Name(index);
}

void PlaybackInstance::EnableErrorLog(const std::string& folder) {
  error_log_.SetFolder(folder.substr(0, 259));
}

void PlaybackInstance::SetFilterMode(int mode) {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  renderer_.SetFilterMode(mode);
}

void PlaybackInstance::OnVideoSample(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME end = 0;
  sample->GetTime(&start, &end);
  int64_t duration = end - start;
  if (duration <= 1) duration = time_per_frame_;
  if (renderer_.DeliverFrame(data, sample->GetActualDataLength(), duration, sample)) return;
  const int count = ++dropped_frames_;
  error_log_.WriteDroppedFrame(LocalTimeNow(), media_path_, count, renderer_.status_text());
}

void PlaybackInstance::OnAudioSample(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return;
  const long bytes = sample->GetActualDataLength();
  if (bytes <= 0) return;
  ApplyAudioFade(reinterpret_cast<int16_t*>(data), static_cast<size_t>(bytes) / 4, mute_ != 0,
                 &fade_gain_);
}

}  // namespace tarnwick
