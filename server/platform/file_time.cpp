#include "platform/file_system.h"

namespace velmor::platform {
namespace {

// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

}  // namespace

FileTime FileTimeFromUnixMicroseconds(int64_t micros) {
  // Outside the range of file times: the nearest one, never a wrapped value.
  constexpr int64_t kEarliest = -static_cast<int64_t>(kUnixEpochAsFileTime / 10);
  constexpr int64_t kLatest = static_cast<int64_t>((UINT64_MAX - kUnixEpochAsFileTime) / 10);
  if (micros <= kEarliest) return 0;
  if (micros >= kLatest) return UINT64_MAX;
  return static_cast<uint64_t>(micros - kEarliest) * 10;
}

int64_t UnixMicrosecondsFromFileTime(FileTime time) {
  return static_cast<int64_t>(time / 10) - static_cast<int64_t>(kUnixEpochAsFileTime / 10);
}

bool SetFileTimes(const std::string& path, FileTime creation_time, FileTime write_time) {
  return SetFileTimes(path, FileTimes{creation_time, 0, write_time});
}

}  // namespace velmor::platform
