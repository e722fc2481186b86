#include "graph_state.h"

#include <dvdmedia.h>
#include <mfidl.h>

#include <cstdlib>

#include "ansi_text.h"
#include "com_objects.h"

// The SDK's import libraries have these; its headers do not declare them.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace tarnwick {
namespace {

// The Enhanced Video Renderer is in no header or import library.
const CLSID kEnhancedVideoRenderer = {
    0xFA10746C, 0x9B63, 0x4B6C, {0xBC, 0x49, 0xFC, 0x30, 0x0E, 0xA5, 0xF2, 0x56}};
const GUID kVideoRenderService = {
    0x1092a86c, 0xab1a, 0x459a, {0xa3, 0x36, 0x83, 0x1f, 0xbc, 0x4d, 0x11, 0xff}};

void FreeMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return;
  if (type->cbFormat != 0) CoTaskMemFree(type->pbFormat);
  if (type->pUnk != nullptr) type->pUnk->Release();
  CoTaskMemFree(type);
}

void FreeMediaTypeContents(AM_MEDIA_TYPE* type) {
  if (type->cbFormat != 0) CoTaskMemFree(type->pbFormat);
  if (type->pUnk != nullptr) type->pUnk->Release();
  type->pbFormat = nullptr;
  type->cbFormat = 0;
  type->pUnk = nullptr;
}

// The first preferred media type of the filter's pins that names a display
// aspect; false when none does.
bool FindDisplayAspect(IBaseFilter* filter, int* width, int* height) {
  IEnumPins* pins = nullptr;
  if (FAILED(filter->EnumPins(&pins))) return false;
  bool found = false;
  IPin* pin = nullptr;
  while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
    IEnumMediaTypes* types = nullptr;
    if (SUCCEEDED(pin->EnumMediaTypes(&types))) {
      AM_MEDIA_TYPE* type = nullptr;
      while (!found && types->Next(1, &type, nullptr) == S_OK) {
        if (type->formattype == FORMAT_VideoInfo2 && type->pbFormat != nullptr &&
            type->cbFormat >= sizeof(VIDEOINFOHEADER2)) {
          const auto* info = reinterpret_cast<const VIDEOINFOHEADER2*>(type->pbFormat);
          if (info->dwPictAspectRatioX != 0 && info->dwPictAspectRatioY != 0) {
            *width = static_cast<int>(info->dwPictAspectRatioX);
            *height = static_cast<int>(info->dwPictAspectRatioY);
            found = true;
          }
        }
        FreeMediaType(type);
      }
      types->Release();
    }
    pin->Release();
  }
  pins->Release();
  return found;
}

bool OffersUnconnectedAudio(IPin* pin) {
  PIN_DIRECTION direction;
  IPin* peer = nullptr;
  if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) return false;
  if (SUCCEEDED(pin->ConnectedTo(&peer))) {
    peer->Release();
    return false;
  }
  IEnumMediaTypes* types = nullptr;
  if (FAILED(pin->EnumMediaTypes(&types))) return false;
  bool audio = false;
  AM_MEDIA_TYPE* type = nullptr;
  while (!audio && types->Next(1, &type, nullptr) == S_OK) {
    audio = type->majortype == MEDIATYPE_Audio;
    FreeMediaType(type);
  }
  types->Release();
  return audio;
}

AM_MEDIA_TYPE VideoGrabberType() {
  AM_MEDIA_TYPE type = {};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_YUY2;
  type.formattype = FORMAT_VideoInfo;
  return type;
}

}  // namespace

GraphState::GraphState(SampleSink* sink)
    : video_callback_(sink, mySampleGrabber::kVideo),
      audio_callback_(sink, mySampleGrabber::kAudio) {}

