// One open file's DirectShow graph: source -> video sample grabber (YUY2)
// -> video renderer, and for playback source -> audio sample grabber
// (48 kHz 16-bit stereo PCM) -> audio renderer; with the media facts read
// from it. Released in the reverse order of creation.
#pragma once

#include <dshow.h>
#include <evr.h>
#include <qedit.h>

#include <cstdint>
#include <string>

#include "audio_devices.h"
#include "filter_list.h"
#include "frame_rate.h"
#include "sample_grabber_callback.h"

namespace tarnwick {

struct MediaFacts {
  int width = 0;
  int height = 0;
  int64_t time_per_frame = 0;  // 100 ns units
  FrameRate rate;
  int frame_count = 0;
  int duration_seconds = 0;
  int aspect_width = 0;  // display aspect, 0 when the graph names none
  int aspect_height = 0;
  int64_t duration = 0;  // 100 ns units
};

// What an open asks of the build.
struct GraphRequest {
  const wchar_t* path = nullptr;
  HWND window = nullptr;  // shows the picture there too (playback only)
  bool info_only = false;
  // Playback: the audio device's name ("" or "(Default)": the default
  // DirectSound renderer) and the list to find it in.
  std::string audio_device;
  const AudioDeviceList* devices = nullptr;
};

class GraphState {
 public:
  explicit GraphState(SampleSink* sink);
  ~GraphState();
  GraphState(const GraphState&) = delete;
  GraphState& operator=(const GraphState&) = delete;

  // Builds the whole graph and reads the facts; false when any step fails
  // (the caller then deletes what was built).
  bool Build(const GraphRequest& request, FilterList* filters);

  const MediaFacts& facts() const { return facts_; }
  IMediaControl* control() const { return control_; }
  IMediaSeeking* seeking() const { return seeking_; }
  IMediaEventEx* events() const { return events_; }
  IBasicAudio* audio() const { return audio_; }

 private:
  bool MakeGrabber(IBaseFilter** filter, ISampleGrabber** grabber, mySampleGrabber* callback,
                   const AM_MEDIA_TYPE& type, const wchar_t* name);
  bool AddVideoRenderer(HWND window);
  bool HasUnconnectedAudioOutput();
  bool AddAudioChain(const GraphRequest& request);
  bool ListFilters(FilterList* filters);
  bool ReadVideoFacts();

  IGraphBuilder* graph_ = nullptr;
  ICaptureGraphBuilder2* builder_ = nullptr;
  IBaseFilter* source_ = nullptr;
  IBaseFilter* video_grabber_filter_ = nullptr;
  ISampleGrabber* video_grabber_ = nullptr;
  mySampleGrabber video_callback_;
  IBaseFilter* audio_grabber_filter_ = nullptr;
  ISampleGrabber* audio_grabber_ = nullptr;
  mySampleGrabber audio_callback_;
  IBaseFilter* video_renderer_ = nullptr;
  IBaseFilter* audio_renderer_ = nullptr;
  IMediaSeeking* seeking_ = nullptr;
  IMediaEventEx* events_ = nullptr;
  IMediaControl* control_ = nullptr;
  IBasicAudio* audio_ = nullptr;
  IMFVideoDisplayControl* display_ = nullptr;
  MediaFacts facts_;
};

}  // namespace tarnwick
