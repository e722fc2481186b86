// This build's capture library and keyboard hook: none yet, so the mouse
// remote never starts and CM_GET_MOUSE_ENABLE answers 2.
#include "remote/key_hook.h"
#include "remote/mouse_capture.h"

namespace velmor {

std::shared_ptr<MouseCapture> OpenMouseCaptureLibrary() { return nullptr; }

std::shared_ptr<KeyHook> OpenKeyHook() { return nullptr; }

}  // namespace velmor
