// One HTTP stream of the player: transfers from random positions of the big
// files on its own slot, a new connection for each seek, every received
// byte compared with the file on disk.
#include <cstring>

#include "http_get.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "soak.h"

namespace velmor::soak {
namespace {

constexpr uint32_t kWaitMs = 10000;     // a stream that stops this long has stalled
constexpr int32_t kTransferMs = 60000;  // and one that takes this long is too slow
constexpr int64_t kMaxTransfer = 8 << 20;
// A player takes a few MB a second; a little more keeps the cache busy
// without starving the command session on a small machine.
constexpr int64_t kBytesPerMs = 4 * 1024;

struct Transfer {
  std::string path;
  int64_t start = 0;
  int64_t length = 0;  // bytes to receive before seeking away
};

class StreamDriver {
 public:
  StreamDriver(Soak* soak, int slot) : soak_(soak), slot_(slot), random_(soak->Random(10 + slot)) {}

  void Run() {
    while (!soak_->drivers_stop) {
      const int epoch = soak_->epoch;
      if (!soak_->up || soak_->admitted_epoch != epoch) {
        platform::SleepMs(50);
        continue;
      }
      const Transfer transfer = Pick();
      std::string problem;
      int64_t stall_ms = 0;
      const uint32_t started = platform::TickCount();
      const bool done = RunTransfer(transfer, &problem, &stall_ms);
      if (soak_->epoch != epoch || !soak_->up) continue;  // a kill cut it
      if (!done) {
        soak_->Fail("stream failed", problem);
        continue;
      }
      soak_->bytes_streamed += transfer.length;
      Soak::NoteMax(&soak_->max_stall_ms, stall_ms);
      const int64_t pace_ms =
          transfer.length / kBytesPerMs - platform::TickDiff(platform::TickCount(), started);
      platform::SleepMs(static_cast<uint32_t>(std::max<int64_t>(pace_ms, 0) + random_() % 300));
    }
  }

 private:
  Transfer Pick() {
    Transfer transfer;
    transfer.path = soak_->media.big[random_() % soak_->media.big.size()];
    platform::File file;
    const int64_t size = file.Open(transfer.path, platform::File::Mode::kRead) ? file.Size() : 1;
    if (random_() % 4 != 0) transfer.start = static_cast<int64_t>(random_() % size);
    const int64_t left = size - transfer.start;
    transfer.length = random_() % 5 == 0
                          ? left
                          : std::min(left, 1 + static_cast<int64_t>(random_() % kMaxTransfer));
    return transfer;
  }

  bool RunTransfer(const Transfer& transfer, std::string* problem, int64_t* stall_ms) {
    platform::File file;
    platform::Socket socket;
    if (!file.Open(transfer.path, platform::File::Mode::kRead) ||
        !socket.ConnectTcp(platform::Ipv4Address::Loopback(), soak_->http_port, kWaitMs)) {
      *problem = "cannot connect";
      return false;
    }
    const uint32_t started = platform::TickCount();
    player::HttpGetRequest request{transfer.path, std::nullopt, slot_};
    if (transfer.start > 0 || random_() % 2 == 0) request.range_start = transfer.start;
    const std::string text = player::BuildHttpGet(request, "127.0.0.1");
    platform::SocketError error = platform::kSocketOk;
    if (socket.Send(text.data(), text.size(), &error) != static_cast<int64_t>(text.size())) {
      *problem = "cannot send the request";
      return false;
    }
    std::string received;
    size_t head_end = std::string::npos;
    while (head_end == std::string::npos) {
      if (!Receive(&socket, &received, nullptr)) {
        *problem = "no answer head";
        return false;
      }
      head_end = received.find("\r\n\r\n");
    }
    const auto head = player::ParseHttpResponseHead(received.substr(0, head_end), problem);
    if (!head) return false;
    for (const std::string& mismatch : player::CheckHttpAnswer(*head, request))
      *problem += mismatch;
    if (head->status == 404) *problem = "refused with 404";
    if (!problem->empty()) {
      *problem = "slot " + std::to_string(slot_) + ": " + *problem;
      return false;
    }
    received.erase(0, head_end + 4);
    // The body, compared piece by piece as it arrives.
    int64_t checked = 0;
    std::string expected;
    for (;;) {
      const auto piece = static_cast<size_t>(
          std::min<int64_t>(static_cast<int64_t>(received.size()), transfer.length - checked));
      expected.resize(piece);
      if (piece > 0 && (file.ReadAt(expected.data(), piece, transfer.start + checked) !=
                            static_cast<int64_t>(piece) ||
                        std::memcmp(expected.data(), received.data(), piece) != 0)) {
        *problem = "bytes differ from the file in " + transfer.path + " within " +
                   std::to_string(piece) + " bytes from " +
                   std::to_string(transfer.start + checked);
        return false;
      }
      checked += static_cast<int64_t>(piece);
      received.clear();
      if (checked == transfer.length) return true;
      if (platform::TickDiff(platform::TickCount(), started) > kTransferMs ||
          !Receive(&socket, &received, stall_ms)) {
        *problem = "the body ended after " + std::to_string(checked) + " of " +
                   std::to_string(transfer.length) + " bytes";
        return false;
      }
    }
  }

  // More bytes; the longest wait for them goes into *stall_ms.
  static bool Receive(platform::Socket* socket, std::string* received, int64_t* stall_ms) {
    const uint32_t start = platform::TickCount();
    if (!socket->WaitReadable(kWaitMs)) return false;
    if (stall_ms != nullptr) {
      *stall_ms = std::max<int64_t>(*stall_ms, platform::TickDiff(platform::TickCount(), start));
    }
    char buffer[1 << 16];
    platform::SocketError error = platform::kSocketOk;
    const int64_t got = socket->Receive(buffer, sizeof buffer, &error);
    if (got > 0) received->append(buffer, static_cast<size_t>(got));
    return got > 0 || (got < 0 && error == platform::kSocketWouldBlock);
  }

  Soak* soak_;
  int slot_;
  std::mt19937_64 random_;
};

}  // namespace

void RunStream(Soak* soak, int slot) { StreamDriver(soak, slot).Run(); }

}  // namespace velmor::soak
