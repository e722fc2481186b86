#include "stream/stream_server.h"

#include <algorithm>

namespace velmor {
namespace {

// Waits between passes with nothing to do: short while a connection waits
// for its reader to fill the next block, else long. A socket that becomes
// ready (a request, a closed connection, room to send) ends either at once.
constexpr uint32_t kReaderWaitMs = 1;
constexpr uint32_t kIdleWaitMs = 100;

// The small cache of slots beyond the full-cache count.
constexpr int kSmallBlockMib = 1;
constexpr int kSmallBlockCount = 2;

}  // namespace

StreamServer::StreamServer() {
  networking_ = platform::StartNetworking();
  thread_.Start(nullptr, &Pass, nullptr, this);
}

StreamServer::~StreamServer() {
  thread_.Stop();
  StopListener();
  if (networking_) platform::StopNetworking();
}

bool StreamServer::StartListener(const ListenSettings& settings) {
  std::lock_guard<std::mutex> lock(lock_);
  StopListenerLocked();
  admission_ = settings.admission;
  const int count = std::clamp(settings.accept_num, 0, kMaxSlots);
  slot_count_ = count;
  // Without its thread nobody would ever be answered: better no listener.
  if (!thread_.IsRunning() || !listener_.ListenTcp(settings.port, std::max(count, 1))) {
    StopListenerLocked();
    return false;
  }
  const int full_count = std::clamp(settings.accept_full_num, 0, count);
  for (int number = 0; number < count; ++number) {
    if (number < full_count) {
      slots_.push_back(std::make_unique<StreamSlot>(number, settings.cache_block_mb,
                                                    settings.cache_block_count,
                                                    settings.cache_protect_count));
    } else {
      slots_.push_back(std::make_unique<StreamSlot>(number, kSmallBlockMib, kSmallBlockCount, 0));
    }
    connections_.push_back(std::make_unique<StreamConnection>());
  }
  running_ = true;
  port_ = listener_.LocalPort();
  listening_ = true;
  return true;
}

void StreamServer::StopListener() {
  std::lock_guard<std::mutex> lock(lock_);
  StopListenerLocked();
}

// The slot count stays as the settings gave it, as the player was told.
void StreamServer::StopListenerLocked() {
  running_ = false;
  listening_ = false;
  port_ = 0;
  pending_.clear();
  connections_.clear();
  listener_.Close();
  slots_.clear();
  admission_ = nullptr;
}

const StreamSlot* StreamServer::slot(int number) const {
  std::lock_guard<std::mutex> lock(lock_);
  if (number < 0 || number >= static_cast<int>(slots_.size())) return nullptr;
  return slots_[static_cast<size_t>(number)].get();
}

int StreamServer::Pass(void* self) {
  static_cast<StreamServer*>(self)->RunPass();
  return 1;
}

void StreamServer::RunPass() {
  platform::SocketWaitSet waits;
  bool progress = false;
  bool waiting_for_reader = false;
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (!running_) {
      progress = false;
    } else {
      EndStreamsOfEndedSession();
      PropagateRelease();
      progress = AcceptStep();
      progress = PendingStep() || progress;
      for (int number = 0; number < static_cast<int>(slots_.size()); ++number) {
        progress = SlotStep(number) || progress;
      }
      if (!progress) waiting_for_reader = CollectWaits(&waits);
    }
  }
  // Bytes moved: the next pass may move more at once.
  if (progress) return;
  const uint32_t wait_ms = waiting_for_reader ? kReaderWaitMs : kIdleWaitMs;
  if (waits.empty()) {
    thread_.SleepUnlessStopped(wait_ms);
    return;
  }
  waits.Wait(wait_ms);
}

// When the player's session ends (or another begins) no body goes on
// flowing to it: a connection in the middle of one is closed, and every
// slot lets its file go once its connection ends. A connection between
// requests stays; its next request is refused.
void StreamServer::EndStreamsOfEndedSession() {
  const uint32_t session = admission_ != nullptr ? admission_->AdmittedSession() : 0;
  if (session == served_session_) return;
  const bool ended = served_session_ != 0;
  served_session_ = session;
  if (!ended) return;
  for (const auto& slot : slots_) slot->RequestRelease();
  for (int number = 0; number < static_cast<int>(connections_.size()); ++number) {
    const StreamConnection& connection = *connections_[static_cast<size_t>(number)];
    const StreamSlot& slot = *slots_[static_cast<size_t>(number)];
    const bool in_flight = connection.HasHeaderToSend() ||
                           (connection.sending_body && slot.send_position() < slot.file_size());
    if (connection.IsOpen() && in_flight) EndConnection(number);
  }
}

