// bench_stream --command-port P --http-port H --file PATH [--nginx-url URL]
// Times the stream server against a running server (bench/stream starts it):
// single-stream throughput of curl downloading the file to /dev/null,
// against the unbuffered read rate of the same file (dd iflag=direct) and,
// when given, nginx serving it; three concurrent streams; and the time to
// the first body byte of a new connection and of a seek inside the cache
// (median of 100 each). Prints the figures and their ratios. curl's own
// receiving costs CPU on a small machine, so one download also runs on a
// plain socket that discards what it receives.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "http_get.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "platform/socket.h"
#include "player_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using velmor::platform::ChildProcess;
using velmor::platform::Ipv4Address;
using velmor::platform::Socket;

constexpr uint32_t kWaitMs = 600000;
constexpr int kSamples = 100;
constexpr double kMB = 1e6;

struct Options {
  uint16_t command_port = 0;
  uint16_t http_port = 0;
  std::string file;
  std::string nginx_url;
};

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string value = argv[i + 1];
    if (name == "--command-port") {
      options.command_port = static_cast<uint16_t>(std::stoi(value));
    } else if (name == "--http-port") {
      options.http_port = static_cast<uint16_t>(std::stoi(value));
    } else if (name == "--file") {
      options.file = value;
    } else if (name == "--nginx-url") {
      options.nginx_url = value;
    } else {
      return std::nullopt;
    }
  }
  if (options.command_port == 0 || options.http_port == 0 || options.file.empty()) {
    return std::nullopt;
  }
  return options;
}

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// Runs the programs side by side; the wall time until the last one ended,
// or a negative value when one failed.
double RunTogether(const std::vector<std::vector<std::string>>& commands) {
  std::vector<ChildProcess> children(commands.size());
  const Clock::time_point start = Clock::now();
  for (size_t i = 0; i < commands.size(); ++i) {
    if (!children[i].Start(commands[i])) return -1;
  }
  bool ok = true;
  for (ChildProcess& child : children) {
    std::string output;
    child.ReadAllOutput(&output, kWaitMs);
    int exit_code = -1;
    ok = child.Wait(kWaitMs, &exit_code) && exit_code == 0 && ok;
  }
  return ok ? Seconds(Clock::now() - start) : -1;
}

double Best(int runs, const std::vector<std::vector<std::string>>& commands) {
  double best = -1;
  for (int run = 0; run < runs; ++run) {
    const double seconds = RunTogether(commands);
    if (seconds < 0) return -1;
    best = best < 0 ? seconds : std::min(best, seconds);
  }
  return best;
}

std::vector<std::string> Curl(const std::string& url) {
  return {"curl", "-s", "-S", "-f", "-o", "/dev/null", url};
}

std::string StreamUrl(const Options& options, int stream) {
  return "http://127.0.0.1:" + std::to_string(options.http_port) + "/" +
         velmor::player::PercentEncodePath(options.file) + "?stream=" + std::to_string(stream);
}

std::string Request(const Options& options, int stream, int64_t start) {
  return "GET /" + velmor::player::PercentEncodePath(options.file) +
         "?stream=" + std::to_string(stream) +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=" + std::to_string(start) + "-\r\n\r\n";
}

// A connection that reads answers: the time to the first body byte, then
// the rest of the body.
class Connection {
 public:
  bool Open(uint16_t port) { return socket_.ConnectTcp(Ipv4Address::Loopback(), port, kWaitMs); }

  // Sends the request; the time until the first byte behind the header.
  std::optional<double> FirstByte(const std::string& request, int64_t* body_length) {
    const Clock::time_point start = Clock::now();
    velmor::platform::SocketError error;
    if (socket_.Send(request.data(), request.size(), &error) !=
        static_cast<int64_t>(request.size())) {
      return std::nullopt;
    }
    size_t head_end = std::string::npos;
    while (head_end == std::string::npos || received_.size() <= head_end + 4) {
      if (!ReceiveMore()) return std::nullopt;
      head_end = received_.find("\r\n\r\n");
    }
    const double seconds = Seconds(Clock::now() - start);
    const size_t length_at = received_.find("Content-Length: ");
    if (length_at == std::string::npos || length_at > head_end) return std::nullopt;
    *body_length = std::stoll(received_.substr(length_at + 16));
    body_left_ = *body_length - static_cast<int64_t>(received_.size() - head_end - 4);
    received_.clear();
    return seconds;
  }

