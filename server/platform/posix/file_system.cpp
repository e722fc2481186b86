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

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

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

// A time for utimensat: 0 leaves the file's own.
timespec TimeToSet(FileTime time) {
  if (time != 0) return TimespecFromFileTime(time);
  timespec omit{};
  omit.tv_nsec = UTIME_OMIT;
  return omit;
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
  info->access_time = FileTimeFromTimespec(status.st_atim);
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

// The kernel writes blanks, tabs, line breaks and backslashes in mount
// table fields as "\\" and three octal digits.
std::string UnescapeMountField(std::string_view field) {
  std::string text;
  for (size_t i = 0; i < field.size(); ++i) {
    const bool octal = field[i] == '\\' && i + 3 < field.size();
    if (octal && field[i + 1] >= '0' && field[i + 1] <= '3' && field[i + 2] >= '0' &&
        field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      text.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                       (field[i + 3] - '0')));
      i += 3;
      continue;
    }
    text.push_back(field[i]);
  }
  return text;
}

// udev writes unsafe characters of a label's link name as "\\x" and two hex
// digits.
std::string UnescapeLabel(std::string_view name) {
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string text;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) >= 0 &&
        hex(name[i + 3]) >= 0) {
      text.push_back(static_cast<char>(hex(name[i + 2]) * 16 + hex(name[i + 3])));
      i += 3;
      continue;
    }
    text.push_back(name[i]);
  }
  return text;
}

std::string RealPathOf(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string result = resolved;
  free(resolved);
  return result;
}

// The label of a block device, from udev's links named after the labels.
std::string LabelOfDevice(const std::string& device) {
  if (device.empty() || device[0] != '/') return "";
  const std::string real_device = RealPathOf(device);
  const std::string folder = "/dev/disk/by-label";
  std::vector<FileInfo> links;
  if (!ListFolder(folder, &links)) return "";
  for (const FileInfo& link : links) {
    if (RealPathOf(folder + "/" + link.name) == real_device) return UnescapeLabel(link.name);
  }
  return "";
}

// Mount points the user browses media on: removable and extra disks.
bool IsBrowsableMountPoint(const std::string& path) {
  for (const std::string_view base : {"/media", "/mnt", "/run/media"}) {
    if (path.compare(0, base.size(), base) == 0 &&
        (path.size() == base.size() || path[base.size()] == '/')) {
      return true;
    }
  }
  return false;
}

// Device and mount point of every line of the mount table.
std::vector<std::pair<std::string, std::string>> MountTable() {
  std::vector<std::pair<std::string, std::string>> mounts;
  std::string text;
  if (!ReadWholeFile("/proc/self/mounts", &text)) return mounts;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    const size_t first_blank = line.find(' ');
    if (first_blank == std::string_view::npos) continue;
    const size_t second_blank = line.find(' ', first_blank + 1);
    const std::string_view point = line.substr(
        first_blank + 1, second_blank == std::string_view::npos ? std::string_view::npos
                                                                : second_blank - first_blank - 1);
    mounts.emplace_back(UnescapeMountField(line.substr(0, first_blank)), UnescapeMountField(point));
  }
  return mounts;
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
  info->hidden = info->name.size() > 1 && info->name[0] == '.' && info->name != "..";
  return true;
}

bool ListFolder(const std::string& folder, std::vector<FileInfo>* entries) {
  return ListFolder(folder, WantsDetails(), entries);
}

// Status reads go relative to the open folder (no path walk per entry), and
// the kind the folder read gives lets a walk skip the ones it does not need.
bool ListFolder(const std::string& folder, const WantsDetails& wants_details,
                std::vector<FileInfo>* entries) {
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
    FileInfo info;
    info.name = name;
    info.hidden = name[0] == '.';
    if (wants_details && (entry->d_type == DT_REG || entry->d_type == DT_DIR)) {
      info.is_folder = entry->d_type == DT_DIR;
      if (!wants_details(info.name, info.is_folder)) {
        entries->push_back(std::move(info));
        continue;
      }
    }
    struct stat status {};
    // A link to nothing is still an entry; it shows as an empty file.
    if (fstatat(folder_fd, name, &status, 0) != 0 &&
        fstatat(folder_fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // removed since readdir
    }
    FillInfo(status, &info);
    if (S_ISLNK(status.st_mode)) info.size = 0;
    entries->push_back(std::move(info));
  }
  closedir(dir);
  return true;
}

// The creation time is not set: POSIX has no call that sets it (st_ctim,
// which stands in for it, is the status change time the system keeps).
bool SetFileTimes(const std::string& path, const FileTimes& file_times) {
  if (file_times.access == 0 && file_times.write == 0) {
    return GetPathType(path) != PathType::kNone;
  }
  const timespec times[2] = {TimeToSet(file_times.access), TimeToSet(file_times.write)};
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

std::vector<Drive> ListDrives() {
  std::vector<Drive> drives;
  std::string root_device;
  std::vector<Drive> mounted;
  for (const auto& mount : MountTable()) {
    const std::string& device = mount.first;
    const std::string& point = mount.second;
    if (point == "/") root_device = device;
    if (!IsBrowsableMountPoint(point) || GetPathType(point) != PathType::kFolder) continue;
    const std::string root = point + "/";
    const bool seen = std::any_of(mounted.begin(), mounted.end(),
                                  [&](const Drive& drive) { return drive.root == root; });
    if (!seen) mounted.push_back({root, LabelOfDevice(device)});
  }
  drives.push_back({"/", LabelOfDevice(root_device)});
  std::sort(mounted.begin(), mounted.end(),
            [](const Drive& a, const Drive& b) { return a.root < b.root; });
  drives.insert(drives.end(), mounted.begin(), mounted.end());
  return drives;
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
