// A capture library, keyboard hook, window and clock for the mouse remote's
// tests, and a UDP socket on 127.0.0.1 that receives its datagrams.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/socket.h"
#include "remote/key_hook.h"
#include "remote/mouse_capture.h"
#include "remote/mouse_remote.h"
#include "remote/remote_window.h"

namespace velmor::test {

// Movement and buttons set by the test, handed out snapshot by snapshot.
class FakeMouseCapture : public MouseCapture {
 public:
  Handle Create() override {
    std::lock_guard<std::mutex> lock(lock_);
    ++live_handles_;
    ++creates_;
    gets_since_create_ = 0;
    return this;
  }
  void Start(Handle) override {
    std::lock_guard<std::mutex> lock(lock_);
    started_ = true;
  }
  void Stop(Handle) override {
    std::lock_guard<std::mutex> lock(lock_);
    started_ = false;
  }
  void Get(Handle) override {
    std::lock_guard<std::mutex> lock(lock_);
    for (int i = 0; i < 6; ++i) snapshot_[i] = pending_[i];
    pending_[0] = pending_[1] = pending_[2] = 0;  // movement is a delta
    ++gets_since_create_;
  }
  int GetState(Handle, int index) override {
    std::lock_guard<std::mutex> lock(lock_);
    return index >= 0 && index < 6 ? snapshot_[index] : 0;
  }
  void Release(Handle) override {
    std::lock_guard<std::mutex> lock(lock_);
    --live_handles_;
  }

  void Move(int dx, int dy, int wheel) {
    std::lock_guard<std::mutex> lock(lock_);
    pending_[0] = dx;
    pending_[1] = dy;
    pending_[2] = wheel;
  }
  void SetButtons(int b1, int b2, int b3) {
    std::lock_guard<std::mutex> lock(lock_);
    pending_[3] = b1;
    pending_[4] = b2;
    pending_[5] = b3;
  }
  // Snapshots taken since the last Create: the next datagram's ct.
  int64_t gets_since_create() {
    std::lock_guard<std::mutex> lock(lock_);
    return gets_since_create_;
  }
  int creates() {
    std::lock_guard<std::mutex> lock(lock_);
    return creates_;
  }
  int live_handles() {
    std::lock_guard<std::mutex> lock(lock_);
    return live_handles_;
  }
  bool started() {
    std::lock_guard<std::mutex> lock(lock_);
    return started_;
  }

 private:
  std::mutex lock_;
  int pending_[6] = {};
  int snapshot_[6] = {};
  int64_t gets_since_create_ = 0;
  int creates_ = 0;
  int live_handles_ = 0;
  bool started_ = false;
};

class FakeKeyHook : public KeyHook {
 public:
  bool Install() override { return installed = true; }
  void Remove() override { installed = false; }
  std::atomic<bool> installed{false};
};

class FakeRemoteWindow : public RemoteWindow {
 public:
  void PostForcedDisconnect() override { ++forced_disconnects; }
  void TakeKeyboardFocus() override { ++focus_taken; }
  std::atomic<int> forced_disconnects{0};
  std::atomic<int> focus_taken{0};
};

// Whether this build's own capture library can take the mouse here: not
// without a library, nor on Linux without an X display; Pivra.dll on
// Windows can.
inline bool ProductLibraryCanCapture() {
  std::shared_ptr<MouseCapture> library = OpenMouseCaptureLibrary();
  if (library == nullptr) return false;
  MouseCapture::Handle handle = library->Create();
  if (handle == nullptr) return false;
  library->Release(handle);
  return true;
}

// The remote's fields by name ("ct", "px" ...) from one datagram text.
inline std::map<std::string, int64_t> MouseFields(const std::string& text) {
  std::map<std::string, int64_t> fields;
  const size_t open = text.find('(');
  const size_t close = text.rfind(")*");
  if (text.rfind("#MOUSE(", 0) != 0 || close == std::string::npos) return fields;
  size_t at = open + 1;
  while (at < close) {
    const size_t equals = text.find('=', at);
    size_t end = text.find(',', at);
    if (end == std::string::npos || end > close) end = close;
    if (equals == std::string::npos || equals > end) break;
    fields[text.substr(at, equals - at)] = std::stoll(text.substr(equals + 1, end - equals - 1));
    at = end + 1;
  }
  return fields;
}

// A blocking UDP socket on a free port of this machine.
class DatagramReceiver {
 public:
  DatagramReceiver() {
    networking_ = platform::StartNetworking();
    EXPECT_TRUE(socket_.BindUdp(0));
  }
  ~DatagramReceiver() {
    socket_.Close();
    if (networking_) platform::StopNetworking();
  }
  uint16_t port() const { return socket_.LocalPort(); }
  // The next datagram; empty when none comes within the wait.
  std::string Next(uint32_t wait_ms = 10000) {
    if (!socket_.WaitReadable(wait_ms)) return std::string();
    char buffer[512];
    platform::SocketError error;
    const int64_t got = socket_.Receive(buffer, sizeof(buffer), &error);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
  }
  bool HasWaiting() const { return socket_.WaitReadable(0); }

 private:
  bool networking_ = false;
  platform::Socket socket_;
};

}  // namespace velmor::test
