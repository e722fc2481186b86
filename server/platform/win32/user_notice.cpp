#include "platform/user_notice.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace velmor::platform {

void ShowMessageBox(const std::string& text, const std::string& caption) {
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(),
              MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

}  // namespace velmor::platform
