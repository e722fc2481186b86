// An open file with the handful of operations the writers need: sequential
// writes at the end, reads, seeking and flushing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmor::platform {

class File {
 public:
  enum class Mode {
    kRead,          // existing file, read only
    kAppendShared,  // write, create if absent, keep content (start at its end), others may read
    kCreate,        // write, create or truncate
  };

  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;

  bool Open(const std::string& path, Mode mode);
  void Close();
  bool IsOpen() const;

  // Bytes read or written, or -1 on error.
  int64_t Read(void* buffer, size_t size);
  int64_t Write(const void* data, size_t size);
  bool SeekToEnd();
  bool Seek(int64_t position);
  int64_t Size() const;
  bool Flush();  // to the disk, not only to the OS

 private:
  intptr_t handle_ = -1;
};

}  // namespace velmor::platform
