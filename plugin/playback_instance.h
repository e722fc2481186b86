// One player of the plug-in: plays one media file at a time through its
// DirectShow graph and hands the video frames to its frame renderer. The
// host's threads call it through the exports; DirectShow's streaming
// threads call OnVideoSample and OnAudioSample.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio_devices.h"
#include "error_log.h"
#include "filter_list.h"
#include "frame_renderer.h"
#include "graph_state.h"
#include "sample_grabber_callback.h"

namespace tarnwick {

class PlaybackInstance : public SampleSink {
 public:
  enum Transport : int { kNone = 0, kPlaying = 1, kStopped = 2, kPaused = 3 };
  static constexpr int kEnded = 4;
  static constexpr int kLockBusy = -1;

  // COM must be initialised on the calling thread.
  explicit PlaybackInstance(EngineInterfaces* engine);
  ~PlaybackInstance() override;

  bool Open(const wchar_t* path, HWND window, bool info_only);
  void Close();
  bool OpenDevice();
  void CloseDevice();

  int VideoWidth();
  int VideoHeight();
  int AspectWidth();
  int AspectHeight();
  float Fps();
  int DurationSeconds();
  int FrameCount();
  void Play();
  void Stop();
  void Pause();
  void SetVolume(int level);
  int volume() const { return volume_; }
  // What the graph's audio control holds, in hundredths of a decibel (1
  // when there is none).
  long GraphVolume();
  void set_mute(bool mute) { mute_ = mute; }
  bool mute() const { return mute_ != 0; }
  int GetState();
  int CurrentTimeSeconds();
  void SetCurrentTimeSeconds(int seconds);
  int64_t Value(int key);
  // The renderer's timing log, named after the open file and the time.
  void StartTimingLog();
  bool SetAudioDevice(const std::string& name);
  const char* AudioDeviceName(int index) const;
  const char* FilterName(int index);
  void EnableErrorLog(const std::string& folder);
  void SetFilterMode(int mode);
  FrameRenderer& renderer() { return renderer_; }

  void OnVideoSample(IMediaSample* sample) override;
  void OnAudioSample(IMediaSample* sample) override;

 private:
  // Under the lock, when ready: runs the call on the graph.
  template <typename Call>
  void WhenReady(Call call);
  void ReleaseGraphLocked();

  std::recursive_mutex lock_;
  std::unique_ptr<GraphState> graph_;
  std::atomic<int> ready_{0};
  std::string media_path_;  // ANSI
  std::string audio_device_ = "(Default)";
  AudioDeviceList devices_;
  std::atomic<int> volume_{100};
  std::atomic<int> mute_{0};
  int fade_gain_ = 4800;  // the audio streaming thread's own
  FrameRenderer renderer_;
  FilterList filters_;
  int transport_ = kNone;
  bool ended_ = false;
  std::atomic<int> dropped_frames_{0};
  std::atomic<int64_t> time_per_frame_{0};
  std::atomic<int64_t> duration_{0};  // 100 ns units
  ErrorLog error_log_;
};

}  // namespace tarnwick
