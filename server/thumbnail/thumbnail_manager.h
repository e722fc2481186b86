// The thumbnail manager: its folders and programs, the request list and the
// worker thread that serves it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/worker_thread.h"

namespace velmor {

class ThumbnailManager {
 public:
  struct Settings {
    void* owner = nullptr;
    std::string thumbnail_folder;
    std::string ffmpeg_program;
    std::string ffprobe_program;
    bool enabled = false;
  };

  ThumbnailManager();   // starts the worker
  ~ThumbnailManager();  // stops the worker
  ThumbnailManager(const ThumbnailManager&) = delete;
  ThumbnailManager& operator=(const ThumbnailManager&) = delete;

  // The folder holding ffmpeg and ffprobe gives both programs' paths.
  static Settings SettingsFor(void* owner, const std::string& thumbnail_folder,
                              const std::string& ffmpeg_folder);
  void Configure(const Settings& settings);
  Settings settings() const;

  // Forgets every waiting request (the player that asked is gone).
  void ClearRequests();
  size_t RequestCount() const;

 private:
  static int WorkerPass(void* self);

  mutable std::mutex lock_;
  Settings settings_;
  std::vector<int64_t> requests_;
  WorkerThread worker_;
};

}  // namespace velmor
