// A stream slot's read cache: one open media file and a ring of large
// blocks that the slot's own reader thread fills ahead of the sender, with
// unbuffered sequential reads. Already-sent blocks stay behind the send
// position (the protected window), so the player's short backward seeks and
// its re-connections are served from memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "core/worker_thread.h"
#include "platform/event.h"
#include "platform/file.h"
#include "platform/page_buffer.h"
#include "stream/cache_block.h"

namespace velmor {

class StreamSlot {
 public:
  static constexpr int64_t kMiB = 1048576;
  static constexpr int kMaxBlockCount = 4096;

  // kManual slots have no reader thread: the caller runs ReadStep itself
  // (tests that follow the ring block by block).
  enum class Reader { kThread, kManual };

  // block_mib: the low 16 bits count (0 is taken as 1). block_count: 1 to
  // kMaxBlockCount. Blocks behind the send position are protected only with
  // more than 2 blocks, and never all of them.
  StreamSlot(int number, int block_mib, int block_count, int protected_count,
             Reader reader = Reader::kThread);
  ~StreamSlot();  // stops the reader, closes the file, frees the blocks
  StreamSlot(const StreamSlot&) = delete;
  StreamSlot& operator=(const StreamSlot&) = delete;

  // Opens the file for this slot's stream; the same path as the open file
  // keeps the file and its blocks as they are. Activates the reader and
  // clears the release flag. False when the file cannot be opened or its
  // blocks cannot be allocated (the slot then holds no file).
  bool OpenFile(const std::string& path);
  // Moves the send position; bytes already held are sent from memory, else
  // reading restarts at the 4,096-byte boundary below the position. A
  // position at or past the end of the file leaves nothing to send.
  void Seek(int64_t position);
  void CloseFile();

  // One step of the reader: fills the next block when the ring has room.
  // True when it read. The reader thread calls it; kManual callers too.
  bool ReadStep();

  // The sender's side, run by the stream server's thread without the lock.
  // The bytes that follow the send position, straight from the current
  // block; empty while the reader has not filled it.
  std::span<const uint8_t> SendableBytes() const;
  // After `count` of those bytes went out.
  void MarkSent(size_t count);
  // True when the file turned out shorter than its size at open and every
  // byte before the point where it ends has been sent: the body cannot be
  // completed.
  bool DataEnded() const;

  // The release flag: the file is closed once the slot has no connection.
  void RequestRelease() { release_ = true; }
  bool release_requested() const { return release_; }
  // Closes the file when the release flag is set; true when it did.
  bool ReleaseIfRequested();

  int number() const { return number_; }
  int block_count() const { return block_count_; }
  int64_t block_bytes() const { return block_bytes_; }
  int64_t protected_bytes() const { return protected_bytes_; }
  int64_t file_size() const { return file_size_; }
  int64_t send_position() const { return send_position_; }
  bool file_open() const;
  bool reader_active() const { return active_; }
  // True while the open file is read past the system's file cache.
  bool unbuffered() const;
  // Reads made since the slot was created (each fills at most one block).
  int64_t read_count() const { return read_count_; }

  // A copy of the ring's state, for tests and diagnosis.
  struct BlockState {
    int64_t start = -1;
    int64_t end = -1;
    int64_t bytes_left = 0;
    int64_t sent_offset = 0;
    bool ready = false;
  };
  BlockState block(int index) const;
  int current_send_block() const { return current_send_block_; }
  int fill_block() const;
  int64_t read_position() const;
  int64_t skip_bytes() const;

 private:
  // A read decided under the lock and done outside it, so a seek never
  // waits for the disk. Kept only when nothing moved the cache meanwhile.
  struct ReadPlan {
    int block = 0;
    int64_t position = 0;
    uint64_t generation = 0;
  };

  static int ReaderPass(void* self);
  bool PlanRead(ReadPlan* plan);
  bool CommitRead(const ReadPlan& plan, int64_t got);
  void CloseFileLocked();
  bool PrepareBuffers();
  void ResetCache();
  void SeekToHeldBlock(int hit, int64_t position);
  void SeekToUnheldPosition(int64_t position);

  const int number_;
  const int block_count_;
  const int64_t block_bytes_;
  const int64_t protected_bytes_;
  std::unique_ptr<CacheBlock[]> blocks_;
  // Every block's buffer, allocated with the first file and kept.
  platform::PageBuffer ring_memory_;

  mutable std::mutex lock_;
  // The file is read under io_lock_ alone; opening and closing it take both
  // locks (lock_ first).
  mutable std::mutex io_lock_;
  platform::File file_;
  // Under lock_.
  std::string path_;
  uint64_t generation_ = 0;  // changes whenever a read in flight is outdated
  int64_t read_position_ = 0;
  int64_t skip_ = 0;
  int fill_block_ = 0;

  // Shared with the sender (and set under the lock where the reader cares).
  std::atomic<int64_t> file_size_{-1};
  std::atomic<int64_t> send_position_{0};
  std::atomic<int> current_send_block_{0};
  // Where the file's data ended early (it shrank), or -1.
  std::atomic<int64_t> data_end_{-1};
  std::atomic<bool> active_{false};
  std::atomic<bool> release_{false};
  std::atomic<int64_t> read_count_{0};

  std::atomic<bool> stopping_{false};
  platform::ManualResetEvent wake_;  // set when the reader may have work
  WorkerThread reader_;
};

}  // namespace velmor
