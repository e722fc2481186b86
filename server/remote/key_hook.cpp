// This build's keyboard hook for the keys A, B, C, X, Y and Z: on X11 the
// capture library's key grab, elsewhere the system's desktop-wide
// low-level hook (Windows; a host without one gets a hook that does not
// install, and the keys read as up).
#include "remote/key_hook.h"
#include "remote/key_table.h"

#if defined(VELMOR_HAVE_PIVRA) && !defined(_WIN32)
#include "pivra/pivra.h"
#define VELMOR_KEYS_FROM_PIVRA 1
#else
#include "platform/keyboard_hook.h"
#endif

namespace velmor {
namespace {

#ifdef VELMOR_KEYS_FROM_PIVRA
HookedKeyMessage ToHookedKeyMessage(int message) {
  switch (message) {
    case PIVRA_KEY_UP:
      return HookedKeyMessage::kKeyUp;
    case PIVRA_KEY_SYSTEM_DOWN:
      return HookedKeyMessage::kSystemKeyDown;
    case PIVRA_KEY_SYSTEM_UP:
      return HookedKeyMessage::kSystemKeyUp;
    case PIVRA_KEY_DOWN:
    default:
      return HookedKeyMessage::kKeyDown;
  }
}

// The grab reports on the library's own thread, so Install needs no message
// loop on the calling thread; the grab itself keeps the keys from other
// programs, whatever NoteHookedKey answers.
class PivraKeyHook : public KeyHook {
 public:
  ~PivraKeyHook() override { Remove(); }
  bool Install() override {
    Remove();
    grab_ = PivraKeys_Grab(&OnKey, nullptr);
    return grab_ != nullptr;
  }
  void Remove() override {
    PivraKeys_Release(grab_);
    grab_ = nullptr;
  }

 private:
  static void OnKey(void*, int virtual_key, int message) {
    NoteHookedKey(static_cast<uint32_t>(virtual_key), ToHookedKeyMessage(message));
  }

  void* grab_ = nullptr;
};

}  // namespace

std::shared_ptr<KeyHook> OpenKeyHook() { return std::make_shared<PivraKeyHook>(); }
#else
HookedKeyMessage FromSystem(platform::KeyMessage message) {
  switch (message) {
    case platform::KeyMessage::kDown:
      return HookedKeyMessage::kKeyDown;
    case platform::KeyMessage::kUp:
      return HookedKeyMessage::kKeyUp;
    case platform::KeyMessage::kSystemDown:
      return HookedKeyMessage::kSystemKeyDown;
    case platform::KeyMessage::kSystemUp:
      break;
  }
  return HookedKeyMessage::kSystemKeyUp;
}

bool NoteSystemKey(uint32_t virtual_key, platform::KeyMessage message) {
  return NoteHookedKey(virtual_key, FromSystem(message));
}

// The system's hook, on a thread of its own: the console host has no
// message loop of its own to run it on.
class SystemKeyHook : public KeyHook {
 public:
  bool Install() override {
    hook_ = platform::KeyboardHook::Install(&NoteSystemKey);
    return hook_ != nullptr;
  }
  void Remove() override { hook_.reset(); }

 private:
  std::unique_ptr<platform::KeyboardHook> hook_;
};

}  // namespace

std::shared_ptr<KeyHook> OpenKeyHook() { return std::make_shared<SystemKeyHook>(); }
#endif

}  // namespace velmor