GraphState::~GraphState() {
  ReleaseAndClear(display_);
  ReleaseAndClear(audio_);
  ReleaseAndClear(control_);
  ReleaseAndClear(events_);
  ReleaseAndClear(seeking_);
  ReleaseAndClear(audio_renderer_);
  ReleaseAndClear(video_renderer_);
  ReleaseAndClear(audio_grabber_);
  ReleaseAndClear(audio_grabber_filter_);
  ReleaseAndClear(video_grabber_);
  ReleaseAndClear(video_grabber_filter_);
  ReleaseAndClear(source_);
  ReleaseAndClear(builder_);
  ReleaseAndClear(graph_);
}

bool GraphState::MakeGrabber(IBaseFilter** filter, ISampleGrabber** grabber,
                             mySampleGrabber* callback, const AM_MEDIA_TYPE& type,
                             const wchar_t* name) {
  if (FAILED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(filter))) ||
      FAILED((*filter)->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(grabber)))) {
    return false;
  }
  (*grabber)->SetBufferSamples(FALSE);
  (*grabber)->SetOneShot(FALSE);
  // Sample mode: the callback sees each sample itself, without a copy.
  if (FAILED((*grabber)->SetCallback(callback, 0))) return false;
  if (FAILED((*grabber)->SetMediaType(const_cast<AM_MEDIA_TYPE*>(&type)))) return false;
  return SUCCEEDED(graph_->AddFilter(*filter, name));
}

bool GraphState::AddVideoRenderer(HWND window) {
  if (window == nullptr) {
    if (FAILED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&video_renderer_)))) {
      return false;
    }
  } else {
    IMFGetService* service = nullptr;
    if (FAILED(CoCreateInstance(kEnhancedVideoRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IBaseFilter, reinterpret_cast<void**>(&video_renderer_))) ||
        FAILED(video_renderer_->QueryInterface(IID_IMFGetService,
                                               reinterpret_cast<void**>(&service)))) {
      return false;
    }
    const HRESULT got = service->GetService(kVideoRenderService, __uuidof(IMFVideoDisplayControl),
                                            reinterpret_cast<void**>(&display_));
    service->Release();
    if (FAILED(got)) return false;
    display_->SetVideoWindow(window);
    display_->SetAspectRatioMode(MFVideoARMode_None);
    MFVideoNormalizedRect whole = {0.0f, 0.0f, 1.0f, 1.0f};
    RECT client;
    GetClientRect(window, &client);
    display_->SetVideoPosition(&whole, &client);
  }
  return SUCCEEDED(graph_->AddFilter(video_renderer_, L"pVideoRenderer"));
}

// Whether some filter of the graph offers a sound stream that nothing takes
// yet: after the video is rendered, a file with sound has one.
bool GraphState::HasUnconnectedAudioOutput() {
  IEnumFilters* all = nullptr;
  if (FAILED(graph_->EnumFilters(&all))) return false;
  bool found = false;
  IBaseFilter* filter = nullptr;
  while (!found && all->Next(1, &filter, nullptr) == S_OK) {
    IEnumPins* pins = nullptr;
    if (SUCCEEDED(filter->EnumPins(&pins))) {
      IPin* pin = nullptr;
      while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        found = OffersUnconnectedAudio(pin);
        pin->Release();
      }
      pins->Release();
    }
    filter->Release();
  }
  all->Release();
  return found;
}

bool GraphState::AddAudioChain(const GraphRequest& request) {
  // A video without sound plays silently.
  if (!HasUnconnectedAudioOutput()) return true;
  if (request.audio_device.empty() || request.audio_device == "(Default)") {
    if (FAILED(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&audio_renderer_)))) {
      return false;
    }
  } else {
    if (request.devices == nullptr) return false;
    audio_renderer_ = request.devices->BindFilter(request.audio_device);
    if (audio_renderer_ == nullptr) return false;
  }
  graph_->AddFilter(audio_renderer_, L"pAudioRenderer");

  WAVEFORMATEX wave = {};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 2;
  wave.nSamplesPerSec = 48000;
  wave.nAvgBytesPerSec = 192000;
  wave.nBlockAlign = 4;
  wave.wBitsPerSample = 16;
  AM_MEDIA_TYPE type = {};
  type.majortype = MEDIATYPE_Audio;
  type.subtype = MEDIASUBTYPE_PCM;
  type.formattype = FORMAT_WaveFormatEx;
  type.cbFormat = sizeof(wave);
  type.pbFormat = reinterpret_cast<BYTE*>(&wave);
  if (!MakeGrabber(&audio_grabber_filter_, &audio_grabber_, &audio_callback_, type,
                   L"pBFAudioSample")) {
    return false;
  }
  return SUCCEEDED(builder_->RenderStream(nullptr, &MEDIATYPE_Audio, source_, audio_grabber_filter_,
                                          audio_renderer_));
}

