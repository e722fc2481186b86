// The hostile peer, another machine on 127.0.0.2: junk on the command
// port, an upload that stalls before the handshake, and requests for files
// on the stream port, which must never be served to it.
#include "http_get.h"
#include "platform/clock.h"
#include "soak.h"
#include "thumbnails.h"
#include "wire.h"

namespace velmor::soak {
namespace {

constexpr uint32_t kConnectMs = 2000;
constexpr uint32_t kAnswerMs = 2000;

bool ConnectFromHostile(platform::Socket* socket, uint16_t port) {
  return socket->ConnectTcpFrom(platform::Ipv4Address{{127, 0, 0, 2}},
                                platform::Ipv4Address::Loopback(), port, kConnectMs);
}

std::string RandomBytes(std::mt19937_64* random, size_t count, bool printable) {
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(printable ? 32 + (*random)() % 95 : (*random)());
  return bytes;
}

std::string LittleEndian32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return bytes;
}

// Bytes that are not a packet, packets of nonsense chunks (a handshake that
// cannot pass among them), and packet lengths no receiver can hold.
std::string Junk(std::mt19937_64* random) {
  switch ((*random)() % 4) {
    case 0:
      return "JUNK" + RandomBytes(random, 1 + (*random)() % 4000, false);
    case 1: {
      static const char* const kCodes[] = {"STRG", "MSGE", "THUM", "MKTH", "DATA", "ZZZZ"};
      std::vector<player::Chunk> chunks;
      for (int i = 0, n = 1 + static_cast<int>((*random)() % 5); i < n; ++i) {
        chunks.push_back({kCodes[(*random)() % 6], RandomBytes(random, (*random)() % 300, false)});
      }
      chunks.push_back(player::MakeTextChunk("#CMD_SETUP(<protocol_ver>" +
                                             RandomBytes(random, 5, true) + ",<copyright>\"" +
                                             RandomBytes(random, 20, true) + "\")"));
      return player::EncodePacket(chunks);
    }
    case 2:
      return "PACK" + LittleEndian32(0x7FFFFFFF) + RandomBytes(random, 100, false);
    default:
      return "PACK" + LittleEndian32(static_cast<uint32_t>(-5)) + RandomBytes(random, 40, false);
  }
}

void SendJunk(Soak* soak, std::mt19937_64* random) {
  platform::Socket socket;
  if (!ConnectFromHostile(&socket, soak->command_port)) return;
  const std::string junk = Junk(random);
  platform::SocketError error = platform::kSocketOk;
  socket.Send(junk.data(), junk.size(), &error);
  char answer[4096];
  if (socket.WaitReadable(300)) socket.Receive(answer, sizeof answer, &error);
}

// Any 200 or 206 answer hands a file to a machine that is not the player's.
void HostileGet(Soak* soak, std::mt19937_64* random) {
  const std::vector<std::string> paths = {
      soak->media.big[(*random)() % soak->media.big.size()],
      soak->media.folder + "/" + soak->media.names[(*random)() % soak->media.names.size()],
      soak->home + "/data/VelmorVRServer.txt", "/etc/passwd"};
  player::HttpGetRequest request{paths[(*random)() % paths.size()], std::nullopt,
                                 static_cast<int>((*random)() % 6)};
  if ((*random)() % 2 == 0) request.range_start = static_cast<int64_t>((*random)() % 1000);
  platform::Socket socket;
  if (!ConnectFromHostile(&socket, soak->http_port)) return;
  const std::string text = player::BuildHttpGet(request, "127.0.0.1");
  platform::SocketError error = platform::kSocketOk;
  socket.Send(text.data(), text.size(), &error);
  std::string received;
  const uint32_t start = platform::TickCount();
  while (received.find("\r\n\r\n") == std::string::npos &&
         platform::TickDiff(platform::TickCount(), start) < static_cast<int32_t>(kAnswerMs)) {
    char buffer[4096];
    if (!socket.WaitReadable(100)) continue;
    const int64_t got = socket.Receive(buffer, sizeof buffer, &error);
    if (got == 0 || (got < 0 && error != platform::kSocketWouldBlock)) break;
    if (got > 0) received.append(buffer, static_cast<size_t>(got));
  }
  const size_t end = received.find("\r\n\r\n");
  if (end == std::string::npos) return;  // unanswered: refused as well
  const auto head = player::ParseHttpResponseHead(received.substr(0, end), nullptr);
  if (head && (head->status == 200 || head->status == 206)) {
    soak->Fail("hostile GET served", request.path);
  }
}

}  // namespace

void RunHostile(Soak* soak) {
  std::mt19937_64 random = soak->Random(30);
  while (!soak->drivers_stop) {
    platform::SleepMs(500 + static_cast<uint32_t>(random() % 2500));
    if (!soak->up) continue;
    if (random() % 3 == 0) {
      SendJunk(soak, &random);
    } else {
      HostileGet(soak, &random);
    }
  }
}

void HostileJunkBurst(Soak* soak, std::mt19937_64* random) {
  for (int i = 0; i < 3; ++i) SendJunk(soak, random);
}

// The header of a thumbnail upload cut off half-way, before any handshake:
// the server can do nothing with it but wait for the rest.
platform::Socket HostileStalledUpload(Soak* soak) {
  platform::Socket socket;
  const auto packets = player::MakeUploadPackets(1, "<make>3", std::string(100000, 'u'), nullptr);
  if (!packets || !ConnectFromHostile(&socket, soak->command_port)) return socket;
  const std::string bytes = player::EncodePacket(packets->front());
  platform::SocketError error = platform::kSocketOk;
  socket.Send(bytes.data(), bytes.size() / 2, &error);
  return socket;
}

}  // namespace velmor::soak
