// The session half of the command server: one player at a time is accepted,
// its packets are framed and every chunk is answered with a result line.
#include <new>

#include "base/utf.h"
#include "command/channel_commands.h"
#include "command/command_server.h"
#include "command/command_set.h"
#include "command/tag_list.h"
#include "command/thumbnail_commands.h"
#include "core/settings.h"
#include "platform/clock.h"

namespace velmor {
namespace {

constexpr uint32_t kConnectedPassMs = 20;
constexpr uint32_t kWaitingPassMs = 100;
constexpr uint32_t kSendTimeoutMs = 5000;
constexpr uint32_t kSendRetryMs = 100;
// A connection must be admitted soon after it came: a peer that says
// nothing, or nothing the server understands, must not hold the one player
// slot. A password typed on the headset gets a minute from the connection.
constexpr uint32_t kHandshakeDeadlineMs = 10000;
constexpr uint32_t kPasswordDeadlineMs = 60000;

constexpr char kReasonNormalEnd[] = "正常終了";
constexpr char kReasonForced[] = "強制切断";
constexpr char kReasonBadPacket[] = "不正なパケット";
constexpr char kReasonNotAdmitted[] = "認証されないまま時間切れ";
constexpr char kNotPackText[] = "GetHeader() : ForeCC'PACK'が一致しない";
constexpr char kRecvAllocText[] = "malloc( miRecvBuffSize )";
constexpr char kSendTimeoutText[] = "send_buff() : TimeOut";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

int CommandServer::SessionPassCallback(void* self) {
  return static_cast<CommandServer*>(self)->SessionPass();
}

int CommandServer::SessionPass() {
  bool connected = false;
  {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (listening_) SessionStep();
    ReportSaveFailure();
    connected = connected_;
  }
  WaitForWork(connected);
  return 1;
}

void CommandServer::WaitForWork(bool connected) {
  if (connected) {
    // A second packet that came with the first is served at once.
    bool ready = false;
    {
      std::lock_guard<std::recursive_mutex> lock(lock_);
      ready = HasBufferedPacket();
    }
    if (!ready) client_.WaitReadable(kConnectedPassMs);
    return;
  }
  // The listener is opened (under the lock) before the listening flag is
  // set, so only a listening server's socket is waited on here.
  if (listening_) {
    listener_.WaitReadable(kWaitingPassMs);
  } else {
    session_thread_.SleepUnlessStopped(kWaitingPassMs);
  }
}

bool CommandServer::HasBufferedPacket() const {
  PacketView packet;
  return recv_buffer_ && FramePacket(recv_buffer_.get(), recv_fill_, recv_capacity_, &packet) ==
                             FrameResult::kReady;
}

void CommandServer::SessionStep() {
  if (!connected_ && !AcceptPlayer()) return;
  if (!ReceivePacket()) return;
  ServePacket();
}

bool CommandServer::AcceptPlayer() {
  platform::Socket client;
  platform::Ipv4Address peer;
  if (listener_.Accept(&client, &peer) != platform::kSocketOk) return false;
  client.SetNonBlocking(true);
  // An answer often spans packets (a thumbnail's info, its image, the
  // result line); held back for the player's delayed acknowledgement, each
  // would wait some 40 ms.
  client.SetNoDelay(true);
  client_ = std::move(client);
  peer_ = peer;
  ResetSessionState();
  // The last session's admission is cleared (above) before the stream
  // server may see another address, and this one's is granted only later.
  PublishPlayerAddress(peer);
  connected_ = true;
  if (!send_) {
    send_ = PacketWriter::Create(send_capacity_);
    if (send_) send_->SetSink([this](std::span<const uint8_t> bytes) { return SendPacket(bytes); });
  }
  status_.Post(kStatusConnected, kTextConnected, peer_.ToString());
  if (DataTable* table = library_->data_table()) table->RefreshDate();  // new ids take today's date
  last_activity_ms_ = clock_();
  accepted_ms_ = last_activity_ms_;
  admission_deadline_ms_ = kHandshakeDeadlineMs;
  return true;
}

// The receiving half of framing: new bytes, the liveness check, then one
// whole packet at the front of the buffer or none.
bool CommandServer::ReceivePacket() {
  if (!recv_buffer_) {
    recv_buffer_.reset(new (std::nothrow) uint8_t[recv_capacity_]);
    if (!recv_buffer_) {
      status_.Post(kStatusFatal, kTextFatalError, kRecvAllocText);
      return false;
    }
  }
  platform::SocketError error = platform::kSocketOk;
  const int64_t received =
      recv_fill_ < recv_capacity_
          ? client_.Receive(recv_buffer_.get() + recv_fill_, recv_capacity_ - recv_fill_, &error)
          : -1;
  if (received == 0) {
    EndSession(kReasonNormalEnd);
    return false;
  }
  if (received > 0) {
    recv_fill_ += static_cast<size_t>(received);
  } else if (error != platform::kSocketWouldBlock && recv_fill_ < recv_capacity_) {
    EndSession("socket error:" + std::to_string(error));
    return false;
  } else if (forced_disconnect_) {
    EndSession(kReasonForced);
    return false;
  }
  if (!authenticated_ &&
      platform::TickDiff(clock_(), accepted_ms_) >= static_cast<int32_t>(admission_deadline_ms_)) {
    EndSession(kReasonNotAdmitted);
    return false;
  }
  if (received < 0 && !suspended_) {
    const int32_t silent_ms = platform::TickDiff(clock_(), last_activity_ms_);
    if (silent_ms >= static_cast<int32_t>(live_timeout_ms_.load())) {
      EndSession("無通信:" + std::to_string(silent_ms / 1000) + "秒");
      return false;
    }
  }

  switch (FramePacket(recv_buffer_.get(), recv_fill_, recv_capacity_, &packet_)) {
    case FrameResult::kIncomplete:
      return false;
    case FrameResult::kReady:
      // Before admission only what the handshake understood counts.
      if (authenticated_) last_activity_ms_ = clock_();
      cursor_ = ChunkCursor(packet_);
      return true;
    case FrameResult::kNotPack:
      // The stream can never be read again from here: say why and free the
      // port for the next player instead of waiting for the time-out. The
      // disconnection replaces the fatal event in the slot before the user
      // interface takes it, so its reason carries the fatal text too.
      status_.Post(kStatusFatal, kTextFatalError, kNotPackText);
      EndSession(std::string(kReasonBadPacket) + ": " + kNotPackText);
      return false;
    case FrameResult::kTooLong:
    case FrameResult::kBadLength:
      EndSession(kReasonBadPacket);
      return false;
  }
  return false;
}

void CommandServer::ServePacket() {
  Chunk chunk;
  while (connected_ && cursor_.Next(&chunk)) {
    const int result = DispatchChunk(chunk);
    if (!connected_) return;  // the session ended while the handler waited
    QueueResultLine(result);
    if (send_) send_->Flush();
  }
  if (!connected_) return;  // a handler ended the session
  if (cursor_.error() != ChunkError::kNone) {
    // A chunk that runs past its packet is refused; the rest of the packet
    // cannot be trusted.
    QueueResultLine(0);
    if (send_) send_->Flush();
  }
  DropPacket();
}

void CommandServer::DropPacket() {
  recv_fill_ = ConsumePacket(recv_buffer_.get(), recv_fill_, packet_.total_size);
  packet_ = PacketView();
  cursor_ = ChunkCursor();
}

int CommandServer::DispatchChunk(const Chunk& chunk) {
  if (chunk.code == kCodeStrg) return HandleText(ChunkText(chunk));
  if (!authenticated_) return 0;
  if (chunk.code == kCodeMsge) return HandleCommand(chunk);
  CommandContext context = HandlerContext();
  if (chunk.code == kCodeThum) return HandleThumbnailFetch(context, chunk);
  if (chunk.code == kCodeMkth) return HandleThumbnailUpload(context, chunk);
  return 0;
}

int CommandServer::HandleCommand(const Chunk& chunk) {
  BinaryCommand command;
  if (!ParseBinaryCommand(chunk.payload, chunk.size, &command)) return 0;
  CommandReply reply;
  CommandContext context = HandlerContext();
  const int result = RunCommand(context, command, &reply);
  for (int k = 0; k < reply.count && send_; ++k) {
    send_->AppendResultSlot(k, reply.slots[k].value, reply.slots[k].text);
  }
  return result;
}

int CommandServer::HandleText(const std::string& text) {
  int result = 0;
  if (StartsWith(text, "#CMD_SETUP")) {
    result = ApplyHandshake(HandleSetup(text, settings_->Copy(), TagListPath(), &handshake_));
  }
  if (StartsWith(text, "#CMD_PASSWORD")) {
    result = ApplyHandshake(HandlePassword(text, settings_->Copy(), clock_(), &handshake_));
  }
  if (!authenticated_) return result;
  CommandContext context = HandlerContext();
  if (StartsWith(text, "#CMD_GET_CHANNEL")) return CommandGetChannel(context, text);
  if (StartsWith(text, "#CMD_SAVE_CHANNEL")) return CommandSaveChannel(context, text);
  return result;
}

int CommandServer::ApplyHandshake(const HandshakeOutcome& outcome) {
  authenticated_ = handshake_.authenticated;
  if (authenticated_ && admitted_session_.load() == 0) {
    if (++sessions_admitted_ == 0) ++sessions_admitted_;
    admitted_session_ = sessions_admitted_;
  }
  if (!outcome.ok) {
    status_.Post(outcome.status_code, kTextError, outcome.status_text);
    return 0;
  }
  for (const std::string& reply : outcome.replies) {
    if (send_) send_->AppendText(reply);
  }
  last_activity_ms_ = clock_();
  // A setup that asks for the password leaves the person time to type it.
  if (!authenticated_) admission_deadline_ms_ = kPasswordDeadlineMs;
  return 1;
}

void CommandServer::QueueText(const std::string& text) {
  if (send_) send_->AppendText(text);
}

bool CommandServer::TakeFollowingChunk(Chunk* chunk) {
  for (;;) {
    if (cursor_.Next(chunk)) return true;
    if (cursor_.error() != ChunkError::kNone) return false;
    DropPacket();
    for (;;) {
      if (!connected_ || session_thread_.stop_event().IsSet()) return false;
      if (ReceivePacket()) break;
      if (!connected_) return false;
      client_.WaitReadable(kConnectedPassMs);
    }
  }
}

void CommandServer::QueueResultLine(int result) {
  if (!send_) return;
  if (result == 1) {
    send_->AppendText("#RET_OK()");
    return;
  }
  send_->AppendText("#RET_ERR(<code>" + std::to_string(status_.pending().code) + ",<message>\"" +
                    status_.pending().second_text + "\")");
}

bool CommandServer::SendPacket(std::span<const uint8_t> packet) {
  if (!client_.IsOpen()) return false;
  switch (SendAll(packet.data(), packet.size(), kSendTimeoutMs)) {
    case SendResult::kSent:
      break;
    case SendResult::kTimedOut:
      status_.Post(kStatusSendTimeout, kTextError, kSendTimeoutText);
      return false;
    case SendResult::kFailed:
      return false;  // the next receive ends the session with the error
  }
  last_activity_ms_ = clock_();
  return true;
}

CommandServer::SendResult CommandServer::SendAll(const uint8_t* data, size_t size,
                                                 uint32_t timeout_ms) {
  const uint32_t start = platform::TickCount();
  size_t sent = 0;
  while (sent < size) {
    platform::SocketError error = platform::kSocketOk;
    const int64_t n = client_.Send(data + sent, size - sent, &error);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (error != platform::kSocketWouldBlock) return SendResult::kFailed;
    if (platform::TickDiff(platform::TickCount(), start) > static_cast<int32_t>(timeout_ms)) {
      return SendResult::kTimedOut;
    }
    client_.WaitWritable(kSendRetryMs);
  }
  return SendResult::kSent;
}

}  // namespace velmor
