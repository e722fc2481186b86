// The player's error log, "TarnwickErrorLog.txt": one line for every video
// frame the frame renderer refused, with the running count and the
// renderer's last error, after a header line naming the media file. The
// file is opened and closed for every line, so a crash loses nothing.
#pragma once

#include <mutex>
#include <string>

#include "local_time.h"

namespace tarnwick {

// "YYYY-MM-DD hh:mm:ss"
std::string TimeStampText(const LocalTime& time);
std::string ErrorLogHeaderLine(const LocalTime& time, const std::string& media_path);
std::string ErrorLogCountLine(const LocalTime& time, int count, const std::string& status);
// The timing log of a media file: its name with the extension replaced by
// the start time, "movie(20261208-211500).txt".
std::string TimingLogFileName(const std::string& media_path, const LocalTime& time);

// The folder is set on the host's thread and lines are written on the
// streaming thread: the two take turns.
class ErrorLog {
 public:
  // The folder text is used as given: the caller ends it with a separator
  // (empty: the process's current folder). The next line starts with a
  // header again.
  void SetFolder(const std::string& folder);
  std::string FileName() const;
  // Appends the count line (and the header line when one is due); a file
  // that cannot be opened loses the line.
  void WriteDroppedFrame(const LocalTime& time, const std::string& media_path, int count,
                         const std::string& status);

 private:
  mutable std::mutex lock_;
  std::string folder_;
  bool header_due_ = true;
};

}  // namespace tarnwick