void StreamServer::PropagateRelease() {
  if (!release_all_.exchange(false)) return;
  for (const auto& slot : slots_) slot->RequestRelease();
}

// True when a connection waits for its slot's reader, which no socket
// event announces.
bool StreamServer::CollectWaits(platform::SocketWaitSet* waits) const {
  // Connections wait in the backlog until the player is authenticated.
  if (PlayerAdmitted()) waits->Add(listener_, true, false);
  // A pending connection whose refusal is not out reads no further requests
  // once its buffer is full, so only room to send can wake it then.
  for (const auto& connection : pending_) {
    waits->Add(connection->socket, connection->requests.free_size() > 0,
               connection->HasHeaderToSend());
  }
  bool waiting_for_reader = false;
  for (size_t number = 0; number < connections_.size(); ++number) {
    const StreamConnection& connection = *connections_[number];
    if (!connection.IsOpen()) continue;
    const StreamSlot& slot = *slots_[number];
    const bool has_body = connection.sending_body && !slot.SendableBytes().empty();
    waits->Add(connection.socket, true, connection.HasHeaderToSend() || has_body);
    waiting_for_reader = waiting_for_reader || (connection.sending_body && !has_body &&
                                                slot.send_position() < slot.file_size());
  }
  return waiting_for_reader;
}

bool StreamServer::AcceptStep() {
  if (!PlayerAdmitted()) return false;
  auto connection = std::make_unique<StreamConnection>();
  if (listener_.Accept(&connection->socket, &connection->peer) != platform::kSocketOk) {
    return false;
  }
  connection->socket.SetNonBlocking(true);
  // A header and a small body go out at once: without it a seek on a
  // kept-alive connection waits for the player's delayed acknowledgement.
  connection->socket.SetNoDelay(true);
  if (pending_.size() >= kMaxPending) pending_.erase(pending_.begin());
  pending_.push_back(std::move(connection));
  return true;
}

bool StreamServer::PendingStep() {
  bool progress = false;
  for (size_t index = 0; index < pending_.size();) {
    StreamConnection& connection = *pending_[index];
    const ReceiveResult received = ReceiveInto(&connection);
    if (received == ReceiveResult::kClosed) {
      pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
      progress = true;
      continue;
    }
    progress = progress || received == ReceiveResult::kReceived;
    if (TakePendingRequests(index)) {
      progress = true;
      continue;
    }
    // A refusal (404) goes out on the pending connection itself.
    if (!SendHeader(&connection, &progress)) {
      pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
      progress = true;
      continue;
    }
    ++index;
  }
  return progress;
}

bool StreamServer::SlotStep(int number) {
  StreamConnection& connection = *connections_[static_cast<size_t>(number)];
  if (!connection.IsOpen()) {
    slots_[static_cast<size_t>(number)]->ReleaseIfRequested();
    return false;
  }
  const ReceiveResult received = ReceiveInto(&connection);
  if (received == ReceiveResult::kClosed) {
    EndConnection(number);
    return true;
  }
  bool progress = received == ReceiveResult::kReceived;
  if (!TakeSlotRequests(number)) return true;  // refused and closed
  if (!SendHeader(&connection, &progress)) {
    EndConnection(number);
    return true;
  }
  if (connection.HasHeaderToSend()) return progress;
  if (!SendBody(number, &progress)) {
    EndConnection(number);
    return true;
  }
  return progress;
}

void StreamServer::EndConnection(int number) {
  connections_[static_cast<size_t>(number)]->Close();
  // Without the release flag the file stays open and the reader keeps
  // filling the ring, so a new connection continues from the cache.
  slots_[static_cast<size_t>(number)]->ReleaseIfRequested();
}

}  // namespace velmor
