// Files and folders: kinds, enumeration with sizes and times, file times,
// moves, folder creation and whole-file reads and atomic writes. Paths are
// UTF-8; both "/" and the host's own separator are accepted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::platform {

// The separator the host's own paths use ('\\' on Windows, '/' on POSIX).
extern const char kNativeSeparator;

// File times are Windows file times on every host: 100 ns units since
// 1601-01-01 UTC, so stored values mean the same on both.
using FileTime = uint64_t;

FileTime FileTimeFromUnixMicroseconds(int64_t micros);
int64_t UnixMicrosecondsFromFileTime(FileTime time);

enum class PathType { kNone, kFolder, kFile };

struct FileInfo {
  std::string name;  // the entry's own name, no folder
  bool is_folder = false;
  int64_t size = 0;  // bytes; 0 for folders
  FileTime write_time = 0;
  FileTime access_time = 0;
  FileTime creation_time = 0;  // on hosts without one: the status change time
  // Hidden or system (Windows' attributes); on POSIX a name beginning with
  // '.', the convention that hides it there.
  bool hidden = false;
};

// True for a path that names a location without reference to a current
// folder: "/x" on POSIX; "C:\x", "C:/x", "\\server\share" or "//server" on
// Windows.
bool IsAbsolutePath(std::string_view path);

PathType GetPathType(const std::string& path);
bool GetFileInfo(const std::string& path, FileInfo* info);

// Every entry of a folder except "." and "..", in the order the host gives.
bool ListFolder(const std::string& folder, std::vector<FileInfo>* entries);

// Whether a walk needs an entry's size and times, given its name and kind.
using WantsDetails = std::function<bool(std::string_view name, bool is_folder)>;
// ListFolder for walks over large trees: a file or folder that the folder
// read itself names as such, and that `wants_details` turns down, comes
// without its size and times (0), so no status read is spent on it. Links
// and entries of unknown kind are always read in full. Hosts whose folder
// read gives sizes and times with the names (Windows) fill every entry.
bool ListFolder(const std::string& folder, const WantsDetails& wants_details,
                std::vector<FileInfo>* entries);

// The three times a file has; where times are set, 0 means "leave it".
struct FileTimes {
  FileTime creation = 0;
  FileTime access = 0;
  FileTime write = 0;
};

// Sets the times given as non-zero. POSIX keeps no creation time that can be
// set: there the old one stays, and the call succeeds when the access and
// write times were set.
bool SetFileTimes(const std::string& path, const FileTimes& times);
// The creation and write times; the access time stays.
bool SetFileTimes(const std::string& path, FileTime creation_time, FileTime write_time);
// True when SetFileTimes can change a file's creation time on this host.
bool CanSetCreationTime();

// Moves a file or folder; fails when the target exists.
bool MovePath(const std::string& from, const std::string& to);
// Renames over an existing file (the last step of an atomic write).
bool ReplaceFile(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);
bool RemoveFolder(const std::string& path);  // empty folders only
bool CreateFolder(const std::string& path);  // the parent must exist

bool ReadWholeFile(const std::string& path, std::string* bytes);
// Writes a new file beside the target, flushes it to disk and renames it over
// the target, so the target is either the old or the new content, never half.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);
// Deletes what atomic writes of the file left beside it when the process
// was killed mid-write: files named like the file plus ".tmp<pid>-<n>-<n>",
// nothing else. Only for a file this process alone writes. Returns how
// many went.
int RemoveLeftTemporaries(const std::string& path);

// A drive the user can browse: its root with a trailing '/' ("C:/", or on
// POSIX "/" and the mount points under /media, /mnt and /run/media, such as
// "/media/me/USB/") and its volume label ("" without one).
struct Drive {
  std::string root;
  std::string label;
};
// Windows: every drive letter of the logical drive mask, A to Z, whose
// volume information can be read. POSIX: "/" first, then the mounted file
// systems under those folders in path order.
std::vector<Drive> ListDrives();

// The folder of the running program, without a trailing separator.
std::string ExecutableFolder();
// The user's video folder: Windows' Videos known folder; on POSIX the XDG
// videos folder, else $HOME/Videos.
std::string UserVideosFolder();
std::string TemporaryFolder();
// The process's current folder, to make a relative path given by the user
// absolute.
std::string CurrentFolder();

}  // namespace velmor::platform
