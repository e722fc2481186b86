// The server's binding of the player plug-in Tarnwick.dll: loaded by name at
// start, one player made without the game engine, released at exit. The
// server makes no other call through it; thumbnails and media facts come from
// ffmpeg and ffprobe.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/dynamic_library.h"

namespace velmor {

// The message of a plug-in that cannot be bound, shown once at start.
inline constexpr char kPluginFailedText[] = "Tarnwick.dll の読み込みに失敗しました。";
inline constexpr char kPluginFailedCaption[] = "DLL エラー";

// Where the plug-in is looked for, in this order, under the program's folder:
// beside the program, then in the player application's two plug-in folders.
inline constexpr int kPluginPlaceCount = 3;
inline constexpr const char* kPluginPlaces[kPluginPlaceCount] = {
    "Tarnwick.dll", "Assets/Tarnwick.dll", "VelmorVR_Data/Plugins/Tarnwick.dll"};

// The plug-in's entry points the server looks up (any may be missing).
struct PluginEntryPoints {
  void* (*create_no_unity)() = nullptr;
  void (*release)(void* player) = nullptr;
  bool (*open_a)(void* player, const char* path, void* window) = nullptr;
  bool (*open_info_a)(void* player, const char* path) = nullptr;
  void (*close)(void* player) = nullptr;
  bool (*open_device)(void* player) = nullptr;
  void (*close_device)(void* player) = nullptr;
  int (*get_video_w)(void* player) = nullptr;
  int (*get_video_h)(void* player) = nullptr;
  long long (*get_value)(void* player, int key) = nullptr;
  void (*play)(void* player) = nullptr;
  void (*stop)(void* player) = nullptr;
  void (*pause)(void* player) = nullptr;
  const char* (*get_audio_device_name_a)(void* player, int index) = nullptr;
  const char* (*get_filter_list_name_a)(void* player, int index) = nullptr;
};
inline constexpr int kPluginEntryPointCount = 15;

class PluginBinding {
 public:
  PluginBinding() = default;
  ~PluginBinding();  // unbinds
  PluginBinding(const PluginBinding&) = delete;
  PluginBinding& operator=(const PluginBinding&) = delete;

  // Loads the plug-in from the first place under the folder that holds a
  // loadable one, looks up the entry points and makes the player. True when
  // a player exists. Full paths only: a plug-in is never taken from the
  // current folder or the search path, where anyone could put one.
  bool Bind(const std::string& program_folder);
  // Closes and releases the player through the entry points that exist, then
  // unloads the library. Harmless when nothing is bound.
  void Unbind();

  bool bound() const { return player_ != nullptr; }
  void* player() const { return player_; }
  // The place that loaded the library (an index of kPluginPlaces), -1 when
  // none did.
  int place() const { return place_; }
  const std::string& library_path() const { return library_path_; }
  const PluginEntryPoints& entries() const { return entries_; }
  // How many of the entry points were found.
  int found_entry_points() const { return found_entry_points_; }

 private:
  template <typename Function>
  void Find(const char* name, Function* entry);

  platform::DynamicLibrary library_;
  std::string library_path_;
  int place_ = -1;
  PluginEntryPoints entries_;
  int found_entry_points_ = 0;
  void* player_ = nullptr;
};

// How a failed binding reaches the user: the message box (text, caption).
using PluginFailureReport =
    std::function<void(const std::string& text, const std::string& caption)>;

// Start-up's binding of the plug-in under the program's folder. When no
// player can be made, the failure is reported once and nothing is returned:
// the server runs on without the plug-in.
std::unique_ptr<PluginBinding> BindPlayerPlugin(const std::string& program_folder,
                                                const PluginFailureReport& report);

}  // namespace velmor
