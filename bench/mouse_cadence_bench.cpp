// The mouse remote's sender from outside: how many datagrams a second reach
// a player on 127.0.0.1 while capture is on (the sender sleeps 17 ms after
// each one: at most 1000 / 17 = 58.8 a second), whether any went missing,
// and the processor time the process spent meanwhile.
//   bench_mouse_cadence [--seconds N]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "platform/socket.h"
#include "remote/mouse_capture.h"
#include "remote/mouse_remote.h"
#include "remote/remote_window.h"

namespace {

using namespace velmor;

// A mouse that moves one unit right in every snapshot, so every datagram
// carries fresh sums (the sender's work does not depend on the library).
class SteadyMouse : public MouseCapture {
 public:
  Handle Create() override { return this; }
  void Start(Handle) override {}
  void Stop(Handle) override {}
  void Get(Handle) override {}
  int GetState(Handle, int index) override { return index == kStateMoveX ? 1 : 0; }
  void Release(Handle) override {}
};

class NoWindow : public RemoteWindow {
 public:
  void PostForcedDisconnect() override {}
  void TakeKeyboardFocus() override {}
};

// Counts the datagrams arriving on a free UDP port, and the gaps in ct.
class Counter {
 public:
  Counter() { socket_.BindUdp(0); }
  uint16_t port() const { return socket_.LocalPort(); }

  void Run(const std::atomic<bool>& stop) {
    char buffer[512];
    while (!stop.load()) {
      if (!socket_.WaitReadable(50)) continue;
      platform::SocketError error;
      const int64_t got = socket_.Receive(buffer, sizeof(buffer) - 1, &error);
      if (got <= 0) continue;
      buffer[got] = '\0';
      Note(std::strtol(buffer + std::strlen("#MOUSE(ct="), nullptr, 10));
    }
  }
  long received() const { return received_.load(); }
  long missing() const { return missing_.load(); }

 private:
  void Note(long ct) {
    if (received_.load() > 0 && ct > last_ct_ + 1) missing_ += ct - last_ct_ - 1;
    last_ct_ = ct;
    ++received_;
  }

  platform::Socket socket_;
  long last_ct_ = -1;
  std::atomic<long> received_{0};
  std::atomic<long> missing_{0};
};

double Seconds(std::chrono::steady_clock::duration span) {
  return std::chrono::duration<double>(span).count();
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 10;
  if (argc == 3 && std::string(argv[1]) == "--seconds") seconds = std::atoi(argv[2]);
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: bench_mouse_cadence [--seconds N]\n");
    return 2;
  }
  platform::StartNetworking();
  Counter counter;
  std::atomic<bool> stop{false};
  std::thread receiver([&] { counter.Run(stop); });

  MouseRemoteParts parts;
  parts.capture = std::make_shared<SteadyMouse>();
  NoWindow window;
  MouseRemote remote(parts);
  const long received_before = counter.received();
  const std::clock_t cpu_start = std::clock();
  const auto start = std::chrono::steady_clock::now();
  if (!remote.StartMouseRemote(&window, "127.0.0.1", counter.port(), false)) {
    std::fprintf(stderr, "the remote did not start\n");
    stop = true;
    receiver.join();
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  remote.StopMouseRemote();
  const double elapsed = Seconds(std::chrono::steady_clock::now() - start);
  const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop = true;
  receiver.join();
  platform::StopNetworking();

  const double rate = static_cast<double>(counter.received() - received_before) / elapsed;
  const double expected = 1000.0 / MouseRemote::kCapturingPassMs;
  std::printf(
      "mouse remote, %d s capturing: %.1f datagrams/s (ratio to 1000/17 = %.1f: %.3f), "
      "%ld missing\n",
      seconds, rate, expected, rate / expected, counter.missing());
  std::printf("processor time of sender and receiver: %.1f ms per second (%.2f %% of one core)\n",
              cpu * 1000.0 / elapsed, cpu * 100.0 / elapsed);
  return 0;
}
