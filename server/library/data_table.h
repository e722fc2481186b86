// The library data table: the server's memory of the media files and
// folders the player has dealt with. Each record gives a file a stable id
// (also its thumbnails' base name), the player's state bits and a small tag
// text with its markers. A file is known by its name and size, not its
// folder, so a moved or copied file keeps its record; a folder is known by
// its full path (inside a chapter folder, by its path from there on).
//
// The table lives in memory behind one lock and in a UTF-8 text file
// (data_table_file.h) that other servers and text editors may share: a
// change on disk is merged in while the table has nothing unsaved, and local
// changes are written back 5 s after the last one (Tick), always as a whole
// new file renamed over the old one.
//
// Lookups and changes go through a Locked accessor, which holds the lock for
// its life:
//
//   DataTable::Locked table = data_table.Lock();
//   if (S_DATATABLE* record = table.FindById(id)) {
//     record->flags |= kFlagHasMarkers;
//     table.Touch(record);
//   }
//
// A record pointer is valid while the Locked accessor that gave it lives.
// Flags and tags may be changed through it directly (then Touch it); path
// and size only through the table, which keeps its indexes in order.
//
// Lock order: the command lock, then the table's save lock (file reads and
// writes, taken by Open, Save and Tick), then the table lock. So do not call
// Open, Save or Tick while holding a Locked accessor.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "library/data_table_record.h"
#include "library/data_table_store.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace velmor {

class DataTable {
 public:
  struct Settings {
    int device_id = 0;
    std::string path;  // the table's file
    std::string thumbnail_folder;
  };

  // The clocks the table reads; tests drive them by hand.
  struct Clocks {
    uint32_t (*tick)() = nullptr;                   // default platform::TickCount
    platform::LocalTime (*local_time)() = nullptr;  // default platform::CurrentLocalTime
  };

  static constexpr uint32_t kTickPeriodMs = 1000;
  static constexpr uint32_t kSaveDelayMs = 5000;
  // A change is on disk at most this long after it was made, even while
  // further changes keep the table from falling quiet.
  static constexpr uint32_t kSaveBoundMs = 30000;
  // Where the file goes when the setting names none that exists.
  static constexpr const char* kDefaultPath = "data\\VelmorVRServer.txt";

  class Locked;

  DataTable();
  explicit DataTable(Clocks clocks);
  ~DataTable();  // saves what is unsaved
  DataTable(const DataTable&) = delete;
  DataTable& operator=(const DataTable&) = delete;

  // Takes the settings and reads the file. The path is resolved like the
  // list files: an existing absolute file, else the name beside the program
  // if it exists, else kDefaultPath beside the program; its folder is made
  // when missing. The same path and device again only take the thumbnail
  // folder; otherwise unsaved changes are saved to the old file first.
  void Open(const Settings& settings);
  // Settings as in use: the resolved path and the device number (0 to 99).
  Settings settings() const;

  // For the thumbnail worker's loop, every 1 to 100 ms: once a second,
  // merges changes on disk while nothing is unsaved, and saves 5 s after the
  // last change or 30 s after the oldest unsaved one, whichever comes first.
  void Tick();
  // Writes the table when it has unsaved changes (merging changes on disk
  // first). True when nothing is left unsaved; on failure the file is as it
  // was and the table stays dirty, so the next tick tries again.
  bool Save();
  bool dirty() const;
  // True once for each streak of failed saves (the first failure after a
  // success), so that the user hears of it once, not at every retry.
  bool TakeSaveFailure();

  // Today's date for new ids; a new date starts a new sequence. Also
  // restarts the temporary ids. At every player connection.
  void RefreshDate();
  // Only the date: a new date starts a new sequence; the temporary ids a
  // player may hold stay valid. For the batch tools.
  void RefreshDateKeepingTemporaryIds();
  // An id for an item without a record, 0 to kMaxTemporaryId.
  int64_t NewTemporaryId();

  Locked Lock();

 private:
  friend class Locked;

  // The file as last seen: its write time and size (either may change
  // alone on coarse file systems), or absent.
  struct FileStamp {
    bool exists = false;
    platform::FileTime write_time = 0;
    int64_t size = 0;
    bool operator==(const FileStamp&) const = default;
  };
  enum class ReadResult { kRead, kAbsent, kUnreadable };