bool GraphState::ListFilters(FilterList* filters) {
  IEnumFilters* all = nullptr;
  if (FAILED(graph_->EnumFilters(&all))) return false;
  IBaseFilter* filter = nullptr;
  bool more = true;
  while (more && all->Next(1, &filter, nullptr) == S_OK) {
    FILTER_INFO info = {};
    if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
      if (info.pGraph != nullptr) info.pGraph->Release();
      // At most 255 characters of the name.
      info.achName[255 < MAX_FILTER_NAME ? 255 : MAX_FILTER_NAME - 1] = L'\0';
      more = filters->Add(ToAnsi(info.achName, 260));
    }
    if (more && facts_.aspect_width == 0) {
      FindDisplayAspect(filter, &facts_.aspect_width, &facts_.aspect_height);
    }
    filter->Release();
  }
  all->Release();
  return true;
}

bool GraphState::ReadVideoFacts() {
  IEnumPins* pins = nullptr;
  if (FAILED(video_grabber_filter_->EnumPins(&pins))) return false;
  bool found = false;
  IPin* pin = nullptr;
  while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
    AM_MEDIA_TYPE type = {};
    if (SUCCEEDED(pin->ConnectionMediaType(&type))) {
      if (type.formattype == FORMAT_VideoInfo && type.pbFormat != nullptr &&
          type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
        facts_.width = static_cast<int>(info->bmiHeader.biWidth);
        facts_.height = std::abs(static_cast<int>(info->bmiHeader.biHeight));
        facts_.time_per_frame = info->AvgTimePerFrame;
        found = true;
      }
      FreeMediaTypeContents(&type);
    }
    pin->Release();
  }
  pins->Release();
  if (!found) return false;
  facts_.rate = FrameRateFromTimePerFrame(facts_.time_per_frame);
  facts_.duration_seconds = DurationSeconds(facts_.duration);
  facts_.frame_count = FrameCount(facts_.duration, facts_.rate);
  return true;
}

bool GraphState::Build(const GraphRequest& request, FilterList* filters) {
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              reinterpret_cast<void**>(&graph_))) ||
      FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder_))) ||
      FAILED(builder_->SetFiltergraph(graph_)) ||
      FAILED(graph_->AddSourceFilter(request.path, request.path, &source_))) {
    return false;
  }
  if (!MakeGrabber(&video_grabber_filter_, &video_grabber_, &video_callback_, VideoGrabberType(),
                   L"pBFSample") ||
      !AddVideoRenderer(request.info_only ? nullptr : request.window) ||
      FAILED(builder_->RenderStream(nullptr, nullptr, source_, video_grabber_filter_,
                                    video_renderer_))) {
    return false;
  }
  if (!request.info_only && !AddAudioChain(request)) return false;
  if (FAILED(graph_->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking_))) ||
      FAILED(seeking_->GetDuration(&facts_.duration)) ||
      FAILED(graph_->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events_)))) {
    return false;
  }
  if (!ListFilters(filters) || !ReadVideoFacts()) return false;
  if (FAILED(graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_)))) {
    return false;
  }
  if (request.info_only) return true;
  return SUCCEEDED(graph_->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio_)));
}

}  // namespace tarnwick
