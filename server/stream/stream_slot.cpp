#include "stream/stream_slot.h"

#include <algorithm>
#include <utility>

namespace velmor {
namespace {

constexpr int64_t kReadAlignment = static_cast<int64_t>(platform::File::kUnbufferedAlignment);
// The reader's waits: short while a file is active (the sender frees blocks
// and wakes it), long while idle.
constexpr uint32_t kActiveWaitMs = 1;
constexpr uint32_t kIdleWaitMs = 100;

int64_t BlockBytes(int block_mib) {
  const int mib = block_mib & 0xFFFF;
  return (mib == 0 ? 1 : mib) * StreamSlot::kMiB;
}

int ClampBlockCount(int block_count) {
  return std::clamp(block_count, 1, StreamSlot::kMaxBlockCount);
}

// With protected blocks the ring keeps sent data for backward seeks. With 2
// blocks or fewer nothing is protected; and at least one block must stay
// reusable, or a full ring would never be refilled.
int64_t ProtectedBytes(int block_count, int protected_count, int64_t block_bytes) {
  if (block_count <= 2 || protected_count <= 0) return 0;
  return std::min(protected_count, block_count - 1) * block_bytes;
}

}  // namespace

StreamSlot::StreamSlot(int number, int block_mib, int block_count, int protected_count,
                       Reader reader)
    : number_(number),
      block_count_(ClampBlockCount(block_count)),
      block_bytes_(BlockBytes(block_mib)),
      protected_bytes_(ProtectedBytes(block_count_, protected_count, block_bytes_)),
      blocks_(std::make_unique<CacheBlock[]>(static_cast<size_t>(block_count_))) {
  for (int i = 0; i < block_count_; ++i) {
    blocks_[i].number = i;
    blocks_[i].previous = (i - 1 + block_count_) % block_count_;
    blocks_[i].next = (i + 1) % block_count_;
  }
  if (reader == Reader::kThread && !reader_.Start(nullptr, &ReaderPass, nullptr, this)) {
    // Without a reader no stream could ever get a byte: refuse every file.
    stopping_ = true;
  }
}

StreamSlot::~StreamSlot() {
  stopping_ = true;
  wake_.Set();
  reader_.Stop();
  std::lock_guard<std::mutex> lock(lock_);
  CloseFileLocked();
}

int StreamSlot::ReaderPass(void* self) {
  auto* slot = static_cast<StreamSlot*>(self);
  if (slot->stopping_) return 0;
  // Reset before looking for work, so a wake-up that comes meanwhile is kept.
  slot->wake_.Reset();
  const bool active = slot->active_;
  if (active && slot->ReadStep()) return 1;
  slot->wake_.Wait(active ? kActiveWaitMs : kIdleWaitMs);
  return 1;
}

bool StreamSlot::OpenFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(lock_);
  if (stopping_) return false;
  if (path != path_) {
    CloseFileLocked();
    path_ = path;
  }
  if (!file_.IsOpen()) {
    bool opened;
    {
      std::lock_guard<std::mutex> io(io_lock_);
      opened = file_.Open(path, platform::File::Mode::kReadUnbuffered);
    }
    if (!opened || !PrepareBuffers()) {
      CloseFileLocked();
      return false;
    }
    file_size_ = file_.Size();
    ResetCache();
  }
  active_ = true;
  release_ = false;
  wake_.Set();
  return true;
}

// The ring's memory is allocated with the first file and kept for later
// ones: one piece, so that huge pages can back it.
bool StreamSlot::PrepareBuffers() {
  const auto wanted = static_cast<size_t>(block_bytes_) * static_cast<size_t>(block_count_);
  if (ring_memory_.size() >= wanted) return true;
  if (!ring_memory_.Allocate(wanted)) return false;
  for (int i = 0; i < block_count_; ++i) {
    blocks_[i].buffer =
        ring_memory_.data() + static_cast<size_t>(i) * static_cast<size_t>(block_bytes_);
  }
  return true;
}

void StreamSlot::ResetCache() {
  for (int i = 0; i < block_count_; ++i) blocks_[i].MarkEmpty();
  send_position_ = 0;
  read_position_ = 0;
  skip_ = 0;
  data_end_ = -1;
  current_send_block_ = 0;
  fill_block_ = 0;
  ++generation_;
}

void StreamSlot::CloseFile() {
  std::lock_guard<std::mutex> lock(lock_);
  CloseFileLocked();
}

void StreamSlot::CloseFileLocked() {
  active_ = false;
  release_ = false;
  ++generation_;
  {
    std::lock_guard<std::mutex> io(io_lock_);
    file_.Close();
  }
  // Nothing of a closed file may be sent any more.
  for (int i = 0; i < block_count_; ++i) blocks_[i].ready = false;
}

bool StreamSlot::ReleaseIfRequested() {
  std::lock_guard<std::mutex> lock(lock_);
  if (!release_) return false;
  CloseFileLocked();
  return true;
}

bool StreamSlot::file_open() const {
  std::lock_guard<std::mutex> lock(lock_);
  return file_.IsOpen();
}

bool StreamSlot::unbuffered() const {
  std::lock_guard<std::mutex> io(io_lock_);
  return file_.unbuffered();
}

bool StreamSlot::ReadStep() {
  ReadPlan plan;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (!PlanRead(&plan)) return false;
  }
  int64_t got;
  {
    std::lock_guard<std::mutex> io(io_lock_);
    got =
        file_.ReadAt(blocks_[plan.block].buffer, static_cast<size_t>(block_bytes_), plan.position);
  }
  ++read_count_;
  std::lock_guard<std::mutex> lock(lock_);
  // A seek or another file came while reading: the bytes are not wanted.
  if (plan.generation != generation_) return true;
  return CommitRead(plan, got);
}

