#include "core/settings.h"

#include <utility>

namespace velmor {

Settings::Settings(S_CONFIG initial) : config_(std::move(initial)) {}

S_CONFIG Settings::Copy() const {
  std::lock_guard<std::mutex> lock(lock_);
  return config_;
}

S_CONFIG_CH Settings::Channel(int n) const {
  std::lock_guard<std::mutex> lock(lock_);
  return config_.channel.at(n);
}

void Settings::Update(const std::function<void(S_CONFIG&)>& change) {
  std::lock_guard<std::mutex> lock(lock_);
  change(config_);
}

void Settings::SetChannel(int n, S_CONFIG_CH entry) {
  std::lock_guard<std::mutex> lock(lock_);
  config_.channel.at(n) = std::move(entry);
}

bool Settings::Load() {
  std::lock_guard<std::mutex> lock(lock_);
  if (!ReadConfigFile(&config_)) return false;
  synced_ = config_;
  return true;
}

bool Settings::Save() {
  std::lock_guard<std::mutex> lock(lock_);
  // After a failed write the changes stay unsynchronised: the next save
  // writes them again.
  if (!WriteChangedConfigKeys(config_, synced_)) return false;
  synced_ = config_;
  return true;
}

}  // namespace velmor
