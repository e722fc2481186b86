// This build's capture library and keyboard hook. Where the build has the
// capture library, the remote takes the mouse through it; without one the
// mouse remote never starts and CM_GET_MOUSE_ENABLE answers 2. The keys go
// through the system's low-level keyboard hook where there is one
// (Windows).
#include "platform/keyboard_hook.h"
#include "remote/key_hook.h"
#include "remote/key_table.h"
#include "remote/mouse_capture.h"

#ifdef VELMOR_HAVE_PIVRA
#include "pivra/pivra.h"
#endif

namespace velmor {

#ifdef VELMOR_HAVE_PIVRA
namespace {

class PivraCapture : public MouseCapture {
 public:
  Handle Create() override { return Pivra_Create(); }
  void Start(Handle handle) override { Pivra_Start(handle); }
  void Stop(Handle handle) override { Pivra_Stop(handle); }
  void Get(Handle handle) override { Pivra_Get(handle); }
  int GetState(Handle handle, int index) override { return Pivra_GetState(handle, index); }
  void Release(Handle handle) override { Pivra_Release(handle); }
};

}  // namespace

std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary() { return std::make_shared<PivraCapture>(); }
#else
std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary() { return nullptr; }
#endif

namespace {

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

}  // namespace velmor
