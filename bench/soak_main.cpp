// bench_soak [--minutes M] [--seed S] [--port P] [--server PATH]
// Runs the server program on a generated media folder for M minutes (5)
// under the player, stream and hostile drivers, kills it with SIGKILL every
// 20 to 60 s (by the seed) and restarts it, and checks after each restart
// what had to survive. Prints one line of figures and "soak: PASS" or
// "soak: FAIL (reasons)"; exits 1 on FAIL, 2 when it could not run. Ports:
// P, P + 1, P + 2 (commands, HTTP, mouse); without --port, free ones.
#include <cstdio>
#include <set>
#include <thread>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "soak.h"

namespace velmor::soak {

Soak::Soak(uint64_t seed) : seed_(seed), start_(platform::TickCount()) {}

int64_t Soak::Now() const { return platform::TickDiff(platform::TickCount(), start_); }

std::mt19937_64 Soak::Random(int driver) const {
  return std::mt19937_64(seed_ * 1000003 + static_cast<uint64_t>(driver));
}

void Soak::Fail(const std::string& kind, const std::string& detail) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& [count, first] = failures_[kind];
  if (count++ == 0) first = detail;
}

std::string Soak::Reasons() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string reasons;
  for (const auto& [kind, failure] : failures_) {
    if (!reasons.empty()) reasons += "; ";
    reasons += kind + " x" + std::to_string(failure.first);
    if (!failure.second.empty()) reasons += ", first: " + failure.second;
  }
  return reasons;
}

void Soak::NoteMax(std::atomic<int64_t>* figure, int64_t value) {
  int64_t seen = *figure;
  while (value > seen && !figure->compare_exchange_weak(seen, value)) {
  }
}

void Soak::AddKill(int64_t at) {
  std::lock_guard<std::mutex> lock(mutex_);
  kill_times_.push_back(at);
}

size_t Soak::KillCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kill_times_.size();
}

int64_t Soak::KillTime(size_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kill_times_.at(index);
}

namespace {

constexpr int kMaxMinutes = 24 * 60;

struct Options {
  int minutes = 5;
  uint64_t seed = 1;
  int port = 0;  // 0: free ones
  std::string server;
};

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  options.server = platform::ExecutableFolder() + "/velmorvr-server";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const std::string value = argv[i + 1];
    if (value.empty() ||
        (name != "--server" &&
         (value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos))) {
      return std::nullopt;
    }
    if (name == "--minutes") {
      options.minutes = std::stoi(value);
    } else if (name == "--seed") {
      options.seed = std::stoull(value);
    } else if (name == "--port") {
      options.port = std::stoi(value);
    } else if (name == "--server") {
      options.server = value;
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0 || options.minutes < 1 || options.minutes > kMaxMinutes ||
      options.port > 65533) {
    return std::nullopt;
  }
  return options;
}

// Three ports nobody listens on: bound to port 0 together, then released.
bool FreePorts(uint16_t ports[3]) {
  platform::Socket sockets[3];
  for (int i = 0; i < 3; ++i) {
    if (!sockets[i].ListenTcp(0, 1)) return false;
    ports[i] = sockets[i].LocalPort();
  }
  return true;
}

void RemoveTree(const std::string& path) {
  std::vector<platform::FileInfo> entries;
  platform::ListFolder(path, &entries);
  for (const platform::FileInfo& entry : entries) {
    const std::string child = path + "/" + entry.name;
    entry.is_folder ? RemoveTree(child) : static_cast<void>(platform::DeleteFile(child));
  }
  platform::RemoveFolder(path);
}

// Names with ".tmp" beside the data table and the list files.
std::set<std::string> Temporaries(const std::string& home) {
  std::set<std::string> names;
  for (const std::string& folder : {home, home + "/data"}) {
    std::vector<platform::FileInfo> entries;
    platform::ListFolder(folder, &entries);
    for (const platform::FileInfo& entry : entries) {
      if (entry.name.find(".tmp") != std::string::npos) names.insert(folder + "/" + entry.name);
    }
  }
  return names;
}

