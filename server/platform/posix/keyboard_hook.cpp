#include "platform/keyboard_hook.h"

namespace velmor::platform {

// A POSIX system has no desktop-wide keyboard hook; on X11 the capture
// library grabs the keys instead.
std::unique_ptr<KeyboardHook> KeyboardHook::Install(Handler) { return nullptr; }

}  // namespace velmor::platform