  // Everything below expects save_lock_ held; the *Locked functions also
  // lock_.
  void LoadFile();
  bool MergeFile();
  bool SaveHoldingSaveLock();
  bool BuildText(std::string* text, std::vector<S_DATATABLE*>* were_modified);
  bool WriteText(const std::string& text);
  bool WriteDamagedCopy();
  void RestoreUnsaved(const std::vector<S_DATATABLE*>& were_modified, uint32_t unsaved_since);
  ReadResult ReadFile(FileStamp* stamp, std::string* bytes) const;
  FileStamp CurrentStamp() const;

  void ApplyMerge(std::vector<S_DATATABLE>* disk_records);
  void RefreshDateLocked();
  void RecomputeNextSequenceLocked();
  void CheckSequenceAgainstThumbnailsLocked();
  void TouchLocked(S_DATATABLE* record);

  // Lookups (data_table_lookup.cpp), with lock_ held.
  S_DATATABLE* FindLocked(std::string_view path, int64_t size);
  S_DATATABLE* FindFolderLocked(std::string_view path);
  S_DATATABLE* FindChapterFolderLocked(std::string_view path, std::string* relative) const;
  S_DATATABLE* CreateRecordLocked(std::string_view path, int64_t size);
  void SetChapterFlagByNameLocked(const S_DATATABLE& record, bool on);
  bool SetPathByIdLocked(int64_t id, std::string_view path);
  bool UpdatePathAfterMoveLocked(int64_t id, std::string_view new_path, std::string_view old_path);
  void AdoptLocked(S_DATATABLE* record, std::string_view path, int64_t size);

  uint32_t Now() const { return clocks_.tick(); }

  Clocks clocks_;
  // Serialises the file's readers and writers (and emptying the pool, which
  // a save in progress points into). Taken before lock_, never after.
  std::mutex save_lock_;
  mutable std::recursive_mutex lock_;

  Settings settings_;
  bool opened_ = false;
  DataTableStore store_;
  int today_ = 0;
  int64_t next_sequence_ = 0;
  bool sequence_checked_ = false;
  int64_t next_temporary_id_ = 0;
  FileStamp seen_;
  bool seen_valid_ = false;  // false: the file must be read before it is written
  bool dirty_ = false;
  bool save_failing_ = false;  // the last save failed
  // Read by the session on every pass, so without the table's lock.
  std::atomic<bool> failure_to_report_{false};
  uint32_t change_count_ = 0;
  uint32_t last_change_ms_ = 0;
  uint32_t first_unsaved_change_ms_ = 0;  // valid while dirty_
  uint32_t last_tick_ms_ = 0;
  // A file read that held content the table could not use, kept until the
  // table first writes over it, then copied aside.
  std::string damaged_source_;
};

class DataTable::Locked {
 public:
  Locked(Locked&&) = default;

  S_DATATABLE* FindById(int64_t id) const;
  // A file by name and size (any folder), a folder (size kSizeFolder) by
  // its path. A file of unknown size (kSizeUnknown) takes any record of its
  // name; a record stored with unknown size takes the real size (and the
  // path) of the first lookup that knows it.
  S_DATATABLE* Find(std::string_view path, int64_t size);
  S_DATATABLE* FindByPath(std::string_view path, int64_t size) { return Find(path, size); }
  S_DATATABLE* FindByFolderName(std::string_view folder, std::string_view name, int64_t size);
  // The chapter folder the path is in (or is), and the path from its name
  // on, with '/' separators.
  S_DATATABLE* FindChapterFolder(std::string_view path, std::string* relative = nullptr) const;

  // A new record with a new id; null for a path the file cannot hold (one
  // with a '"', a line break or a zero byte).
  S_DATATABLE* CreateRecord(std::string_view path, int64_t size);
  // Marks the record (or, with null, only the table) changed.
  void Touch(S_DATATABLE* record);
  // Sets or clears the chapter flag on every record of the record's name.
  void SetChapterFlagByName(const S_DATATABLE& record, bool on);
  // Points the record at another path of the same file; false when the id
  // is unknown, the path is the same, or the path cannot be stored.
  bool SetPathById(int64_t id, std::string_view path);
  // After the file or folder was moved: the record's path, and when the new
  // path is a folder, the paths of everything that was inside the old one.
  bool UpdatePathAfterMove(int64_t id, std::string_view new_path, std::string_view old_path);
  int64_t NewTemporaryId();

  size_t record_count() const { return table_->store_.record_count(); }
  // The records in the file's order.
  const DataTableStore::Index& records() const { return table_->store_.by_primary(); }

 private:
  friend class DataTable;
  explicit Locked(DataTable* table) : table_(table), lock_(table->lock_) {}

  DataTable* table_;
  std::unique_lock<std::recursive_mutex> lock_;
};

}  // namespace velmor