class Supervisor {
 public:
  Supervisor(Soak* soak, ServerProcess* server)
      : soak_(soak), server_(server), random_(soak->Random(0)) {}

  bool StartFirst(std::string* error) {
    if (!server_->Start(error)) return false;
    ++soak_->epoch;
    soak_->up = true;
    return true;
  }

  // Kills and restarts the server; after the restart the hostile peer takes
  // its turn first (a stalled upload, junk, or nothing, in turn).
  bool KillAndRestart(bool hostile_turn) {
    soak_->up = false;
    soak_->AddKill(soak_->Now());
    server_->KillHard();
    stalled_.Close();
    std::string error;
    if (!server_->Start(&error)) {
      soak_->Fail("restart failed", error);
      return false;
    }
    ++soak_->epoch;
    if (hostile_turn) {
      if (restarts_ % 3 == 0) stalled_ = HostileStalledUpload(soak_);
      if (restarts_ % 3 == 1) HostileJunkBurst(soak_, &random_);
      platform::SleepMs(500);  // the server has taken it before the player comes
    }
    ++restarts_;
    soak_->up = true;
    return true;
  }

  // Runs the drivers' time: kills every 20 to 60 s, the first only once the
  // player's first changes are older than the save bound, so that every run
  // checks some. False when the server could not be brought back.
  bool Run(int64_t end_at) {
    int64_t next_kill = -1;
    while (soak_->Now() < end_at) {
      server_->Pump(200);
      CheckTemporaries();
      if (next_kill < 0 && soak_->admitted_epoch >= 0) {
        next_kill = soak_->Now() + kSaveBoundMs + kSaveSlackMs + 10000;
      }
      const bool died = !server_->Running();
      if (died) soak_->Fail("server died on its own", "");
      if (died || (next_kill >= 0 && soak_->Now() >= next_kill)) {
        if (!KillAndRestart(true)) return false;
        next_kill = soak_->Now() + 20000 + static_cast<int64_t>(random_() % 40001);
      }
    }
    return true;
  }

  // The last kill and restart, once the player is in (or could not get in
  // within the deadline), and the wait for its check.
  bool Finish() {
    const int64_t wait_until = soak_->Now() + kHandshakeDeadlineMs + 5000;
    while (soak_->admitted_epoch != soak_->epoch && soak_->Now() < wait_until) server_->Pump(100);
    platform::SleepMs(500);  // the player stops between two commands
    rss_end_ = server_->RssKb();
    if (!KillAndRestart(false)) return false;
    const int64_t check_until = soak_->Now() + 60000;
    while (soak_->kills_checked < soak_->KillCount() && soak_->Now() < check_until) {
      server_->Pump(100);
    }
    if (soak_->kills_checked < soak_->KillCount())
      soak_->Fail("no check after the last restart", "");
    CheckTemporaries();
    return true;
  }

  int64_t rss_end() const { return rss_end_; }

 private:
  // The server writes its data table and list files through temporaries
  // renamed over them. Once the player has checked a restarted server (which
  // opened those files), a temporary that stays is one a kill cut off and
  // nobody removed; a save in flight has gone a moment later.
  void CheckTemporaries() {
    if (soak_->kills_checked <= temporaries_checked_) return;
    temporaries_checked_ = soak_->kills_checked;
    const std::set<std::string> first = Temporaries(soak_->home);
    if (first.empty()) return;
    server_->Pump(1000);
    for (const std::string& name : Temporaries(soak_->home)) {
      if (first.count(name) != 0 && reported_.insert(name).second) {
        soak_->Fail("stray temporary", name);
      }
    }
  }

  Soak* soak_;
  ServerProcess* server_;
  std::mt19937_64 random_;
  platform::Socket stalled_;
  std::set<std::string> reported_;
  size_t temporaries_checked_ = 0;
  int restarts_ = 0;
  int64_t rss_end_ = 0;
};

