#include "sample_grabber_callback.h"

namespace tarnwick {

// A grabber that asks for the callback's interfaces gets this object; any
// other interface is refused rather than answered with nothing.
STDMETHODIMP mySampleGrabber::QueryInterface(REFIID id, void** object) {
  if (object == nullptr) return E_POINTER;
  if (id == IID_IUnknown || id == IID_ISampleGrabberCB) {
    *object = static_cast<ISampleGrabberCB*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP mySampleGrabber::SampleCB(double, IMediaSample* sample) {
  if (sample == nullptr) return S_OK;
  if (kind_ == kVideo) {
    sink_->OnVideoSample(sample);
  } else {
    sink_->OnAudioSample(sample);
  }
  return S_OK;
}

}  // namespace tarnwick
