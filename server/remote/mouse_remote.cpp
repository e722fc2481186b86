#include "remote/mouse_remote.h"

#include <optional>
#include <utility>

#include "platform/clock.h"
#include "remote/key_table.h"
#include "remote/mouse_datagram.h"
#include "remote/remote_window.h"

namespace velmor {

MouseRemoteParts ProductMouseRemoteParts() {
  MouseRemoteParts parts;
  parts.capture = OpenMouseCaptureLibrary();
  parts.key_hook = OpenKeyHook();
  return parts;
}

MouseRemote::MouseRemote(MouseRemoteParts parts)
    : parts_(std::move(parts)), networking_(platform::StartNetworking()) {
  thread_.Start(nullptr, &Pass, nullptr, this);
}

MouseRemote::~MouseRemote() {
  thread_.Stop();
  StopMouseRemote();
  if (networking_) platform::StopNetworking();
}

bool MouseRemote::StartMouseRemote(RemoteWindow* window, const std::string& address, int port,
                                   bool take_keyboard_focus) {
  {
    std::lock_guard<std::mutex> lock(lock_);
    StopLocked();
    window_ = window;
    take_keyboard_focus_ = take_keyboard_focus;
    const std::optional<platform::Ipv4Address> destination = platform::Ipv4Address::Parse(address);
    const bool valid =
        networking_ && parts_.capture != nullptr && destination && port > 0 && port <= 0xffff;
    if (valid) handle_ = parts_.capture->Create();
    if (handle_ == nullptr || !socket_.OpenUdp() || !socket_.SetNonBlocking(true)) {
      StopLocked();
      return false;
    }
    destination_ = *destination;
    port_ = static_cast<uint16_t>(port);
    CaptureOnLocked();
    ct_ = px_ = py_ = pw_ = 0;
    both_buttons_deadline_ = 0;
    running_ = true;
  }
  if (take_keyboard_focus && window != nullptr) window->TakeKeyboardFocus();
  return true;
}

void MouseRemote::StopMouseRemote() {
  std::lock_guard<std::mutex> lock(lock_);
  StopLocked();
}

void MouseRemote::StopLocked() {
  running_ = false;
  socket_.Close();
  if (handle_ != nullptr) {
    parts_.capture->Stop(handle_);
    capturing_ = false;
    RemoveKeyHookLocked();
    parts_.capture->Release(handle_);
    handle_ = nullptr;
  }
  RemoveKeyHookLocked();
  window_ = nullptr;
}

void MouseRemote::CaptureOn() {
  RemoteWindow* focus_window = nullptr;
  {
    std::lock_guard<std::mutex> lock(lock_);
    // A remote that is not running stays as it is.
    if (running_) CaptureOnLocked();
    if (take_keyboard_focus_) focus_window = window_;
  }
  if (focus_window != nullptr) focus_window->TakeKeyboardFocus();
}

void MouseRemote::CaptureOnLocked() {
  both_buttons_deadline_ = 0;
  if (handle_ == nullptr) return;
  parts_.capture->Start(handle_);
  RemoveKeyHookLocked();
  ClearKeyTable();
  if (parts_.key_hook) key_hook_installed_ = parts_.key_hook->Install();
  capturing_ = true;
}

bool MouseRemote::CaptureOff() {
  std::lock_guard<std::mutex> lock(lock_);
  if (handle_ != nullptr) {
    parts_.capture->Stop(handle_);
    capturing_ = false;
  }
  RemoveKeyHookLocked();
  return running_;
}

void MouseRemote::RemoveKeyHookLocked() {
  if (key_hook_installed_) parts_.key_hook->Remove();
  key_hook_installed_ = false;
}

int MouseRemote::EnableState() const {
  std::lock_guard<std::mutex> lock(lock_);
  if (!running_) return kNotRunning;
  return capturing_ ? kCapturing : kNotCapturing;
}

bool MouseRemote::running() const {
  std::lock_guard<std::mutex> lock(lock_);
  return running_;
}

bool MouseRemote::capturing() const {
  std::lock_guard<std::mutex> lock(lock_);
  return capturing_;
}

std::string MouseRemote::peer_address() const {
  std::lock_guard<std::mutex> lock(lock_);
  return running_ ? destination_.ToString() : std::string();
}

int MouseRemote::Pass(void* self) {
  auto* remote = static_cast<MouseRemote*>(self);
  bool sent = false;
  RemoteWindow* disconnect_window = nullptr;
  {
    std::lock_guard<std::mutex> lock(remote->lock_);
    if (remote->running_ && remote->capturing_) {
      sent = true;
      if (remote->SendDatagramLocked()) disconnect_window = remote->window_;
    }
  }
  if (disconnect_window != nullptr) disconnect_window->PostForcedDisconnect();
  remote->thread_.SleepUnlessStopped(sent ? kCapturingPassMs : kIdlePassMs);
  return 1;
}

bool MouseRemote::SendDatagramLocked() {
  MouseCapture& capture = *parts_.capture;
  capture.Get(handle_);
  px_ += static_cast<uint32_t>(capture.GetState(handle_, MouseCapture::kStateMoveX));
  py_ += static_cast<uint32_t>(capture.GetState(handle_, MouseCapture::kStateMoveY));
  pw_ += static_cast<uint32_t>(capture.GetState(handle_, MouseCapture::kStateWheel));
  MouseDatagram datagram;
  datagram.ct = ct_++;
  datagram.px = px_;
  datagram.py = py_;
  datagram.pw = pw_;
  datagram.bt1 = capture.GetState(handle_, MouseCapture::kStateButton1);
  datagram.bt2 = capture.GetState(handle_, MouseCapture::kStateButton2);
  datagram.bt3 = capture.GetState(handle_, MouseCapture::kStateButton3);
  datagram.opa = KeyIsDown('A') ? 1 : 0;
  datagram.opb = KeyIsDown('B') ? 1 : 0;
  datagram.opc = KeyIsDown('C') ? 1 : 0;
  datagram.opx = KeyIsDown('X') ? 1 : 0;
  datagram.opy = KeyIsDown('Y') ? 1 : 0;
  datagram.opz = KeyIsDown('Z') ? 1 : 0;
  const std::string text = FormatMouseDatagram(datagram);
  socket_.SendTo(destination_, port_, text.data(), text.size());  // a lost one is not noticed

  // Both buttons held for kBothButtonsHoldMs: one forced disconnect per
  // continuous hold.
  if (datagram.bt1 != 1 || datagram.bt2 != 1) {
    both_buttons_deadline_ = 0;
    return false;
  }
  const uint32_t now = parts_.clock ? parts_.clock() : platform::TickCount();
  if (both_buttons_deadline_ == 0) {
    both_buttons_deadline_ = now + kBothButtonsHoldMs;
    // The two marks are not deadlines.
    if (both_buttons_deadline_ == 0 || both_buttons_deadline_ == kDeadlineFired) {
      both_buttons_deadline_ = 1;
    }
    return false;
  }
  if (both_buttons_deadline_ == kDeadlineFired) return false;
  if (platform::TickDiff(now, both_buttons_deadline_) < 0) return false;
  both_buttons_deadline_ = kDeadlineFired;
  return true;
}

}  // namespace velmor