int Main(const Options& options) {
  Soak soak(options.seed);
  uint16_t ports[3];
  for (int i = 0; i < 3; ++i) ports[i] = static_cast<uint16_t>(options.port + i);
  if (options.port == 0 && !FreePorts(ports)) {
    std::fprintf(stderr, "soak: no free ports\n");
    return 2;
  }
  soak.command_port = ports[0];
  soak.http_port = ports[1];
  const std::string work = platform::TemporaryFolder() + "/velmor-soak-" +
                           std::to_string(ports[0]) + "-" + std::to_string(options.seed);
  RemoveTree(work);
  soak.home = work + "/home";
  std::mt19937_64 media_random = soak.Random(99);
  std::string error;
  if (!platform::CreateFolder(work) || !platform::CreateFolder(soak.home) ||
      !platform::CreateFolder(work + "/media") ||
      !MakeMedia(work + "/media", &media_random, &soak.media, &error) ||
      !PrepareHome(soak.home, ports[0], ports[1], ports[2], soak.media.folder)) {
    std::fprintf(stderr, "soak: cannot prepare %s: %s\n", work.c_str(), error.c_str());
    RemoveTree(work);
    return 2;
  }

  ServerProcess server(options.server, soak.home, soak.media.folder, work + "/server-output.txt");
  Supervisor supervisor(&soak, &server);
  if (!supervisor.StartFirst(&error)) {
    std::fprintf(stderr, "soak: %s (its output: %s/server-output.txt)\n", error.c_str(),
                 work.c_str());
    for (const std::string& big : soak.media.big) platform::DeleteFile(big);
    return 2;
  }
  const int64_t rss_start = server.RssKb();
  const int streams = 3 + static_cast<int>(soak.Random(2)() % 3);
  std::thread player(RunPlayer, &soak);
  std::vector<std::thread> drivers;
  for (int slot = 0; slot < streams; ++slot) drivers.emplace_back(RunStream, &soak, slot);
  drivers.emplace_back(RunHostile, &soak);

  const int64_t drive_start = soak.Now();
  const bool ran = supervisor.Run(drive_start + options.minutes * 60000LL);
  const int64_t drive_ms = soak.Now() - drive_start;
  soak.drivers_stop = true;
  for (std::thread& driver : drivers) driver.join();
  const bool finished = ran && supervisor.Finish();
  soak.all_stop = true;
  player.join();
  server.Stop();

  if (!finished) soak.Fail("the run ended early", "");
  const auto figure = [](const char* name, int64_t value, const char* unit = "") {
    return std::string(", ") + name + " " + std::to_string(value) + unit;
  };
  char minutes[32];
  std::snprintf(minutes, sizeof minutes, "%.1f", static_cast<double>(drive_ms) / 60000.0);
  const std::string figures =
      std::string("soak: minutes ") + minutes + figure("seed", static_cast<int64_t>(options.seed)) +
      figure("commands", soak.commands) + figure("bytes streamed", soak.bytes_streamed) +
      figure("kills survived", soak.kills_survived) +
      figure("changes checked", soak.changes_checked) +
      figure("changes lost past the bound", soak.changes_lost) +
      figure("largest stream stall", soak.max_stall_ms, " ms") +
      figure("longest player wait", soak.max_keepout_ms, " ms") +
      figure("server RSS at start", rss_start, " kB") +
      figure("at end", supervisor.rss_end(), " kB");
  std::printf("%s\n", figures.c_str());
  const std::string reasons = soak.Reasons();
  if (reasons.empty()) {
    std::printf("soak: PASS\n");
    RemoveTree(work);
    return 0;
  }
  std::printf("soak: FAIL (%s)\n", reasons.c_str());
  std::printf("soak: the server's home and output are kept in %s\n", work.c_str());
  for (const std::string& big : soak.media.big) platform::DeleteFile(big);
  return 1;
}

}  // namespace
}  // namespace velmor::soak

int main(int argc, char** argv) {
  const auto options = velmor::soak::ParseArguments(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: bench_soak [--minutes M] [--seed S] [--port P] [--server PATH]\n");
    return 2;
  }
  return velmor::soak::Main(*options);
}
