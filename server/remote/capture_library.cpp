// This build's capture library and keyboard hook. Where the build has the
// capture library (Linux for now), the remote takes the mouse through it;
// without one the mouse remote never starts and CM_GET_MOUSE_ENABLE
// answers 2. On Linux the keyboard hook is the capture library's key grab.
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

std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary() { return std::make_shared<PivraCapture>(); }
std::shared_ptr<KeyHook> OpenKeyHook() { return std::make_shared<PivraKeyHook>(); }
#else
std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary() { return nullptr; }
std::shared_ptr<KeyHook> OpenKeyHook() { return nullptr; }
#endif

}  // namespace velmor