bool StreamSlot::PlanRead(ReadPlan* plan) {
  if (!file_.IsOpen() || read_position_ >= file_size_ || data_end_ >= 0) return false;
  CacheBlock& block = blocks_[fill_block_];
  // Not yet sent, or inside the protected window behind the send position.
  if (block.ready && block.end > send_position_ - protected_bytes_) return false;
  // The buffer is about to change: nothing in it may be found or sent.
  block.MarkEmpty();
  *plan = {fill_block_, read_position_, generation_};
  return true;
}

bool StreamSlot::CommitRead(const ReadPlan& plan, int64_t got) {
  CacheBlock& block = blocks_[plan.block];
  // A file that grew is still sent only up to the size its header promised.
  got = std::min(got, file_size_ - plan.position);
  const int64_t skip = std::exchange(skip_, 0);
  if (got <= skip) {
    // The file is shorter than its size at open (or cannot be read): the
    // sender ends the body where the data ends instead of waiting forever.
    data_end_ = plan.position + std::max<int64_t>(got, 0);
    return false;
  }
  block.start = plan.position;
  block.end = plan.position + got;
  block.sent_offset = skip;
  block.bytes_left = got - skip;
  block.ready = true;
  read_position_ = plan.position + got;
  fill_block_ = block.next;
  return true;
}

void StreamSlot::Seek(int64_t position) {
  std::lock_guard<std::mutex> lock(lock_);
  if (!file_.IsOpen()) return;
  position = std::max<int64_t>(position, 0);
  int hit = -1;
  for (int i = 0; i < block_count_; ++i) {
    CacheBlock& block = blocks_[i];
    block.MarkAllSent();
    if (block.Holds(position)) hit = i;
  }
  data_end_ = -1;
  const int old_fill_block = fill_block_;
  const int64_t old_read_position = read_position_;
  if (hit >= 0) {
    SeekToHeldBlock(hit, position);
  } else {
    SeekToUnheldPosition(position);
  }
  // A read in flight into the same block at the same place is still wanted
  // (the skip is applied when it is kept), as after a seek to 0 at open.
  if (fill_block_ != old_fill_block || read_position_ != old_read_position) ++generation_;
  wake_.Set();
}

void StreamSlot::SeekToHeldBlock(int hit, int64_t position) {
  CacheBlock& held = blocks_[hit];
  send_position_ = position;
  held.sent_offset = position - held.start;
  held.bytes_left = held.end - position;
  held.ready = true;
  current_send_block_ = hit;

  // Backward: the contiguous blocks before it stay as the protected window.
  const CacheBlock* walked = &held;
  for (int steps = 1; steps < block_count_; ++steps) {
    CacheBlock& previous = blocks_[walked->previous];
    if (previous.end != walked->start || previous.end < 0 ||
        walked->end < position - protected_bytes_) {
      break;
    }
    previous.ready = true;
    walked = &previous;
  }

  // Forward: the contiguous blocks after it are sent without reading again.
  CacheBlock* last = &held;
  for (int steps = 1; steps < block_count_; ++steps) {
    CacheBlock& next = blocks_[last->next];
    if (next.start != last->end || next.start < 0) break;
    next.sent_offset = 0;
    next.bytes_left = next.end - next.start;
    next.ready = true;
    last = &next;
  }

  fill_block_ = last->next;
  read_position_ = last->end;
  skip_ = 0;
}

void StreamSlot::SeekToUnheldPosition(int64_t position) {
  send_position_ = position;
  const int64_t size = file_size_;
  if (position >= size) {
    // Nothing to send: the reader stays idle until the next seek.
    read_position_ = std::max<int64_t>(size, 0);
    skip_ = 0;
  } else {
    read_position_ = position / kReadAlignment * kReadAlignment;
    skip_ = position - read_position_;
  }
  current_send_block_ = fill_block_;
}

std::span<const uint8_t> StreamSlot::SendableBytes() const {
  const CacheBlock& block = blocks_[current_send_block_];
  if (!block.ready.load(std::memory_order_acquire)) return {};
  const int64_t left = block.bytes_left.load(std::memory_order_acquire);
  if (left <= 0) return {};
  const int64_t offset = block.sent_offset.load(std::memory_order_relaxed);
  return {block.buffer + offset, static_cast<size_t>(left)};
}

void StreamSlot::MarkSent(size_t count) {
  CacheBlock& block = blocks_[current_send_block_];
  const auto sent = static_cast<int64_t>(count);
  block.sent_offset += sent;
  // Taken from the subtraction itself: once the send position moves on, the
  // reader may refill this block at any moment.
  const int64_t left = block.bytes_left.fetch_sub(sent) - sent;
  if (left <= 0) current_send_block_ = block.next;
  send_position_ += sent;
  if (left <= 0) wake_.Set();
}

bool StreamSlot::DataEnded() const {
  const int64_t end = data_end_;
  return end >= 0 && send_position_ >= end && send_position_ < file_size_;
}

StreamSlot::BlockState StreamSlot::block(int index) const {
  std::lock_guard<std::mutex> lock(lock_);
  const CacheBlock& block = blocks_[index];
  return {block.start, block.end, block.bytes_left, block.sent_offset, block.ready};
}

int StreamSlot::fill_block() const {
  std::lock_guard<std::mutex> lock(lock_);
  return fill_block_;
}

int64_t StreamSlot::read_position() const {
  std::lock_guard<std::mutex> lock(lock_);
  return read_position_;
}

int64_t StreamSlot::skip_bytes() const {
  std::lock_guard<std::mutex> lock(lock_);
  return skip_;
}

}  // namespace velmor
