// CLOGMEM: a log writer for callers that must not wait for the disk. Write
// only copies the text into one of two 64 KiB memory slots; a writer thread
// of its own puts full slots into the file, one write call per slot.
//
// A slot belongs to the fill side until it is marked ready and to the writer
// from then until the writer clears the mark, so the writer never needs the
// fill side's lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/event.h"
#include "platform/file.h"

namespace velmor {

class CLOGMEM {
 public:
  static constexpr size_t kCapacity = 65536;
  // Bounded waits: for the writer to free a slot, to catch up, to stop.
  static constexpr uint32_t kTimeoutMs = 5000;
  static constexpr uint32_t kPollMs = 10;
  // Written into the log when a Write had to wait for the writer.
  static constexpr std::string_view kWaitNote = "CLOGMEM::Write wait !!!\r\n";

  CLOGMEM() = default;
  ~CLOGMEM();
  CLOGMEM(const CLOGMEM&) = delete;
  CLOGMEM& operator=(const CLOGMEM&) = delete;

  // Opens (creates or appends to) the file named in UTF-8 and starts the
  // writer. Closes any previous file first. On failure the object is closed.
  bool Open(const std::string& file_name);
  // Appends the bytes of the text. False when closed, when the text is larger
  // than a slot, or when the writer stayed behind for the whole time-out; in
  // those cases nothing of the text is written.
  bool Write(std::string_view text);
  bool Write(const char* text);
  // Hands the slot being filled to the writer.
  bool Swap();
  // Returns when every handed-over slot is in the file (or after the time-out).
  void Wait();
  // Stops the writer, writes what is left and closes the file. False when
  // some text could not be written.
  bool Close();

 private:
  struct Slot {
    std::atomic<bool> ready{false};  // owned by the writer while set
    std::unique_ptr<char[]> buffer;
    std::atomic<size_t> length{0};
    size_t written = 0;  // writer only: bytes of a short write already in the file
  };
  // Everything the writer thread touches. The thread holds its own reference,
  // so a writer abandoned at Close (stuck in a slow disk write) still finds
  // its buffers and file when the call returns.
  struct State {
    platform::File file;
    Slot slots[2];
    int write_index = 0;  // writer only (and Close once the writer is gone)
    std::atomic<uint64_t> swapped{0};
    std::atomic<uint64_t> written{0};
    platform::ManualResetEvent stop;
    platform::ManualResetEvent finished;
  };

  static void WriterLoop(std::shared_ptr<State> state);
  // Writes the slot at the write index if it is ready; true when all of it is
  // in the file and the slot was given back.
  static bool WriteReadySlot(State& state);

  bool SwapLocked(bool* waited);
  bool WaitForFillSlot(bool* waited);
  bool CloseLocked();
  bool StopWriter();
  bool FlushAfterStop();
  bool Append(std::string_view text);
  bool Fits(size_t size) const;

  std::string file_name_;         // also the text of the time-out message boxes
  std::shared_ptr<State> state_;  // null while closed
  size_t capacity_ = 0;
  int fill_index_ = 0;
  std::mutex mutex_;  // serialises the fill side, Open and Close
  std::thread writer_;
};

}  // namespace velmor
