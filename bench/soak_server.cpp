// The server program as a child: start, wait until it listens, kill -9,
// orderly stop, and its resident memory.
#include <fstream>

#include "platform/clock.h"
#include "platform/file.h"
#include "soak.h"

namespace velmor::soak {
namespace {

constexpr uint32_t kStartMs = 60000;  // a sanitizer build starts slowly

}  // namespace

ServerProcess::ServerProcess(std::string program, std::string home, std::string media,
                             std::string log_path)
    : program_(std::move(program)),
      home_(std::move(home)),
      media_(std::move(media)),
      log_path_(std::move(log_path)) {}

// Through a shell that prints its process id and then becomes the server,
// so that the id is the server's own (for /proc) and the kill reaches it.
bool ServerProcess::Start(std::string* error) {
  pending_.clear();
  pid_ = 0;
  if (!child_.Start({"/bin/sh", "-c", "echo \"pid $$\"; exec \"$0\" \"$@\"", program_, "--home",
                     home_, "--pc-folder", media_})) {
    *error = "cannot start " + program_;
    return false;
  }
  const uint32_t start = platform::TickCount();
  std::string line;
  bool listening = true;
  while (platform::TickDiff(platform::TickCount(), start) < static_cast<int32_t>(kStartMs)) {
    if (!ReadLine(500, &line)) {
      if (!child_.IsRunning()) break;
      continue;
    }
    if (line.rfind("pid ", 0) == 0) pid_ = std::atoi(line.c_str() + 4);
    if (line.find("(cannot listen)") != std::string::npos) listening = false;
    if (line.rfind("mouse port:", 0) != 0) continue;  // the banner's last line
    if (listening && pid_ > 0) return true;
    *error = "the server cannot listen on its ports";
    KillHard();
    return false;
  }
  *error = child_.IsRunning()
               ? "the server did not start within " + std::to_string(kStartMs / 1000) + " s"
               : "the server ended before it listened";
  KillHard();
  return false;
}

void ServerProcess::KillHard() { child_.Kill(); }

void ServerProcess::Stop() {
  int exit_code = 0;
  if (child_.RequestStop() && child_.Wait(20000, &exit_code)) return;
  child_.Kill();
}

bool ServerProcess::Running() { return child_.IsRunning(); }

int64_t ServerProcess::RssKb() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6);
  }
  return 0;
}

void ServerProcess::Pump(uint32_t ms) {
  const uint32_t start = platform::TickCount();
  std::string line;
  while (platform::TickDiff(platform::TickCount(), start) < static_cast<int32_t>(ms)) {
    const int32_t left =
        static_cast<int32_t>(ms) - platform::TickDiff(platform::TickCount(), start);
    if (!ReadLine(static_cast<uint32_t>(std::max(left, 1)), &line)) {
      platform::SleepMs(10);  // the output has ended (the server died) or nothing came
    }
  }
}

// One line of the output (also appended to the log), when one came in time.
bool ServerProcess::ReadLine(uint32_t timeout_ms, std::string* line) {
  for (;;) {
    const size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      *line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      platform::File log;
      if (log.Open(log_path_, platform::File::Mode::kAppendShared)) {
        log.Write(line->data(), line->size());
        log.Write("\n", 1);
      }
      return true;
    }
    char buffer[4096];
    const int64_t got = child_.ReadOutput(buffer, sizeof buffer, timeout_ms);
    if (got <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace velmor::soak
