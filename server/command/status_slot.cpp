#include "command/status_slot.h"

#include <cstdio>

#include "base/utf.h"
#include "core/server_log.h"

namespace velmor {
namespace {

// Status texts are kept to 259 characters, as the status bar shows them.
constexpr size_t kStatusTextMax = 259;

}  // namespace

void StatusSlot::Post(int code, const std::string& first_text, const std::string& second_text) {
  std::lock_guard<std::recursive_mutex> lock(*lock_);
  event_.code = code;
  event_.first_text = CutToUtf16Units(first_text, kStatusTextMax);
  event_.second_text = CutToUtf16Units(second_text, kStatusTextMax);
  if (code >= 0) WriteEventLine();
}

bool StatusSlot::Take(StatusEvent* event) {
  std::unique_lock<std::recursive_mutex> lock(*lock_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  *event = event_;
  event_ = StatusEvent();
  return true;
}

void StatusSlot::WriteEventLine() const {
  if (!log_->IsOpen()) return;
  char code_text[16];
  std::snprintf(code_text, sizeof code_text, "0x%04X", static_cast<unsigned>(event_.code));
  log_->WriteLine(
      ServerLog::Tagged("EVENT", std::string("code=") + code_text + ", msg1=\"" +
                                     event_.first_text + "\", msg2=\"" + event_.second_text + "\""),
      kLogEventBodyMax);
}

}  // namespace velmor
