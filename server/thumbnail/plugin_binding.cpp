#include "thumbnail/plugin_binding.h"

#include "platform/file_system.h"

namespace velmor {
namespace {

// A place written with "/" under the folder, in the system's own separator.
std::string PlacePath(const std::string& folder, const char* place) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/' && path.back() != '\\') {
    path += platform::kNativeSeparator;
  }
  for (const char* c = place; *c != '\0'; ++c) {
    path += *c == '/' ? platform::kNativeSeparator : *c;
  }
  return path;
}

}  // namespace

PluginBinding::~PluginBinding() { Unbind(); }

template <typename Function>
void PluginBinding::Find(const char* name, Function* entry) {
  *entry = reinterpret_cast<Function>(library_.Symbol(name));
  if (*entry != nullptr) ++found_entry_points_;
}

bool PluginBinding::Bind(const std::string& program_folder) {
  Unbind();
  for (int place = 0; place < kPluginPlaceCount; ++place) {
    const std::string path = PlacePath(program_folder, kPluginPlaces[place]);
    if (!library_.Load(path)) continue;
    place_ = place;
    library_path_ = path;
    break;
  }
  if (!library_.IsLoaded()) return false;

  Find("Tarn_CreateNoUnity", &entries_.create_no_unity);
  Find("Tarn_Release", &entries_.release);
  Find("Tarn_OpenA", &entries_.open_a);
  Find("Tarn_OpenInfoA", &entries_.open_info_a);
  Find("Tarn_Close", &entries_.close);
  Find("Tarn_OpenDevice", &entries_.open_device);
  Find("Tarn_CloseDevice", &entries_.close_device);
  Find("Tarn_GetVideoW", &entries_.get_video_w);
  Find("Tarn_GetVideoH", &entries_.get_video_h);
  Find("Tarn_GetValue", &entries_.get_value);
  Find("Tarn_Play", &entries_.play);
  Find("Tarn_Stop", &entries_.stop);
  Find("Tarn_Pause", &entries_.pause);
  Find("Tarn_GetAudioDeviceNameA", &entries_.get_audio_device_name_a);
  Find("Tarn_GetFilterListNameA", &entries_.get_filter_list_name_a);

  if (entries_.create_no_unity != nullptr) player_ = entries_.create_no_unity();
  return player_ != nullptr;
}

void PluginBinding::Unbind() {
  if (player_ != nullptr) {
    if (entries_.close != nullptr) entries_.close(player_);
    if (entries_.release != nullptr) entries_.release(player_);
    player_ = nullptr;
  }
  // No entry point may outlive the library it points into.
  entries_ = PluginEntryPoints();
  found_entry_points_ = 0;
  library_.Unload();
  library_path_.clear();
  place_ = -1;
}

std::unique_ptr<PluginBinding> BindPlayerPlugin(const std::string& program_folder,
                                                const PluginFailureReport& report) {
  auto binding = std::make_unique<PluginBinding>();
  if (binding->Bind(program_folder)) return binding;
  if (report) report(kPluginFailedText, kPluginFailedCaption);
  return nullptr;
}

}  // namespace velmor
