// A low-level keyboard hook for the whole desktop: every key message of
// every program passes through the handler first, which may swallow it.
// On Windows the hook runs on a thread of its own with a message loop, so
// it answers at once whatever the host's threads are doing (Windows drops a
// low-level hook that keeps the input waiting). Hosts without such a hook
// (POSIX) get none.
#pragma once

#include <cstdint>
#include <memory>

namespace velmor::platform {

enum class KeyMessage { kDown, kUp, kSystemDown, kSystemUp };

class KeyboardHook {
 public:
  // Called on the hook's thread for each key message, with the key's
  // virtual-key code; true swallows the message (no other program sees
  // it), false passes it on. Must return quickly and take no locks that
  // wait on input.
  using Handler = bool (*)(uint32_t virtual_key, KeyMessage message);

  // Installs the hook; null when this host has none or it cannot be
  // installed. One hook at a time per process.
  static std::unique_ptr<KeyboardHook> Install(Handler handler);
  // Removes the hook and ends its thread.
  virtual ~KeyboardHook() = default;

 protected:
  KeyboardHook() = default;
};

}  // namespace velmor::platform
