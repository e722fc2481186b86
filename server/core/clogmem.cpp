#include "core/clogmem.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "platform/clock.h"
#include "platform/user_notice.h"

namespace velmor {

namespace {

bool TimedOut(uint32_t start) {
  return platform::TickDiff(platform::TickCount(), start) >=
         static_cast<int32_t>(CLOGMEM::kTimeoutMs);
}

}  // namespace

CLOGMEM::~CLOGMEM() { Close(); }

bool CLOGMEM::Open(const std::string& file_name) {
  std::lock_guard lock(mutex_);
  CloseLocked();
  file_name_ = file_name;
  auto state = std::make_shared<State>();
  if (!state->file.Open(file_name, platform::File::Mode::kAppendShared)) return false;
  // A failed seek drops the state, which closes the file again.
  if (!state->file.SeekToEnd()) return false;
  for (Slot& slot : state->slots) {
    slot.buffer.reset(new (std::nothrow) char[kCapacity]);
    if (!slot.buffer) return false;
  }
  try {
    writer_ = std::thread(WriterLoop, state);
  } catch (const std::system_error&) {
    return false;
  }
  state_ = std::move(state);
  capacity_ = kCapacity;
  fill_index_ = 0;
  return true;
}

bool CLOGMEM::Write(const char* text) {
  if (text == nullptr) return false;
  return Write(std::string_view(text));
}

bool CLOGMEM::Write(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (!state_) return false;
  if (text.empty()) return true;
  // Larger than a whole slot: it could never fit, so hand nothing over.
  if (text.size() > capacity_) return false;
  bool waited = false;
  if (!Fits(text.size()) && !SwapLocked(&waited)) return false;
  // The note goes in only beside the text, never in its place.
  if (waited && Fits(kWaitNote.size() + text.size())) Append(kWaitNote);
  return Append(text);
}

bool CLOGMEM::Swap() {
  std::lock_guard lock(mutex_);
  bool waited = false;
  if (!SwapLocked(&waited)) return false;
  if (waited) Append(kWaitNote);
  return true;
}

void CLOGMEM::Wait() {
  // Polls without the lock, so other threads may go on writing meanwhile.
  std::shared_ptr<State> state;
  std::string file_name;
  {
    std::lock_guard lock(mutex_);
    state = state_;
    file_name = file_name_;
  }
  if (!state) return;
  // Only what is handed over by now; later hand-overs do not prolong the wait.
  const uint64_t target = state->swapped.load(std::memory_order_acquire);
  const uint32_t start = platform::TickCount();
  while (state->written.load(std::memory_order_acquire) < target) {
    if (TimedOut(start)) {
      platform::ShowMessageBox(file_name, "CLOGMEM::Wait() Time out !!!");
      return;
    }
    platform::SleepMs(kPollMs);
  }
}

bool CLOGMEM::Close() {
  std::lock_guard lock(mutex_);
  return CloseLocked();
}

void CLOGMEM::WriterLoop(std::shared_ptr<State> state) {
  while (!state->stop.IsSet()) {
    while (WriteReadySlot(*state)) {
    }
    // Sleeps 10 ms, but wakes at once when Close asks the writer to stop.
    state->stop.Wait(kPollMs);
  }
  state->finished.Set();
}

bool CLOGMEM::WriteReadySlot(State& state) {
  Slot& slot = state.slots[state.write_index];
  if (!slot.ready.load(std::memory_order_acquire)) return false;
  const size_t length = slot.length.load(std::memory_order_acquire);
  const int64_t result = state.file.Write(slot.buffer.get() + slot.written, length - slot.written);
  // A failed or short write is retried from where it stopped, so no byte is
  // written twice.
  if (result <= 0) return false;
  slot.written = std::min(length, slot.written + static_cast<size_t>(result));
  if (slot.written < length) return false;
  slot.written = 0;
  slot.length.store(0, std::memory_order_release);
  slot.ready.store(false, std::memory_order_release);
  state.write_index ^= 1;
  state.written.fetch_add(1, std::memory_order_release);
  return true;
}

bool CLOGMEM::SwapLocked(bool* waited) {
  *waited = false;
  if (!state_) return false;
  Slot& fill = state_->slots[fill_index_];
  // A fill slot still marked ready was handed over by a Swap that timed out:
  // it is the writer's, so only wait for it again.
  if (!fill.ready.load(std::memory_order_acquire)) {
    if (fill.length.load(std::memory_order_acquire) == 0) return true;
    state_->swapped.fetch_add(1, std::memory_order_release);
    fill.ready.store(true, std::memory_order_release);
    fill_index_ ^= 1;
  }
  return WaitForFillSlot(waited);
}

bool CLOGMEM::WaitForFillSlot(bool* waited) {
  const Slot& fill = state_->slots[fill_index_];
  if (!fill.ready.load(std::memory_order_acquire)) return true;
  *waited = true;
  const uint32_t start = platform::TickCount();
  while (fill.ready.load(std::memory_order_acquire)) {
    if (TimedOut(start)) {
      platform::ShowMessageBox(file_name_, "CLOGMEM::Time out !!!");
      return false;
    }
    platform::SleepMs(kPollMs);
  }
  return true;
}

bool CLOGMEM::CloseLocked() {
  if (!state_) return true;
  bool complete = StopWriter();
  // An abandoned writer may still be inside a write to the file: leave the
  // file and the slots to it.
  if (complete) complete = FlushAfterStop();
  state_.reset();
  capacity_ = 0;
  fill_index_ = 0;
  return complete;
}

bool CLOGMEM::StopWriter() {
  state_->stop.Set();
  const bool finished = state_->finished.Wait(kTimeoutMs);
  if (finished) {
    writer_.join();
  } else {
    writer_.detach();
  }
  return finished;
}

bool CLOGMEM::FlushAfterStop() {
  State& state = *state_;
  Slot& fill = state.slots[fill_index_];
  if (!fill.ready.load(std::memory_order_acquire) &&
      fill.length.load(std::memory_order_acquire) > 0) {
    state.swapped.fetch_add(1, std::memory_order_release);
    fill.ready.store(true, std::memory_order_release);
  }
  // The writer is gone, so this thread writes the slots itself, oldest first,
  // instead of waiting for a writer that will never come.
  const uint32_t start = platform::TickCount();
  while (state.written.load(std::memory_order_acquire) !=
         state.swapped.load(std::memory_order_acquire)) {
    if (WriteReadySlot(state)) continue;
    if (TimedOut(start)) {
      platform::ShowMessageBox(file_name_, "CLOGMEM::Wait() Time out !!!");
      return false;
    }
    platform::SleepMs(kPollMs);
  }
  state.file.Close();
  return true;
}

bool CLOGMEM::Append(std::string_view text) {
  if (!Fits(text.size())) return false;
  Slot& fill = state_->slots[fill_index_];
  const size_t length = fill.length.load(std::memory_order_acquire);
  std::memcpy(fill.buffer.get() + length, text.data(), text.size());
  fill.length.store(length + text.size(), std::memory_order_release);
  return true;
}

bool CLOGMEM::Fits(size_t size) const {
  const Slot& fill = state_->slots[fill_index_];
  if (fill.ready.load(std::memory_order_acquire)) return false;
  return size <= capacity_ - fill.length.load(std::memory_order_acquire);
}

}  // namespace velmor
