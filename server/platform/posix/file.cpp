#include "platform/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace velmor::platform {
namespace {

int Fd(intptr_t handle) { return static_cast<int>(handle); }

int OpenFlags(File::Mode mode) {
  // Close-on-exec, so child processes never inherit the server's files.
  switch (mode) {
    case File::Mode::kRead:
    case File::Mode::kReadUnbuffered:
      return O_RDONLY | O_CLOEXEC;
    case File::Mode::kAppendShared:
      return O_WRONLY | O_CREAT | O_CLOEXEC;
    case File::Mode::kCreate:
      return O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  }
  return O_RDONLY | O_CLOEXEC;
}

#ifdef O_DIRECT
constexpr int kDirectFlag = O_DIRECT;
#else
constexpr int kDirectFlag = 0;
#endif

int OpenRetrying(const std::string& path, int flags) {
  int fd;
  do {
    fd = open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Some file systems take O_DIRECT at open time and refuse it only at the
// first read; the file then goes on through the cache.
bool DropDirect(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return kDirectFlag != 0 && flags >= 0 && fcntl(fd, F_SETFL, flags & ~kDirectFlag) == 0;
}

void AdviseSequential(int fd) {
#ifdef POSIX_FADV_SEQUENTIAL
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
  (void)fd;
#endif
}

}  // namespace

File::~File() { Close(); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      unbuffered_(std::exchange(other.unbuffered_, false)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    unbuffered_ = std::exchange(other.unbuffered_, false);
  }
  return *this;
}

bool File::Open(const std::string& path, Mode mode) {
  Close();
  const bool streamed = mode == Mode::kReadUnbuffered;
  const bool direct = streamed && kDirectFlag != 0;
  // A streamed file is named by a request: without O_NONBLOCK a FIFO would
  // hold the opening thread until some writer came.
  const int flags = OpenFlags(mode) | (streamed ? O_NONBLOCK : 0);
  int fd = OpenRetrying(path, flags | (direct ? kDirectFlag : 0));
  // tmpfs and some network file systems refuse O_DIRECT with EINVAL.
  const bool refused = direct && fd < 0 && errno == EINVAL;
  if (refused) fd = OpenRetrying(path, flags);
  if (fd < 0) return false;
  struct stat status {};
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) ||
      (streamed && !S_ISREG(status.st_mode))) {
    close(fd);
    return false;
  }
  handle_ = fd;
  unbuffered_ = direct && !refused;
  if (mode == Mode::kReadUnbuffered) AdviseSequential(fd);
  // Appending starts at the end; without O_APPEND so that Seek still works.
  if (mode == Mode::kAppendShared && !SeekToEnd()) {
    Close();
    return false;
  }
  return true;
}

void File::Close() {
  if (handle_ < 0) return;
  close(Fd(handle_));
  handle_ = -1;
  unbuffered_ = false;
}

bool File::IsOpen() const { return handle_ >= 0; }

int64_t File::Read(void* buffer, size_t size) {
  if (handle_ < 0) return -1;
  ssize_t result;
  do {
    result = read(Fd(handle_), buffer, size);
  } while (result < 0 && errno == EINTR);
  if (result < 0 && errno == EINVAL && unbuffered_ && DropDirect(Fd(handle_))) {
    unbuffered_ = false;
    return Read(buffer, size);
  }
  return result;
}

int64_t File::ReadAt(void* buffer, size_t size, int64_t position) {
  if (handle_ < 0 || position < 0) return -1;
  ssize_t result;
  do {
    result = pread(Fd(handle_), buffer, size, static_cast<off_t>(position));
  } while (result < 0 && errno == EINTR);
  if (result < 0 && errno == EINVAL && unbuffered_ && DropDirect(Fd(handle_))) {
    unbuffered_ = false;
    return ReadAt(buffer, size, position);
  }
  return result;
}

int64_t File::Write(const void* data, size_t size) {
  if (handle_ < 0) return -1;
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t result = write(Fd(handle_), bytes + done, size - done);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return -1;
    done += static_cast<size_t>(result);
  }
  return static_cast<int64_t>(done);
}

bool File::SeekToEnd() { return handle_ >= 0 && lseek(Fd(handle_), 0, SEEK_END) >= 0; }

bool File::Seek(int64_t position) {
  return handle_ >= 0 && position >= 0 && lseek(Fd(handle_), position, SEEK_SET) == position;
}

int64_t File::Size() const {
  struct stat status {};
  if (handle_ < 0 || fstat(Fd(handle_), &status) != 0) return -1;
  return status.st_size;
}

bool File::Flush() { return handle_ >= 0 && fsync(Fd(handle_)) == 0; }

}  // namespace velmor::platform
