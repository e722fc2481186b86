// bench_soak: the real server program under a long mixed load, killed with
// SIGKILL and restarted every so often. One player session drives random
// commands and records every change the server acknowledged; 3 to 5 HTTP
// streams compare what they receive with the files on disk; a hostile peer
// on 127.0.0.2 sends junk, stalls and asks for files. After each restart
// the player checks what had to survive the kill. Linux only.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/socket.h"

namespace velmor::soak {

// The server writes an acknowledged data table change to disk at most this
// long after acknowledging it, however steadily further changes come.
inline constexpr int64_t kSaveBoundMs = 30000;
// On top of the bound: the server looks at its table once a second, and the
// write itself takes a moment.
inline constexpr int64_t kSaveSlackMs = 2000;
// A connection that has not passed the handshake within this long no longer
// holds the single player slot, so no player waits longer than this.
inline constexpr int64_t kHandshakeDeadlineMs = 10000;
// An acknowledged change that only a later explicit save makes durable.
inline constexpr int64_t kNotYetDurable = INT64_MAX;

// The generated media folder.
struct Media {
  std::string folder;
  std::vector<std::string> names;  // every media file in it (all at its top)
  std::vector<std::string> big;    // full paths of the big plain files that are streamed
  std::string picture;             // a small JPEG for thumbnail uploads
};

// What the drivers share. Times are milliseconds since the run began.
class Soak {
 public:
  explicit Soak(uint64_t seed);
  int64_t Now() const;
  std::mt19937_64 Random(int driver) const;

  // A failure of one kind; the summary shows each kind once with its count.
  void Fail(const std::string& kind, const std::string& detail);
  std::string Reasons() const;  // empty when nothing failed
  static void NoteMax(std::atomic<int64_t>* figure, int64_t value);

  void AddKill(int64_t at);
  size_t KillCount() const;
  int64_t KillTime(size_t index) const;

  Media media;
  std::string home;
  uint16_t command_port = 0;
  uint16_t http_port = 0;

  // `epoch` counts server starts; `up` is true from a ready start (after the
  // hostile peer's turn) until the next kill.
  std::atomic<int> epoch{0};
  std::atomic<bool> up{false};
  std::atomic<int> admitted_epoch{-1};  // the last epoch the player got into
  std::atomic<size_t> kills_checked{0};
  std::atomic<bool> drivers_stop{false};
  std::atomic<bool> all_stop{false};

  std::atomic<int64_t> commands{0};
  std::atomic<int64_t> bytes_streamed{0};
  std::atomic<int64_t> kills_survived{0};
  std::atomic<int64_t> changes_checked{0};
  std::atomic<int64_t> changes_lost{0};
  std::atomic<int64_t> max_stall_ms{0};
  std::atomic<int64_t> max_keepout_ms{0};

 private:
  uint64_t seed_;
  uint32_t start_;
  mutable std::mutex mutex_;
  std::map<std::string, std::pair<int64_t, std::string>> failures_;  // kind: count, first detail
  std::vector<int64_t> kill_times_;
};

// The acknowledged changes per item ("bit NAME 4", "mark NAME", "word ID W",
// ...), each with the time by which it must be on disk.
class Ledger {
 public:
  static constexpr char kAny[] = "*";  // a value not known

  void Record(const std::string& item, const std::string& value, int64_t durable_by,
              const std::string& baseline);
  // An acknowledged save makes the pending changes of items with the prefix durable.
  void MarkSaved(const std::string& prefix, int64_t at);
  std::optional<std::string> Current(const std::string& item) const;
  std::vector<std::string> Items() const;

  struct Outcome {
    int64_t checked = 0;  // items with a change that had to survive
    std::vector<std::string> lost;
  };
  // What the restarted server holds against what had to survive a kill at
  // `kill_at`; the observed values become the new starting points.
  Outcome Check(int64_t kill_at, const std::map<std::string, std::string>& observed);

 private:
  struct Entry {
    std::string value;
    int64_t durable_by = 0;
  };
  std::map<std::string, std::vector<Entry>> items_;
};

// The work folder: media made with ffmpeg plus big plain files, and a home
// whose settings name our ports.
bool MakeMedia(const std::string& folder, std::mt19937_64* random, Media* media,
               std::string* error);
bool PrepareHome(const std::string& home, uint16_t command_port, uint16_t http_port,
                 uint16_t mouse_port, const std::string& media_folder);

// The server program as a child process.
class ServerProcess {
 public:
  ServerProcess(std::string program, std::string home, std::string media, std::string log_path);
  // Starts it and waits until it listens on both ports.
  bool Start(std::string* error);
  void KillHard();  // SIGKILL, as a power cut would end it
  void Stop();      // the orderly stop (SIGTERM)
  bool Running();
  int64_t RssKb() const;   // VmRSS, 0 when unknown
  void Pump(uint32_t ms);  // passes the time reading its output into the log

 private:
  bool ReadLine(uint32_t timeout_ms, std::string* line);

  std::string program_, home_, media_, log_path_;
  platform::ChildProcess child_;
  int pid_ = 0;
  std::string pending_;
};

void RunPlayer(Soak* soak);
void RunStream(Soak* soak, int slot);
void RunHostile(Soak* soak);
// The hostile peer's turn right after a restart, before the player connects:
// junk connections, or a stalled upload that is kept open (returned).
void HostileJunkBurst(Soak* soak, std::mt19937_64* random);
platform::Socket HostileStalledUpload(Soak* soak);

}  // namespace velmor::soak
