#include "core/server_log.h"

#include <cstdio>

#include "base/utf.h"
#include "core/paths.h"
#include "core/version.h"
#include "platform/clock.h"

namespace velmor {

std::string ServerLog::DefaultPath() {
  return BesideProgram(std::string(kProductName) + "[Log].txt");
}

bool ServerLog::Open(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.IsOpen()) return true;
    if (!file_.Open(path, platform::File::Mode::kAppendShared) || !file_.SeekToEnd()) {
      file_.Close();
      return false;
    }
    // A new file starts with a byte-order mark, so editors take it as UTF-8.
    if (file_.Size() == 0) file_.Write("\xEF\xBB\xBF", 3);
  }
  const std::string start =
      Tagged("START", std::string(kProductName) + " Ver" + kAppVersion + "(" + kBuildDate +
                          ") : Protocol Ver" + kProtocolVersionText);
  WriteLine(start, kLogStartBodyMax);
  return true;
}

void ServerLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Close();
}

bool ServerLog::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_.IsOpen();
}

void ServerLog::Apply(int server_log_setting) {
  if (server_log_setting == 1 && !IsOpen()) {
    Open(DefaultPath());
  } else if (server_log_setting == 0 && IsOpen()) {
    Close();
  }
}

void ServerLog::WriteLine(std::string_view body, size_t max_units) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.IsOpen()) return;
  // One write per line, so lines from two threads never mix.
  const std::string line = TimePrefix() + CutToUtf16Units(body, max_units) + "\r\n";
  file_.Write(line.data(), line.size());
}

void ServerLog::WriteShutdownAndClose() {
  WriteLine("SHUTDOWN");
  Close();
}

void ServerLog::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_.IsOpen()) file_.Flush();
}

std::string ServerLog::Tagged(std::string_view tag, std::string_view rest) {
  std::string body(tag);
  // Padding counts characters, as the log's readers see them.
  for (size_t units = Utf16Length(tag); units < 16; ++units) body.push_back(' ');
  body += ", ";
  body += rest;
  return body;
}

std::string ServerLog::TimePrefix() {
  const platform::LocalTime now = platform::CurrentLocalTime();
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d, %02d:%02d:%02d, ", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  return text;
}

}  // namespace velmor
