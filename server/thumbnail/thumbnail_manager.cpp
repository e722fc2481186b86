#include "thumbnail/thumbnail_manager.h"

#include "core/paths.h"
#include "platform/file_system.h"

namespace velmor {
namespace {

constexpr uint32_t kIdleWaitMs = 100;

std::string ProgramIn(const std::string& folder, const char* name) {
  const char* suffix = platform::kNativeSeparator == '\\' ? ".exe" : "";
  return JoinPath(folder, std::string(name) + suffix);
}

}  // namespace

ThumbnailManager::ThumbnailManager() { worker_.Start(nullptr, &WorkerPass, nullptr, this); }

ThumbnailManager::~ThumbnailManager() { worker_.Stop(); }

ThumbnailManager::Settings ThumbnailManager::SettingsFor(void* owner,
                                                         const std::string& thumbnail_folder,
                                                         const std::string& ffmpeg_folder) {
  Settings settings;
  settings.owner = owner;
  settings.thumbnail_folder = thumbnail_folder;
  settings.ffmpeg_program = ProgramIn(ffmpeg_folder, "ffmpeg");
  settings.ffprobe_program = ProgramIn(ffmpeg_folder, "ffprobe");
  settings.enabled = true;
  return settings;
}

void ThumbnailManager::Configure(const Settings& settings) {
  std::lock_guard<std::mutex> lock(lock_);
  settings_ = settings;
}

ThumbnailManager::Settings ThumbnailManager::settings() const {
  std::lock_guard<std::mutex> lock(lock_);
  return settings_;
}

void ThumbnailManager::ClearRequests() {
  std::lock_guard<std::mutex> lock(lock_);
  requests_.clear();
}

size_t ThumbnailManager::RequestCount() const {
  std::lock_guard<std::mutex> lock(lock_);
  return requests_.size();
}

int ThumbnailManager::WorkerPass(void* self) {
  auto* manager = static_cast<ThumbnailManager*>(self);
  manager->worker_.SleepUnlessStopped(kIdleWaitMs);
  return 1;
}

}  // namespace velmor
