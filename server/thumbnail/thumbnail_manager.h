// The thumbnail manager: one JPEG per data table record in the thumbnail
// folder, named after the record, with its media facts (the info text) as
// the record's "<thum>" value.
//
// Thumbnails come from the player, which uploads pictures it made itself,
// or, when "rw.iUseFFMpeg" is on, from the worker thread: the player's
// fetch of a missing thumbnail adds a request, and the worker makes one
// request at a time with ffprobe and ffmpeg, newest first. Media that
// cannot be made into a picture gets the placeholder of its kind, so it is
// not asked for again.
//
// The worker also runs the data table's Tick (its debounced save) on each
// of its passes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/worker_thread.h"
#include "library/ext_set.h"
#include "thumbnail/media_runner.h"
#include "thumbnail/thumbnail_job.h"
#include "thumbnail/thumbnail_requests.h"

namespace velmor {

class DataTable;
struct PictureContext;

class ThumbnailManager {
 public:
  struct Settings {
    void* owner = nullptr;
    std::string thumbnail_folder;
    MediaPrograms programs;   // ffmpeg and ffprobe, and the folder they run in
    bool enabled = false;     // the paths are set: the worker serves requests
    bool use_ffmpeg = false;  // "rw.iUseFFMpeg": requests are taken at all
    // Which extensions make a record video, audio or image.
    CExt video;
    CExt audio;
    CExt image;
    uint32_t time_limit_ms = MediaRunner::kDefaultTimeLimitMs;  // per ffmpeg or ffprobe run
  };

  enum class MakeMode {
    kMakeOrAdopt,  // make from the media, or take a file already there
    kPlaceholder,  // the placeholder of the media's kind
  };

  // What a fetch addresses: the record's thumbnail (1, 2 with priority when
  // bit 0 of the flags is set, 4 without adding a request), or an image file
  // by its path (8).
  enum FetchKind : int {
    kFetchById = 1,
    kFetchByIdWithPriority = 2,
    kFetchWithoutRequest = 4,
    kFetchByPath = 8,
  };

  enum class FetchStatus : int {
    kLoaded = 1,       // the job's image holds the whole file
    kNotPossible = 2,  // unknown kind, not an image, or unreadable
    kRequested = 3,    // no thumbnail yet; a request was added
    kMissing = 4,      // no thumbnail, and no request was added
  };

  ThumbnailManager();   // starts the worker
  ~ThumbnailManager();  // stops the worker, abandoning a running child
  ThumbnailManager(const ThumbnailManager&) = delete;
  ThumbnailManager& operator=(const ThumbnailManager&) = delete;

  // The folder holding ffmpeg and ffprobe gives both programs' paths.
  static Settings SettingsFor(void* owner, const std::string& thumbnail_folder,
                              const std::string& ffmpeg_folder);
  void Configure(const Settings& settings);
  Settings settings() const;

  // The table whose records name the thumbnails and whose Tick the worker
  // runs; it must outlive the manager or be unset.
  void SetDataTable(DataTable* table);

  // False, adding nothing, while "rw.iUseFFMpeg" is off.
  bool AddRequest(int64_t record_id, bool priority);
  bool TakeRequest(int64_t* record_id);
  size_t RequestCount() const;
  // Forgets every waiting request (the player that asked is gone).
  void ClearRequests();

  // Makes the thumbnail of the job's record. True when the record has a
  // thumbnail file afterwards (made, adopted or a placeholder).
  bool MakeThumbnail(ThumbnailJob* job, MakeMode mode);

  // Loads a thumbnail into the job's image for sending: the record's (the
  // job's record id) or, for kFetchByPath, the picture at the job's media
  // path. The image is empty unless the status is kLoaded.
  FetchStatus Fetch(int kind, uint16_t flags, ThumbnailJob* job);
  // The record's info text, the "<thum>" value; empty when it has none.
  std::string StoredInfoText(int64_t record_id);

  // Deletes the record's thumbnail file, then points the record at the
  // path when its stored path differs.
  void DeleteThumbnail(int64_t record_id, const std::string& path);
  // Adds a request (without priority) when the record exists and its
  // thumbnail file does not.
  void RequestIfMissing(int64_t record_id);

  // A player's upload: the job holds the record id, the player's info text
  // and the picture's bytes (none: the placeholder). The player's text
  // decides `make`, so a picture it says was made from the media (1 or 2)
  // does not replace an existing file; the info text is stored either way.
  bool StoreUpload(ThumbnailJob* job);

  // The job the command session fetches and uploads with.
  ThumbnailJob* session_job() { return &session_job_; }

 private:
  // What a record tells about its thumbnail, read under the table's lock.
  struct RecordFacts {
    std::string media_path;
    std::string thumbnail_path;
    int info_size = -1;  // of the "<thum>" value; -1 without one
  };

  static int WorkerPass(void* self);
  DataTable* data_table() const;
  bool LookUp(int64_t record_id, const Settings& settings, RecordFacts* facts);
  void PrepareJob(const RecordFacts& facts, const Settings& settings, ThumbnailJob* job);
  bool MakeFromMedia(const Settings& settings, const RecordFacts& facts, ThumbnailJob* job);
  bool AdoptExisting(const Settings& settings, const RecordFacts& facts, ThumbnailJob* job);
  bool StorePlaceholder(const RecordFacts& facts, ThumbnailJob* job);
  void ProbeInto(const Settings& settings, ThumbnailJob* job);
  MediaRunner RunnerFor(const Settings& settings) const;
  bool StoreInfoText(int64_t record_id, const ThumbnailInfo& info);
  FetchStatus FetchRecord(int kind, uint16_t flags, ThumbnailJob* job);
  FetchStatus FetchPicture(ThumbnailJob* job);

  mutable std::mutex lock_;
  Settings settings_;
  DataTable* data_table_ = nullptr;
  // 1 while the worker may make thumbnails; every child process run gives
  // up when it reads anything else.
  std::atomic<int> running_{0};
  bool worker_started_ = false;
  ThumbnailRequests requests_;
  ThumbnailJob session_job_;
  ThumbnailJob worker_job_;
  WorkerThread worker_;
};

}  // namespace velmor
