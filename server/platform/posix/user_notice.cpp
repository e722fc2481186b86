#include "platform/user_notice.h"

#include <cstdio>

namespace velmor::platform {

// Without a desktop the message goes to standard error, where a service
// manager's log keeps it.
void ShowMessageBox(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

}  // namespace velmor::platform
