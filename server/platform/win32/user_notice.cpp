#include "platform/user_notice.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace velmor::platform {
namespace {

// Set (to anything) by tests and scripted runs: a message box would wait
// for a click nobody makes, so its text becomes a line on standard output.
bool MessageBoxesToOutput() {
  return GetEnvironmentVariableW(L"VELMOR_MESSAGE_BOX_TO_OUTPUT", nullptr, 0) > 0;
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption) {
  if (MessageBoxesToOutput()) {
    // UTF-8 bytes, as the console programs write to a pipe or file.
    const std::string line = caption + ": " + text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
    return;
  }
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(),
              MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

}  // namespace velmor::platform
