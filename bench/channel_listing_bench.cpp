// "#CMD_GET_CHANNEL" of a VR-device channel over a generated tree (20,000
// files in 500 folders by default), through a server in process and the
// player client, against `find DIR -type f` on the same tree and against
// `find DIR -type f -printf '%s %T@ %p\n'`, which reads the same facts the
// listing needs (every entry's size and time).
//   bench_channel_listing [--files N] [--folders M]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command/command_server.h"
#include "core/paths.h"
#include "core/settings.h"
#include "library/list_file.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "player_client.h"
#include "runtime/server_runtime.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string MakeTree(const std::string& base, int files, int folders) {
  const std::string root = base + "/tree";
  velmor::platform::CreateFolder(root);
  for (int f = 0; f < folders; ++f) {
    const std::string parent = root + "/group" + std::to_string(f % 20);
    velmor::platform::CreateFolder(parent);
    const std::string folder = parent + "/folder " + std::to_string(f);
    velmor::platform::CreateFolder(folder);
    for (int i = f; i < files; i += folders) {
      const std::string name = "clip#" + std::to_string(i) + (i % 5 == 0 ? ".txt" : ".mp4");
      velmor::platform::WriteFileAtomically(folder + "/" + name, "x");
    }
  }
  return root;
}

// The better of three runs of find with the given arguments after the root.
double TimeFind(const std::string& root, const std::vector<std::string>& arguments) {
  double best = -1;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    velmor::platform::ChildProcess find;
    std::vector<std::string> command = {"find", root};
    command.insert(command.end(), arguments.begin(), arguments.end());
    if (!find.Start(command)) return -1;
    std::string output;
    find.ReadAllOutput(&output, 600000);
    int code = 0;
    find.Wait(600000, &code);
    const double seconds = Seconds(start);
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int files = 20000;
  int folders = 500;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--files") files = std::atoi(argv[i + 1]);
    if (flag == "--folders") folders = std::atoi(argv[i + 1]);
  }
  const std::string base =
      velmor::platform::TemporaryFolder() + "/velmor-listing-bench-" + std::to_string(std::rand());
  velmor::platform::CreateFolder(base);
  velmor::platform::CreateFolder(base + "/home");
  std::printf("making %d files in %d folders under %s\n", files, folders, base.c_str());
  const std::string root = MakeTree(base, files, folders);

  velmor::SetProgramFolder(base + "/home");
  velmor::ServerRuntime runtime;
  runtime.AllowAnyFreePort();  // the ports below are 0: any free ones
  runtime.settings().Load();
  runtime.settings().Update([&](velmor::S_CONFIG& config) {
    config.iPortServer = 0;
    config.iPortHttp = 0;
    config.channel[0] = {velmor::kChannelVrDevice, root};
  });
  runtime.Start();
  velmor::player::PlayerClient client;
  std::string error;
  if (!client.Connect(velmor::platform::Ipv4Address::Loopback(), runtime.command_server()->port(),
                      10000, &error) ||
      !client.Handshake({}).Admitted()) {
    std::fprintf(stderr, "cannot reach the server: %s\n", error.c_str());
    return 2;
  }
  client.set_timeout_ms(600000);
  // Once first, so both finds below meet a tree already in the cache, as
  // the listings do (the server read the tree's top when it started).
  TimeFind(root, {"-type", "f"});
  const double find_seconds = TimeFind(root, {"-type", "f"});
  const double stat_find_seconds = TimeFind(root, {"-type", "f", "-printf", "%s %T@ %p\n"});
  std::vector<double> runs;
  size_t records = 0;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    const velmor::player::Reply reply = client.ExchangeText("#CMD_GET_CHANNEL(<ch>0)");
    runs.push_back(Seconds(start));
    records = 0;
    for (const auto& chunk : reply.chunks) {
      if (chunk.code != "RTFL") continue;
      records += velmor::player::DecodeListRecords(chunk.payload, nullptr)
                     .value_or(std::vector<velmor::player::ListRecord>())
                     .size();
    }
    if (!reply.LastOk()) {
      std::fprintf(stderr, "listing failed: %s\n", reply.error.c_str());
      return 1;
    }
  }
  std::printf("records listed: %zu\n", records);
  std::printf("find -type f:        %.3f s\n", find_seconds);
  std::printf("find -type f -printf '%%s %%T@ %%p\\n' (stat-ing): %.3f s\n", stat_find_seconds);
  std::printf("first listing:       %.3f s (temporary ids: no records yet)\n", runs[0]);
  std::printf("later listings:      %.3f s, %.3f s\n", runs[1], runs[2]);
  std::printf("ratio first / find:  %.1f\n", runs[0] / find_seconds);
  std::printf("ratio later / find:  %.1f\n", std::min(runs[1], runs[2]) / find_seconds);
  std::printf("ratio first / stat-ing find:  %.2f\n", runs[0] / stat_find_seconds);
  std::printf("ratio later / stat-ing find:  %.2f\n",
              std::min(runs[1], runs[2]) / stat_find_seconds);
  velmor::platform::ChildProcess remove;
  if (remove.Start({"rm", "-rf", base})) remove.Wait(600000, nullptr);
  return 0;
}
