// VelmorVRServer.exe, the window program, under Wine on an X server of its
// own (Xvfb) driven by xdotool, served to this machine's player client and
// curl over 127.0.0.1: what the headless host's end-to-end tests show, with
// the user's hot keys pressed on the X keyboard. Runs when
// VELMOR_WINDOWS_WINDOW_PROGRAM names the built VelmorVRServer.exe (its
// libraries and placeholder pictures beside it) and wine, Xvfb, xdotool and
// curl are installed; WINEPREFIX and WINEDEBUG come from the environment.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "http_get.h"
#include "mouse_remote_support.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "platform/socket.h"
#include "player_client.h"
#include "program_output.h"
#include "records.h"
#include "test_support.h"
#include "thumbnails.h"
#include "wine_support.h"
#include "x_display.h"

namespace velmor {
namespace {

using test::kWine;
using test::kWineWaitMs;
using test::WinePath;
namespace fs = std::filesystem;

uint16_t FreeTcpPort() {
  platform::Socket probe;
  EXPECT_TRUE(probe.ListenTcp(0, 1));
  return probe.LocalPort();
}

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// Whether datagrams come (true) or stay away for a second (false), within
// ten seconds.
bool DatagramsFlow(test::DatagramReceiver* player, bool flowing) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    const bool got = !player->Next(1000).empty();
    if (got == flowing) return true;
  }
  return false;
}

class WindowProgramWineTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* program = std::getenv("VELMOR_WINDOWS_WINDOW_PROGRAM");
    if (program == nullptr || *program == '\0') {
      GTEST_SKIP() << "set VELMOR_WINDOWS_WINDOW_PROGRAM to the Windows VelmorVRServer.exe";
    }
    if (!test::XDisplay::ToolsInstalled() || !fs::exists(kWine) || !fs::exists("/usr/bin/curl")) {
      GTEST_SKIP() << "needs Xvfb, xdotool, wine and curl";
    }
    ASSERT_TRUE(fs::exists(program)) << program;
    ASSERT_TRUE(display_.Start("800x600x24")) << "Xvfb did not start";
    // The program in a folder of its own, under a name no other program of
    // the prefix has, with what it finds beside itself.
    const fs::path built = fs::path(program).parent_path();
    folder_ = home_.Join("bin");
    fs::create_directory(folder_);
    copy_name_ = "VelmorVRServer-" + fs::path(home_.path()).filename().string() + ".exe";
    fs::copy_file(program, folder_ / copy_name_);
    for (const char* name : {"Pivra.dll", "Tarnwick.dll", "error.jpg", "error_audio.jpg",
                             "error_image.jpg", "error_folder.jpg"}) {
      fs::copy_file(built / name, folder_ / name);
    }
  }

  void TearDown() override {
    if (server_.child().IsRunning()) {
      platform::ChildProcess taskkill;
      int exit_code = 0;
      if (taskkill.Start({kWine, "taskkill", "/F", "/IM", copy_name_})) {
        taskkill.Wait(kWineWaitMs, &exit_code);
      }
    }
    display_.End();
  }

  void WriteSettings(const std::vector<std::pair<std::string, std::string>>& values) {
    const std::string ini = (folder_ / "VelmorVRServer.ini").string();
    ASSERT_TRUE(platform::CreateUtf16File(ini));
    for (const auto& [key, value] : values) {
      const size_t dot = key.rfind('.');  // "ch.0.pcPath": section "ch.0"
      ASSERT_TRUE(platform::WriteIniString(ini, key.substr(0, dot), key.substr(dot + 1), value));
    }
  }

  std::string Curl(const std::vector<std::string>& arguments) {
    // A refusal (404) keeps the connection open: curl would wait for more.
    std::vector<std::string> argv = {"/usr/bin/curl", "-s", "-S", "--max-time", "60"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    test::ProgramOutput curl;
    EXPECT_TRUE(curl.Start(argv));
    EXPECT_EQ(curl.Finish(kWineWaitMs), 0) << curl.Output();
    return curl.Output();
  }

  test::XDisplay display_;
  test::TempFolder home_;
  fs::path folder_;
  std::string copy_name_;
  test::ProgramOutput server_;
};

