// The few messages that interrupt the user: message boxes on Windows, lines
// on standard error where there is no desktop.
#pragma once

#include <string>

namespace velmor::platform {

void ShowMessageBox(const std::string& text, const std::string& caption);

}  // namespace velmor::platform
