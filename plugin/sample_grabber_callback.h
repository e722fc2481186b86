// The callback object the two sample grabbers call with every decoded
// sample: kind 0 carries video frames, kind 1 audio buffers. The graph
// state owns it, so its reference counting does nothing.
#pragma once

#include <dshow.h>
#include <qedit.h>

namespace tarnwick {

// Who receives the samples: the player.
class SampleSink {
 public:
  virtual ~SampleSink() = default;
  virtual void OnVideoSample(IMediaSample* sample) = 0;
  virtual void OnAudioSample(IMediaSample* sample) = 0;
};

class mySampleGrabber : public ISampleGrabberCB {
 public:
  enum Kind { kVideo = 0, kAudio = 1 };
  mySampleGrabber(SampleSink* sink, Kind kind) : sink_(sink), kind_(kind) {}
  virtual ~mySampleGrabber() = default;

  STDMETHODIMP QueryInterface(REFIID id, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP SampleCB(double sample_time, IMediaSample* sample) override;
  STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }

 private:
  SampleSink* sink_;
  Kind kind_;
};

}  // namespace tarnwick
