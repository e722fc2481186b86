#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <vector>

#include "base/utf.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/socket.h"

namespace velmor::test {
namespace {

// Tests open sockets of their own before any server object has started
// networking (Windows needs it started first).
const bool kNetworkingStarted = platform::StartNetworking();

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const std::string base = platform::TemporaryFolder();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string candidate = base + "/velmor-test-" + std::to_string(platform::TickCount()) +
                                  "-" + std::to_string(counter++);
    if (platform::CreateFolder(candidate)) {
      path_ = candidate;
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder under " << base;
}

TempFolder::~TempFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

std::string TempFolder::Join(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string ReadFileOrEmpty(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, &bytes);
  return bytes;
}

void WriteFileOrFail(const std::string& path, std::string_view bytes) {
  ASSERT_TRUE(platform::WriteFileAtomically(path, bytes)) << path;
}

void RemoveTree(const std::string& path) {
  if (platform::GetPathType(path) == platform::PathType::kFolder) {
    std::vector<platform::FileInfo> entries;
    platform::ListFolder(path, &entries);
    for (const auto& entry : entries) RemoveTree(path + "/" + entry.name);
    platform::RemoveFolder(path);
  } else {
    platform::DeleteFile(path);
  }
}

std::string Utf16LeBytes(std::string_view utf8, bool with_bom) {
  std::string bytes = with_bom ? std::string("\xFF\xFE", 2) : std::string();
  for (char16_t unit : Utf8ToUtf16(utf8)) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

#ifdef _WIN32
namespace {
// The C runtime's own call, which also changes the process environment that
// children inherit; an empty value removes the variable.
int setenv(const char* name, const char* value, int) {
  return _putenv((std::string(name) + "=" + value).c_str());
}
int unsetenv(const char* name) { return _putenv((std::string(name) + "=").c_str()); }
}  // namespace
#endif

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_value_ = old != nullptr;
  if (had_value_) old_value_ = old;
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (had_value_) {
    setenv(name_, old_value_.c_str(), 1);
  } else {
    unsetenv(name_);
  }
}

}  // namespace velmor::test
