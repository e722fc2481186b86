// The PC's audio outputs as DirectShow lists them, made once per player, so
// a host can pick the device a player plays through by its name.
#pragma once

#include <dshow.h>

#include <string>
#include <vector>

namespace tarnwick {

class AudioDeviceList {
 public:
  // Lists the audio renderers; empty when there are none or the system
  // device enumerator fails. COM must be initialised on this thread.
  AudioDeviceList();
  ~AudioDeviceList();
  AudioDeviceList(const AudioDeviceList&) = delete;
  AudioDeviceList& operator=(const AudioDeviceList&) = delete;

  int count() const { return static_cast<int>(devices_.size()); }
  // The device's FriendlyName (ANSI), or null outside 0 to count - 1.
  const char* Name(int index) const;
  bool Contains(const std::string& name) const;
  // The renderer filter of the device with that name, or null.
  IBaseFilter* BindFilter(const std::string& name) const;

 private:
  struct Device {
    IMoniker* moniker;
    std::string name;
  };
  std::vector<Device> devices_;
};

}  // namespace tarnwick
