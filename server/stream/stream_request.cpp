// The stream server's requests and answers: receiving header blocks,
// giving a new connection its slot, checking and answering a GET, and
// sending the header and the body.
#include "stream/http_response.h"
#include "stream/percent_decode.h"
#include "stream/stream_server.h"

namespace velmor {
namespace {

bool IsHardError(int64_t result, platform::SocketError error) {
  return result == 0 || (result < 0 && error != platform::kSocketWouldBlock);
}

}  // namespace

StreamServer::ReceiveResult StreamServer::ReceiveInto(StreamConnection* connection) {
  RequestBuffer& requests = connection->requests;
  if (requests.free_size() == 0) return ReceiveResult::kNothing;
  platform::SocketError error = platform::kSocketOk;
  const int64_t got =
      connection->socket.Receive(requests.free_space(), requests.free_size(), &error);
  if (IsHardError(got, error)) return ReceiveResult::kClosed;
  if (got < 0) return ReceiveResult::kNothing;
  requests.Commit(static_cast<size_t>(got));
  return ReceiveResult::kReceived;
}

// A header block longer than the buffer is no request of the player's; the
// answer is best effort, as the connection closes right after it.
void StreamServer::RefuseTooLong(StreamConnection* connection) {
  const std::string refusal = UriTooLongHeader();
  platform::SocketError error = platform::kSocketOk;
  connection->socket.Send(refusal.data(), refusal.size(), &error);
}

// True when the connection left the pending list (moved into its slot, or
// refused for a header block too long).
bool StreamServer::TakePendingRequests(size_t index) {
  StreamConnection& connection = *pending_[index];
  std::string block;
  for (;;) {
    // The next request waits until the last refusal is out, so a peer that
    // never reads holds no more than its request buffer.
    if (connection.HasHeaderToSend()) return false;
    switch (connection.requests.TakeRequest(&block)) {
      case RequestBuffer::Next::kNeedMore:
        return false;
      case RequestBuffer::Next::kTooLong:
        RefuseTooLong(&connection);
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
        return true;
      case RequestBuffer::Next::kRequest:
        break;
    }
    const std::optional<HttpRequest> request = ParseHttpRequest(block);
    if (!request) continue;  // not a GET: dropped, as a request naming no slot
    const RequestTarget target = SplitRequestTarget(request->target);
    if (target.stream < 0 || target.stream >= static_cast<int>(slots_.size())) continue;
    // Checked before the move: a refused request must not cut the stream
    // that runs on the slot it names. The connection stays open, pending.
    std::optional<std::string> path = AdmittedPath(connection.peer, target.path);
    if (!path) {
      connection.QueueHeader(NotFoundHeader());
      continue;
    }
    MoveIntoSlot(index, target.stream);
    Answer(target.stream, path, request->range);
    return true;
  }
}

// The slot's previous connection is replaced: the player has moved on.
void StreamServer::MoveIntoSlot(size_t pending_index, int number) {
  auto& slot_connection = connections_[static_cast<size_t>(number)];
  slot_connection->Close();
  slot_connection = std::move(pending_[pending_index]);
  pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(pending_index));
}

// False when the connection was refused and closed.
bool StreamServer::TakeSlotRequests(int number) {
  StreamConnection& connection = *connections_[static_cast<size_t>(number)];
  std::string block;
  for (;;) {
    switch (connection.requests.TakeRequest(&block)) {
      case RequestBuffer::Next::kNeedMore:
        return true;
      case RequestBuffer::Next::kTooLong:
        RefuseTooLong(&connection);
        EndConnection(number);
        return false;
      case RequestBuffer::Next::kRequest:
        break;
    }
    const std::optional<HttpRequest> request = ParseHttpRequest(block);
    if (!request) continue;
    // The connection stays on its slot; a repeated "?stream=N" (as any
    // keep-alive client sends it) is no part of the file name.
    const std::string_view encoded_path = SplitRequestTarget(request->target).path;
    Answer(number, AdmittedPath(connection.peer, encoded_path), request->range);
  }
}

// `path` is the admitted file, or nothing for a refused request.
void StreamServer::Answer(int number, const std::optional<std::string>& path,
                          const std::optional<ByteRange>& range) {
  StreamConnection& connection = *connections_[static_cast<size_t>(number)];
  StreamSlot& slot = *slots_[static_cast<size_t>(number)];
  // A new answer ends the body in flight, whatever it is.
  connection.sending_body = false;
  if (!path || !slot.OpenFile(*path) || slot.file_size() < 0) {
    connection.QueueHeader(NotFoundHeader());
    return;
  }
  const int64_t size = slot.file_size();
  const int64_t start = range ? range->StartFor(size) : 0;
  if (start > 0 && start >= size) {
    slot.Seek(size);
    connection.QueueHeader(RangeNotSatisfiableHeader(size));
    return;
  }
  slot.Seek(start);
  connection.QueueHeader(start == 0 ? OkHeader(size) : PartialHeader(start, size));
  connection.sending_body = true;
}

// Only the authenticated player's machine gets media files: the decoded
// path when it does, nothing when the request is refused.
std::optional<std::string> StreamServer::AdmittedPath(const platform::Ipv4Address& peer,
                                                      std::string_view encoded_path) const {
  if (admission_ == nullptr || !admission_->AdmitsPeer(peer)) return std::nullopt;
  std::optional<std::string> path = DecodeRequestPath(encoded_path);
  if (!path || !admission_->IsMediaPath(*path)) return std::nullopt;
  return path;
}

bool StreamServer::PlayerAdmitted() const {
  return admission_ != nullptr && admission_->PlayerAdmitted();
}

// False when the connection failed.
bool StreamServer::SendHeader(StreamConnection* connection, bool* progress) {
  if (!connection->HasHeaderToSend()) return true;
  platform::SocketError error = platform::kSocketOk;
  const size_t left = connection->header.size() - connection->header_sent;
  const int64_t sent =
      connection->socket.Send(connection->header.data() + connection->header_sent, left, &error);
  if (IsHardError(sent, error)) return false;
  if (sent < 0) return true;
  connection->header_sent += static_cast<size_t>(sent);
  *progress = true;
  return true;
}

// Sends straight from the current block; false when the connection failed
// or the file's data ended before its size.
bool StreamServer::SendBody(int number, bool* progress) {
  StreamConnection& connection = *connections_[static_cast<size_t>(number)];
  StreamSlot& slot = *slots_[static_cast<size_t>(number)];
  if (!connection.sending_body) return true;
  const std::span<const uint8_t> bytes = slot.SendableBytes();
  if (bytes.empty()) return !slot.DataEnded();
  platform::SocketError error = platform::kSocketOk;
  const int64_t sent = connection.socket.Send(bytes.data(), bytes.size(), &error);
  if (IsHardError(sent, error)) return false;
  if (sent < 0) return true;
  slot.MarkSent(static_cast<size_t>(sent));
  *progress = true;
  return true;
}

}  // namespace velmor
