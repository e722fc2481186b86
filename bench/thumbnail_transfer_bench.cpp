// Times the thumbnail transfer through a server in this process and the
// player client over 127.0.0.1: fetches of 64 stored thumbnails in one
// "THUM" (the player's page of items), fetches of single thumbnails, and
// uploads of one picture in "MKTH" and "DATA" pieces.
//   build/bin/bench_thumbnail_transfer [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command/command_server.h"
#include "core/paths.h"
#include "core/settings.h"
#include "library/data_table.h"
#include "platform/file_system.h"
#include "player_client.h"
#include "runtime/server_runtime.h"
#include "thumbnails.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kThumbnailBytes = 30000;  // a 426 x 240 JPEG at the best quality
constexpr size_t kItemsPerFetch = 64;
constexpr size_t kUploadBytes = 200000;

template <typename Step>
void Time(const char* what, int runs, Step step) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < runs; ++i) {
    if (!step()) {
      std::printf("%-40s failed\n", what);
      return;
    }
  }
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::printf("%-40s %9.3f ms per run (%d runs)\n", what, ms / runs, runs);
}

// The bench's home with everything the server wrote into it.
void RemoveTree(const std::string& path) {
  std::vector<velmor::platform::FileInfo> entries;
  velmor::platform::ListFolder(path, &entries);
  for (const velmor::platform::FileInfo& entry : entries) {
    const std::string child = velmor::JoinPath(path, entry.name);
    if (entry.is_folder) {
      RemoveTree(child);
    } else {
      velmor::platform::DeleteFile(child);
    }
  }
  velmor::platform::RemoveFolder(path);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velmor;
  const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
  const std::string home = JoinPath(platform::TemporaryFolder(), "velmor-thumbnail-bench");
  RemoveTree(home);
  EnsureFolder(home);
  SetProgramFolder(home);
  ServerRuntime runtime;
  runtime.AllowAnyFreePort();  // the ports below are 0: any free ones
  runtime.settings().Load();
  runtime.settings().Update([](S_CONFIG& config) {
    config.iPortServer = 0;
    config.iPortHttp = 0;
  });
  runtime.Start();
  CommandServer* server = runtime.command_server();

  std::vector<player::ThumbnailItem> items;
  const std::string picture(kThumbnailBytes, 'j');
  {
    DataTable::Locked table = runtime.library().data_table()->Lock();
    for (size_t i = 0; i < kItemsPerFetch; ++i) {
      S_DATATABLE* record = table.CreateRecord("/bench/clip" + std::to_string(i) + ".mp4", 1);
      platform::WriteFileAtomically(
          JoinPath(runtime.library().thumbnails()->settings().thumbnail_folder,
                   record->id_text + ".jpg"),
          picture);
      items.push_back({0, record->id_int});
    }
  }

  player::PlayerClient client;
  std::string error;
  if (!client.Connect(platform::Ipv4Address::Loopback(), server->port(), 10000, &error) ||
      !client.Handshake({}).Admitted()) {
    std::printf("cannot reach the server: %s\n", error.c_str());
    return 1;
  }
  const auto page = player::MakeThumbnailFetchChunk(4, items, &error);
  const auto one = player::MakeThumbnailFetchChunk(4, {items[0]}, &error);
  const auto upload = player::MakeUploadPackets(items[0].record_id, "<make>3",
                                                std::string(kUploadBytes, 'u'), &error);
  if (!page || !one || !upload) return 1;

  std::printf("thumbnails of %zu bytes, uploads of %zu bytes\n", kThumbnailBytes, kUploadBytes);
  Time("fetch 64 thumbnails in one THUM", runs, [&] {
    const auto thumbnails = player::CollectThumbnails(client.Exchange({*page}).chunks, nullptr);
    return thumbnails && thumbnails->size() == kItemsPerFetch;
  });
  Time("fetch one thumbnail", runs * 10, [&] { return client.Exchange({*one}).LastOk(); });
  Time("upload one picture", runs, [&] { return client.ExchangePackets(*upload).LastOk(); });
  client.Close();
  runtime.Shutdown();
  RemoveTree(home);
  return 0;
}
