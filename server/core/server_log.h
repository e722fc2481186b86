// The optional server log "VelmorVR Server[Log].txt" beside the program:
// one UTF-8 line per event, appended, each behind the local date and time.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace velmor {

// Line bodies are cut to these many characters.
inline constexpr size_t kLogBodyMax = 779;
inline constexpr size_t kLogStartBodyMax = 519;
inline constexpr size_t kLogEventBodyMax = 259;

class ServerLog {
 public:
  ServerLog() = default;
  ServerLog(const ServerLog&) = delete;
  ServerLog& operator=(const ServerLog&) = delete;

  static std::string DefaultPath();  // beside the program

  // Opens for appending and writes the "START" line; false when the file
  // cannot be opened (logging then stays off).
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const;
  // Applies "iServerLog": opens when 1 and closed, closes when 0 and open.
  void Apply(int server_log_setting);

  // Writes the time prefix, the body (cut to max_units UTF-16 characters)
  // and CR LF; does nothing while closed.
  void WriteLine(std::string_view body, size_t max_units = kLogBodyMax);
  // Writes "SHUTDOWN" and closes, when open.
  void WriteShutdownAndClose();
  void Flush();

  // "%-16s, " followed by the rest: the tag padded to 16 characters.
  static std::string Tagged(std::string_view tag, std::string_view rest);
  static std::string TimePrefix();

 private:
  mutable std::mutex mutex_;
  platform::File file_;
};

}  // namespace velmor
