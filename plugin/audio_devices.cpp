#include "audio_devices.h"

#include "ansi_text.h"

namespace tarnwick {
namespace {

std::string FriendlyName(IMoniker* moniker) {
  IPropertyBag* properties = nullptr;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                    reinterpret_cast<void**>(&properties)))) {
    return std::string();
  }
  VARIANT value;
  VariantInit(&value);
  std::string name;
  if (SUCCEEDED(properties->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR) {
    name = ToAnsi(value.bstrVal, 260);
  }
  VariantClear(&value);
  properties->Release();
  return name;
}

}  // namespace

AudioDeviceList::AudioDeviceList() {
  ICreateDevEnum* enumerator = nullptr;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, reinterpret_cast<void**>(&enumerator)))) {
    return;
  }
  IEnumMoniker* monikers = nullptr;
  // S_FALSE: the category is empty and no enumerator is made.
  if (enumerator->CreateClassEnumerator(CLSID_AudioRendererCategory, &monikers, 0) == S_OK &&
      monikers != nullptr) {
    IMoniker* moniker = nullptr;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
      devices_.push_back({moniker, FriendlyName(moniker)});
    }
    monikers->Release();
  }
  enumerator->Release();
}

AudioDeviceList::~AudioDeviceList() {
  for (Device& device : devices_) device.moniker->Release();
}

const char* AudioDeviceList::Name(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return devices_[static_cast<size_t>(index)].name.c_str();
}

bool AudioDeviceList::Contains(const std::string& name) const {
  for (const Device& device : devices_) {
    if (device.name == name) return true;
  }
  return false;
}

IBaseFilter* AudioDeviceList::BindFilter(const std::string& name) const {
  for (const Device& device : devices_) {
    if (device.name != name) continue;
    IBaseFilter* filter = nullptr;
    if (FAILED(device.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&filter)))) {
      return nullptr;
    }
    return filter;
  }
  return nullptr;
}

}  // namespace tarnwick