  // Receives the body's remaining bytes straight into a scratch buffer.
  bool ReadRestOfBody() {
    static char scratch[1 << 20];
    while (body_left_ > 0) {
      if (!socket_.WaitReadable(kWaitMs)) return false;
      velmor::platform::SocketError error;
      const auto wanted = static_cast<size_t>(std::min<int64_t>(body_left_, sizeof scratch));
      const int64_t got = socket_.Receive(scratch, wanted, &error);
      if (got > 0) {
        body_left_ -= got;
      } else if (got == 0 || error != velmor::platform::kSocketWouldBlock) {
        return false;
      }
    }
    return true;
  }

 private:
  bool ReceiveMore() {
    if (!socket_.WaitReadable(kWaitMs)) return false;
    char buffer[1 << 16];
    velmor::platform::SocketError error;
    const int64_t got = socket_.Receive(buffer, sizeof buffer, &error);
    if (got > 0) received_.append(buffer, static_cast<size_t>(got));
    return got > 0 || (got < 0 && error == velmor::platform::kSocketWouldBlock);
  }

  Socket socket_;
  std::string received_;
  int64_t body_left_ = 0;
};

// One whole download on a plain socket that discards what it receives: the
// server's rate without curl's own costs. Seconds, or -1.
double OwnClientDownload(const Options& options) {
  Connection connection;
  int64_t length = 0;
  const Clock::time_point start = Clock::now();
  if (!connection.Open(options.http_port) ||
      !connection.FirstByte(Request(options, 2, 0), &length) || !connection.ReadRestOfBody()) {
    return -1;
  }
  return Seconds(Clock::now() - start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

// A new connection for every request, each starting at `start(i)`.
double NewConnectionFirstByte(const Options& options, int64_t (*start)(int, int64_t),
                              int64_t size) {
  std::vector<double> samples;
  for (int i = 0; i < kSamples; ++i) {
    Connection connection;
    int64_t length = 0;
    if (!connection.Open(options.http_port)) return -1;
    const auto seconds = connection.FirstByte(Request(options, 0, start(i, size)), &length);
    if (!seconds) return -1;
    samples.push_back(*seconds);
  }
  return Median(samples);
}

// Requests on one connection, each starting inside the blocks the previous
// answer left in the cache.
double CachedSeekFirstByte(const Options& options, int64_t size) {
  Connection connection;
  int64_t length = 0;
  const int64_t tail = 4 << 20;
  if (!connection.Open(options.http_port) ||
      !connection.FirstByte(Request(options, 1, size - tail), &length) ||
      !connection.ReadRestOfBody()) {
    return -1;
  }
  std::vector<double> samples;
  for (int i = 0; i < kSamples; ++i) {
    const int64_t start = size - tail + 4096 + i * 12345;
    const auto seconds = connection.FirstByte(Request(options, 1, start), &length);
    if (!seconds || !connection.ReadRestOfBody()) return -1;
    samples.push_back(*seconds);
  }
  return Median(samples);
}

// Small answers one after another on one kept-alive connection, as a
// player's seeks near the end of a file (where a container keeps its
// index): request to last body byte of the last 4 to 8 KiB.
double KeptAliveSmallGet(const Options& options, int64_t size) {
  Connection connection;
  if (!connection.Open(options.http_port)) return -1;
  std::vector<double> samples;
  for (int i = 0; i < kSamples; ++i) {
    const int64_t start = size - 4096 - (i * 41) % 4096;
    const Clock::time_point begin = Clock::now();
    int64_t length = 0;
    if (!connection.FirstByte(Request(options, 2, start), &length) ||
        !connection.ReadRestOfBody()) {
      return -1;
    }
    samples.push_back(Seconds(Clock::now() - begin));
  }
  return Median(samples);
}

void PrintRate(const char* name, double bytes, double seconds) {
  if (seconds <= 0) {
    std::printf("%-44s failed\n", name);
    return;
  }
  std::printf("%-44s %8.0f MB/s  (%.2f s)\n", name, bytes / kMB / seconds, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    std::cerr << "usage: bench_stream --command-port P --http-port H --file PATH "
                 "[--nginx-url URL]\n";
    return 2;
  }
  velmor::platform::FileInfo info;
  if (!velmor::platform::GetFileInfo(options->file, &info)) {
    std::cerr << "cannot read " << options->file << '\n';
    return 2;
  }
  const auto size = static_cast<double>(info.size);

  // The stream server serves only the authenticated player's machine.
  velmor::player::PlayerClient player;
  std::string error;
  if (!player.Connect(Ipv4Address::Loopback(), options->command_port, kWaitMs, &error) ||
      !player.Handshake({}).Admitted()) {
    std::cerr << "the player was not admitted: " << error << '\n';
    return 2;
  }

  const double direct = Best(
      2, {{"dd", "if=" + options->file, "of=/dev/null", "bs=1M", "iflag=direct", "status=none"}});
  const double nginx = options->nginx_url.empty() ? 0 : Best(2, {Curl(options->nginx_url)});
  const double single = Best(2, {Curl(StreamUrl(*options, 0))});
  double own = -1;
  for (int run = 0; run < 2; ++run) {
    const double seconds = OwnClientDownload(*options);
    if (seconds > 0 && (own < 0 || seconds < own)) own = seconds;
  }
  const double three = Best(1, {Curl(StreamUrl(*options, 0)), Curl(StreamUrl(*options, 1)),
                                Curl(StreamUrl(*options, 2))});
  const double first_new = NewConnectionFirstByte(
      *options, [](int, int64_t) -> int64_t { return 0; }, info.size);
  // Each start lies 64 MiB from the last, beyond what the ring can hold.
  const double first_new_uncached = NewConnectionFirstByte(
      *options,
      [](int i, int64_t file_size) -> int64_t {
        return (static_cast<int64_t>(i) * (64 << 20) + 12345) % (file_size - (1 << 20));
      },
      info.size);
  const double first_seek = CachedSeekFirstByte(*options, info.size);
  const double small_get = KeptAliveSmallGet(*options, info.size);

  std::printf("file: %s (%.0f MB)\n", options->file.c_str(), size / kMB);
  PrintRate("unbuffered read (dd bs=1M iflag=direct)", size, direct);
  if (!options->nginx_url.empty()) PrintRate("nginx (sendfile on), curl", size, nginx);
  PrintRate("our server, one stream, curl", size, single);
  PrintRate("our server, one stream, plain socket client", size, own);
  PrintRate("our server, three streams, curl (total)", 3 * size, three);
  std::printf("%-44s %8.2f ms\n", "first byte, new connection (median)", first_new * 1e3);
  std::printf("%-44s %8.2f ms\n", "first byte, new connection, uncached", first_new_uncached * 1e3);
  std::printf("%-44s %8.2f ms\n", "first byte, seek inside the cache (median)", first_seek * 1e3);
  std::printf("%-44s %8.2f ms\n", "small GET, kept-alive connection (median)", small_get * 1e3);
  auto ratio = [](double reference_seconds, double seconds) {
    return reference_seconds > 0 && seconds > 0 ? reference_seconds / seconds : -1.0;
  };
  std::printf("ratio one stream (curl) / unbuffered read:   %.2f\n", ratio(direct, single));
  std::printf("ratio one stream (plain) / unbuffered read:  %.2f\n", ratio(direct, own));
  if (!options->nginx_url.empty()) {
    std::printf("ratio one stream (curl) / nginx (curl):      %.2f\n", ratio(nginx, single));
  }
  std::printf("ratio three streams / one stream (curl):     %.2f\n", ratio(3 * single, three));
  auto verdict = [](bool met) { return met ? "met" : "NOT met"; };
  const double best_ratio = std::max(ratio(direct, single), ratio(direct, own));
  std::printf("target one stream >= 0.90 x unbuffered read: %s (curl %s)\n",
              verdict(best_ratio >= 0.9), verdict(ratio(direct, single) >= 0.9));
  const bool fast_first_byte =
      first_new >= 0 && first_new < 0.005 && first_seek >= 0 && first_seek < 0.005;
  std::printf("target first byte < 5 ms (median):           %s\n", verdict(fast_first_byte));
  std::printf("target kept-alive small GET < 5 ms (median): %s\n",
              verdict(small_get > 0 && small_get < 0.005));
  const bool met = best_ratio >= 0.9 && fast_first_byte;
  return met ? 0 : 1;
}
