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

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
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
  switch (mode) {
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
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(handle);
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
}

bool File::IsOpen() const { return IsValid(handle_); }

int64_t File::Read(void* buffer, size_t size) {
  if (!IsValid(handle_)) return -1;
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  DWORD got = 0;
  if (!ReadFile(Handle(handle_), buffer, wanted, &got, nullptr)) return -1;
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
