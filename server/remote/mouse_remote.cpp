#include "remote/mouse_remote.h"

namespace velmor {
namespace {

constexpr uint32_t kIdleWaitMs = 100;

}  // namespace

MouseRemote::MouseRemote() { thread_.Start(nullptr, &Pass, nullptr, this); }

MouseRemote::~MouseRemote() {
  thread_.Stop();
  Stop();
}

void MouseRemote::Start(const std::string& peer_address, int port, bool take_keyboard_focus) {
  std::lock_guard<std::mutex> lock(lock_);
  active_ = true;
  control_ = true;
  peer_address_ = peer_address;
  port_ = port;
  take_keyboard_focus_ = take_keyboard_focus;
}

void MouseRemote::Stop() {
  std::lock_guard<std::mutex> lock(lock_);
  active_ = false;
  control_ = false;
}

void MouseRemote::SetControl(bool on) {
  std::lock_guard<std::mutex> lock(lock_);
  if (active_) control_ = on;
}

int MouseRemote::EnableState() const {
  std::lock_guard<std::mutex> lock(lock_);
  if (!active_) return kNotRunning;
  return control_ ? kCapturing : kNotCapturing;
}

bool MouseRemote::active() const {
  std::lock_guard<std::mutex> lock(lock_);
  return active_;
}

bool MouseRemote::control() const {
  std::lock_guard<std::mutex> lock(lock_);
  return control_;
}

std::string MouseRemote::peer_address() const {
  std::lock_guard<std::mutex> lock(lock_);
  return peer_address_;
}

int MouseRemote::Pass(void* self) {
  auto* remote = static_cast<MouseRemote*>(self);
  remote->thread_.SleepUnlessStopped(kIdleWaitMs);
  return 1;
}

}  // namespace velmor
