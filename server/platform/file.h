// An open file with the handful of operations the writers need: sequential
// writes at the end, reads, seeking and flushing; and the stream cache's
// unbuffered sequential reads.
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
    // Existing file, read only, sequential, past the system's file cache
    // (O_DIRECT, FILE_FLAG_NO_BUFFERING): the buffer address, the size of
    // every read and the file position must then be multiples of
    // kUnbufferedAlignment, and only the read that reaches the end of the
    // file returns fewer bytes. Where the file system refuses it (tmpfs),
    // the same calls read through the cache; unbuffered() tells which.
    // Only regular files open (no pipes or devices).
    kReadUnbuffered,
  };

  static constexpr size_t kUnbufferedAlignment = 4096;

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
  // Reads at a file offset, so threads that share the file need no common
  // file position.
  int64_t ReadAt(void* buffer, size_t size, int64_t position);
  int64_t Write(const void* data, size_t size);
  bool SeekToEnd();
  bool Seek(int64_t position);
  int64_t Size() const;
  bool Flush();  // to the disk, not only to the OS
  // True while reads bypass the system's file cache (kReadUnbuffered only).
  bool unbuffered() const { return unbuffered_; }

 private:
  intptr_t handle_ = -1;
  bool unbuffered_ = false;
};

}  // namespace velmor::platform
