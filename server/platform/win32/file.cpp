#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/win32/wide.h"

namespace velmor::platform {
namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool IsValid(intptr_t handle) { return Handle(handle) != INVALID_HANDLE_VALUE; }

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
  DWORD access = GENERIC_WRITE;
  // Readers let writers go on (a log being written stays readable); an
  // appended file may be read by others; a new file is ours alone.
  DWORD share = FILE_SHARE_READ;
  DWORD disposition = OPEN_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case Mode::kReadUnbuffered:
      flags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN;
      [[fallthrough]];
    case Mode::kRead:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
      disposition = OPEN_EXISTING;
      break;
    case Mode::kAppendShared:
      break;
    case Mode::kCreate:
      share = 0;
      disposition = CREATE_ALWAYS;
      break;
  }
  const std::wstring wide_path = WidePath(path);
  HANDLE handle =
      CreateFileW(wide_path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  // A file system that cannot read past its cache refuses the flag itself.
  const bool unbuffered = (flags & FILE_FLAG_NO_BUFFERING) != 0;
  const bool refused =
      unbuffered && handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER;
  if (refused) {
    handle = CreateFileW(wide_path.c_str(), access, share, nullptr, disposition,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) return false;
  // A streamed file is named by a request: pipes ("\\.\pipe\x.mp4") and
  // devices would hold the reader.
  if (mode == Mode::kReadUnbuffered && GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  unbuffered_ = unbuffered && !refused;
  if (mode == Mode::kAppendShared && !SeekToEnd()) {
    Close();
    return false;
  }
  return true;
}

void File::Close() {
  if (!IsValid(handle_)) return;
  CloseHandle(Handle(handle_));
  handle_ = -1;
  unbuffered_ = false;
}

bool File::IsOpen() const { return IsValid(handle_); }

int64_t File::Read(void* buffer, size_t size) {
  if (!IsValid(handle_)) return -1;
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(Handle(handle_), buffer, wanted, &got, nullptr)) return -1;
  return got;
}

int64_t File::ReadAt(void* buffer, size_t size, int64_t position) {
  if (!IsValid(handle_) || position < 0) return -1;
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position & 0xFFFFFFFF);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  DWORD got = 0;
  if (!ReadFile(Handle(handle_), buffer, wanted, &got, &at)) {
    // Reading at or past the end of the file is no error: nothing is left.
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return got;
}

int64_t File::Write(const void* data, size_t size) {
  if (!IsValid(handle_)) return -1;
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(Handle(handle_), bytes + done, chunk, &written, nullptr) || written == 0) {
      return -1;
    }
    done += written;
  }
  return static_cast<int64_t>(done);
}

bool File::SeekToEnd() {
  LARGE_INTEGER zero{};
  return IsValid(handle_) && SetFilePointerEx(Handle(handle_), zero, nullptr, FILE_END);
}

bool File::Seek(int64_t position) {
  if (!IsValid(handle_) || position < 0) return false;
  LARGE_INTEGER target{};
  target.QuadPart = position;
  return SetFilePointerEx(Handle(handle_), target, nullptr, FILE_BEGIN);
}

int64_t File::Size() const {
  LARGE_INTEGER size{};
  if (!IsValid(handle_) || !GetFileSizeEx(Handle(handle_), &size)) return -1;
  return size.QuadPart;
}

bool File::Flush() { return IsValid(handle_) && FlushFileBuffers(Handle(handle_)); }

}  // namespace velmor::platform
