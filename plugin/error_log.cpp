#include "error_log.h"

#include <cstdio>

namespace tarnwick {
namespace {

template <typename... Values>
std::string Format(const char* format, Values... values) {
  char text[64];
  std::snprintf(text, sizeof(text), format, values...);
  return text;
}

}  // namespace

std::string TimeStampText(const LocalTime& time) {
  return Format("%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour,
                time.minute, time.second);
}

std::string ErrorLogHeaderLine(const LocalTime& time, const std::string& media_path) {
  return TimeStampText(time) + " : [" + media_path + "]\r\n";
}

std::string ErrorLogCountLine(const LocalTime& time, int count, const std::string& status) {
  return TimeStampText(time) + Format(" :   count=%2d, ", count) + status + "\r\n";
}

std::string TimingLogFileName(const std::string& media_path, const LocalTime& time) {
  const std::string stamp = Format("(%04d%02d%02d-%02d%02d%02d)", time.year, time.month, time.day,
                                   time.hour, time.minute, time.second);
  // Only a dot in the file's own name starts its extension: a dot in a
  // folder name must not cut the path there.
  const size_t name_start = media_path.find_last_of("\\/");
  const size_t dot = media_path.rfind('.');
  const bool has_extension =
      dot != std::string::npos && (name_start == std::string::npos || dot > name_start);
  return (has_extension ? media_path.substr(0, dot) : media_path) + stamp + ".txt";
}

void ErrorLog::SetFolder(const std::string& folder) {
  std::lock_guard<std::mutex> hold(lock_);
  folder_ = folder;
  header_due_ = true;
}

std::string ErrorLog::FileName() const {
  std::lock_guard<std::mutex> hold(lock_);
  return folder_ + "TarnwickErrorLog.txt";
}

void ErrorLog::WriteDroppedFrame(const LocalTime& time, const std::string& media_path, int count,
                                 const std::string& status) {
  std::lock_guard<std::mutex> hold(lock_);
  // Binary, so the lines end in exactly CR LF on every system.
  std::FILE* file = std::fopen((folder_ + "TarnwickErrorLog.txt").c_str(), "ab");
  if (file == nullptr) return;
  std::string text;
  if (header_due_) text = ErrorLogHeaderLine(time, media_path);
  header_due_ = false;
  text += ErrorLogCountLine(time, count, status);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

}  // namespace tarnwick
