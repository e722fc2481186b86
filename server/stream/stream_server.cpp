#include "stream/stream_server.h"

namespace velmor {
namespace {

constexpr uint32_t kIdleWaitMs = 100;

}  // namespace

StreamServer::StreamServer() {
  networking_ = platform::StartNetworking();
  thread_.Start(nullptr, &Pass, nullptr, this);
}

StreamServer::~StreamServer() {
  thread_.Stop();
  {
    std::lock_guard<std::mutex> lock(lock_);
    listener_.Close();
  }
  if (networking_) platform::StopNetworking();
}

bool StreamServer::StartListener(const ListenSettings& settings) {
  std::lock_guard<std::mutex> lock(lock_);
  settings_ = settings;
  const int backlog = settings.accept_num > 0 ? settings.accept_num : 1;
  if (!listener_.ListenTcp(static_cast<uint16_t>(settings.port), backlog)) {
    listener_.Close();
    return false;
  }
  return true;
}

void StreamServer::StopAllSessions() {
  std::lock_guard<std::mutex> lock(lock_);
  // No stream is open until the player has requested one.
}

bool StreamServer::listening() const {
  std::lock_guard<std::mutex> lock(lock_);
  return listener_.IsOpen();
}

uint16_t StreamServer::port() const {
  std::lock_guard<std::mutex> lock(lock_);
  return listener_.IsOpen() ? listener_.LocalPort() : 0;
}

int StreamServer::Pass(void* self) {
  auto* server = static_cast<StreamServer*>(self);
  server->thread_.SleepUnlessStopped(kIdleWaitMs);
  return 1;
}

}  // namespace velmor