TEST_F(WindowProgramWineTest, ServesListingsStreamsAndPicturesAndAnswersItsHotKeys) {
  const std::string media = home_.Join("動画 フォルダ");
  ASSERT_TRUE(platform::CreateFolder(media));
  const std::string video = Pattern(3 * 1024 * 1024 + 17);
  test::WriteFileOrFail(media + "/夏の海 1.mp4", video);
  std::string picture;
  ASSERT_TRUE(platform::ReadWholeFile((folder_ / "error_image.jpg").string(), &picture));
  test::WriteFileOrFail(media + "/photo.jpg", picture);
  test::DatagramReceiver mouse;
  const uint16_t command_port = FreeTcpPort();
  WriteSettings({{"Config.iPortServer", std::to_string(command_port)},
                 {"Config.iPortHttp", std::to_string(FreeTcpPort())},
                 {"Config.iUseMouse", "1"},
                 {"Config.iPortMouse", std::to_string(mouse.port())},
                 {"ch.1.iType", "0"},
                 {"ch.1.pcPath", WinePath(media)}});

  ASSERT_TRUE(
      server_.Start({kWine, "explorer", "/desktop=main,800x600", (folder_ / copy_name_).string()}));
  player::PlayerClient client;
  std::string error;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWineWaitMs);
  while (!client.Connect(platform::Ipv4Address::Loopback(), command_port, 1000, &error) &&
         std::chrono::steady_clock::now() < deadline) {
  }
  ASSERT_TRUE(client.IsConnected()) << error;
  client.set_timeout_ms(kWineWaitMs);
  const player::HandshakeReply handshake = client.Handshake({});
  ASSERT_TRUE(handshake.Admitted());
  ASSERT_TRUE(handshake.http_port.has_value());

  // Channel 1 (the second row) lists the PC folder.
  const player::Reply listing = client.ExchangeText("#CMD_GET_CHANNEL(<ch>1)");
  std::vector<std::string> names;
  std::string folder;
  for (const player::Chunk& chunk : listing.chunks) {
    if (chunk.code != "RTFL") continue;
    for (const auto& record : player::DecodeListRecords(chunk.payload, &error)
                                  .value_or(std::vector<player::ListRecord>())) {
      names.push_back(record.name);
      if (!record.folder.empty()) folder = record.folder + "/";
    }
  }
  EXPECT_EQ(names, std::vector<std::string>{"夏の海 1.mp4"});  // videos only, by default
  ASSERT_FALSE(folder.empty());

  // curl streams the video whole and from an offset, byte for byte.
  const std::string url = "http://127.0.0.1:" + std::to_string(*handshake.http_port) + "/" +
                          player::PercentEncodePath(folder + "夏の海 1.mp4");
  const std::string whole = home_.Join("whole.mp4");
  const std::string tail = home_.Join("tail.mp4");
  EXPECT_EQ(Curl({"-o", whole, "-w", "%{http_code}\\n", url + "?stream=1"}), "200\n");
  EXPECT_EQ(Curl({"-r", "1000000-", "-o", tail, "-w", "%{http_code}\\n", url + "?stream=2"}),
            "206\n");
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(whole, &bytes) && bytes == video);
  EXPECT_TRUE(platform::ReadWholeFile(tail, &bytes) && bytes == video.substr(1000000));

  // A picture by its path.
  const auto chunk = player::MakeThumbnailPathChunk(0, folder + "photo.jpg", &error);
  ASSERT_TRUE(chunk.has_value()) << error;
  const auto pictures = player::CollectThumbnails(client.Exchange({*chunk}).chunks, &error);
  ASSERT_TRUE(pictures.has_value()) << error;
  ASSERT_EQ(pictures->size(), 1u);
  EXPECT_EQ((*pictures)[0].image, picture);

  // The mouse remote captures while the player is there; Ctrl+Shift+Alt+D
  // gives the mouse back to the PC, +M takes it again, +S puts the player
  // off.
  EXPECT_TRUE(DatagramsFlow(&mouse, true));
  display_.Xdotool({"key", "ctrl+shift+alt+d"});
  EXPECT_TRUE(DatagramsFlow(&mouse, false));
  display_.Xdotool({"key", "ctrl+shift+alt+m"});
  EXPECT_TRUE(DatagramsFlow(&mouse, true));
  display_.Xdotool({"key", "ctrl+shift+alt+s"});
  EXPECT_FALSE(client.ReceivePacket(kWineWaitMs, &error).has_value());
  EXPECT_EQ(error, "the server closed the connection");
}

}  // namespace
}  // namespace velmor
