#include "platform/file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/clock.h"

namespace velmor::platform {

const char kNativeSeparator = '/';

namespace {

// 1601-01-01 to 1970-01-01 in 100 ns units.
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

FileTime FileTimeFromTimespec(const timespec& time) {
  const int64_t micros = static_cast<int64_t>(time.tv_sec) * 1000000 + time.tv_nsec / 1000;
  const FileTime whole = FileTimeFromUnixMicroseconds(micros);
  // Keep the 100 ns digit the host has.
  const uint64_t digit = static_cast<uint64_t>(time.tv_nsec / 100 % 10);
  return whole == 0 || whole > UINT64_MAX - digit ? whole : whole + digit;
}

timespec TimespecFromFileTime(FileTime time) {
  timespec result{};
  const int64_t units = static_cast<int64_t>(time - kUnixEpochAsFileTime);
  int64_t seconds = units / 10000000;
  int64_t rest = units % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  result.tv_sec = static_cast<time_t>(seconds);
  result.tv_nsec = static_cast<long>(rest * 100);
  return result;
}

std::string LastComponent(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.find_last_of('/');
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string ParentFolder(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void FillInfo(const struct stat& status, FileInfo* info) {
  info->is_folder = S_ISDIR(status.st_mode);
  info->size = info->is_folder ? 0 : static_cast<int64_t>(status.st_size);
  info->write_time = FileTimeFromTimespec(status.st_mtim);
  // POSIX keeps no creation time; the status change time is the closest.
  info->creation_time = FileTimeFromTimespec(status.st_ctim);
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t result = write(fd, bytes.data() + done, bytes.size() - done);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return false;
    done += static_cast<size_t>(result);
  }
  return true;
}

// Makes a rename in the folder durable; a failure only costs durability.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

std::string UniqueTempName(const std::string& path) {
  static std::atomic<uint32_t> counter{0};
  return path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(TickCount()) + "-" +
         std::to_string(counter++);
}

std::string HomeFolder() {
  const char* home = getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The value of XDG_VIDEOS_DIR="..." in user-dirs.dirs: "$HOME/..." or an
// absolute path; anything else counts as absent.
std::string VideosFolderFromUserDirs(const std::string& home) {
  const char* config_home = getenv("XDG_CONFIG_HOME");
  const std::string config = config_home != nullptr && config_home[0] == '/'
                                 ? std::string(config_home)
                                 : home + "/.config";
  std::string text;
  if (!ReadWholeFile(config + "/user-dirs.dirs", &text)) return "";
  const std::string key = "XDG_VIDEOS_DIR=";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, key.size(), key) != 0) continue;
    std::string value = line.substr(first + key.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
    value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) return WithoutTrailingSlash(home + value.substr(5));
    if (!value.empty() && value[0] == '/') return WithoutTrailingSlash(value);
  }
  return "";
}

}  // namespace

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path[0] == '/'; }

PathType GetPathType(const std::string& path) {
  struct stat status {};
  if (path.empty() || stat(path.c_str(), &status) != 0) return PathType::kNone;
  return S_ISDIR(status.st_mode) ? PathType::kFolder : PathType::kFile;
}

bool GetFileInfo(const std::string& path, FileInfo* info) {
  struct stat status {};
  if (path.empty() || stat(path.c_str(), &status) != 0) return false;
  info->name = LastComponent(path);
  FillInfo(status, info);
  return true;
}

bool ListFolder(const std::string& folder, std::vector<FileInfo>* entries) {
  entries->clear();
  const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return false;
  DIR* dir = fdopendir(folder_fd);
  if (dir == nullptr) {
    close(folder_fd);
    return false;
  }
  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    struct stat status {};
    // A link to nothing is still an entry; it shows as an empty file.
    if (fstatat(folder_fd, name, &status, 0) != 0 &&
        fstatat(folder_fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // removed since readdir
    }
    FileInfo info;
    info.name = name;
    FillInfo(status, &info);
    if (S_ISLNK(status.st_mode)) info.size = 0;
    entries->push_back(std::move(info));
  }
  closedir(dir);
  return true;
}

bool SetFileTimes(const std::string& path, FileTime /*creation_time*/, FileTime write_time) {
  if (write_time == 0) return GetPathType(path) != PathType::kNone;
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // access time untouched
  times[1] = TimespecFromFileTime(write_time);
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool CanSetCreationTime() { return false; }

bool MovePath(const std::string& from, const std::string& to) {
#ifdef __linux__
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // File systems without an atomic no-replace rename: check, then rename.
  struct stat status {};
  if (lstat(to.c_str(), &status) == 0) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool DeleteFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool RemoveFolder(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool CreateFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(fd);
    return false;
  }
  if (status.st_size > 0) bytes->reserve(static_cast<size_t>(status.st_size));
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof(buffer));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    bytes->append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  if (!ok) bytes->clear();
  return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::string temp = UniqueTempName(path);
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(ParentFolder(path));
  return true;
}

std::string ExecutableFolder() {
  char buffer[PATH_MAX + 1];
  const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (length <= 0) return "";
  return ParentFolder(std::string(buffer, static_cast<size_t>(length)));
}

std::string UserVideosFolder() {
  const char* from_environment = getenv("XDG_VIDEOS_DIR");
  if (from_environment != nullptr && from_environment[0] == '/') {
    return WithoutTrailingSlash(from_environment);
  }
  const std::string home = HomeFolder();
  const std::string from_file = VideosFolderFromUserDirs(home);
  if (!from_file.empty()) return from_file;
  return home + "/Videos";
}

std::string TemporaryFolder() {
  const char* tmpdir = getenv("TMPDIR");
  if (tmpdir != nullptr && tmpdir[0] == '/') return WithoutTrailingSlash(tmpdir);
  return "/tmp";
}

std::string CurrentFolder() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr) return "";
  return buffer;
}

}  // namespace velmor::platform
