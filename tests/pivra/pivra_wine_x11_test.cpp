// The Windows console host with its Pivra.dll under Wine, on an X server of
// its own (Xvfb) driven by xdotool, with this machine's player client and a
// UDP socket standing in for the headset. Runs when VELMOR_WINDOWS_SERVER
// names the Windows program (velmorvr-server.exe with Pivra.dll beside it)
// and wine, Xvfb and xdotool are installed; WINEPREFIX and WINEDEBUG are
// taken from the environment. The prefix's Wine server must not be running
// (one started on an X display that has ended passes no pointer input to
// the hooks of a new Wine desktop).
//
// Wine passes the X server's pointer events to Windows programs only over
// its own windows, so the program runs inside a Wine desktop window that
// covers the whole screen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mouse_remote_support.h"
#include "platform/child_process.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "platform/socket.h"
#include "player_client.h"
#include "program_output.h"
#include "test_support.h"
#include "wine_support.h"
#include "x_display.h"

namespace velmor {
namespace {

using platform::ChildProcess;

using test::kWine;
using test::kWineWaitMs;
using test::WinePath;

uint16_t FreeTcpPort() {
  platform::Socket probe;
  EXPECT_TRUE(probe.ListenTcp(0, 1));
  return probe.LocalPort();
}

class PivraWineTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* program = std::getenv("VELMOR_WINDOWS_SERVER");
    if (program == nullptr || *program == '\0') {
      GTEST_SKIP() << "set VELMOR_WINDOWS_SERVER to the Windows velmorvr-server.exe";
    }
    program_ = program;
    if (!test::XDisplay::ToolsInstalled() || !std::filesystem::exists(kWine)) {
      GTEST_SKIP() << "needs Xvfb, xdotool and wine";
    }
    ASSERT_TRUE(std::filesystem::exists(program_)) << program_;
    ASSERT_TRUE(display_.Start("800x600x24")) << "Xvfb did not start";
  }

  void TearDown() override {
    // The console program outlives its X server and the Wine desktop.
    if (!copy_name_.empty()) {
      ChildProcess taskkill;
      int exit_code = 0;
      if (taskkill.Start({kWine, "taskkill", "/F", "/IM", copy_name_})) {
        taskkill.Wait(kWineWaitMs, &exit_code);
      }
    }
    display_.End();
  }

  std::string Xdotool(std::vector<std::string> arguments) {
    return display_.Xdotool(std::move(arguments));
  }
  std::string PointerLocation() { return display_.PointerLocation(); }

  // Datagrams until one satisfies the condition (or none comes in time);
  // the fields of the last one.
  std::map<std::string, int64_t> FieldsUntil(
      const std::function<bool(std::map<std::string, int64_t>&)>& done) {
    std::map<std::string, int64_t> fields;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string datagram = player_.Next(1000);
      if (datagram.empty()) continue;
      fields = test::MouseFields(datagram);
      if (done(fields)) break;
    }
    return fields;
  }

  // The copy has no Tarnwick.dll beside it: the binding's failure notice
  // becomes an output line instead of a message box that waits for a click.
  test::ScopedEnvironment no_message_boxes_{"VELMOR_MESSAGE_BOX_TO_OUTPUT", "1"};
  std::string program_;
  std::string copy_name_;  // the program's file name in the test's copy
  test::XDisplay display_;
  test::TempFolder home_;
  test::DatagramReceiver player_;
  test::ProgramOutput server_;
};

TEST_F(PivraWineTest, ConsoleHostSendsTheXdotoolMouseThroughItsPivraDll) {
  // The settings: free ports, the mouse remote on, datagrams to our socket.
  const std::string ini = home_.Join("VelmorVRServer.ini");
  const uint16_t command_port = FreeTcpPort();
  ASSERT_TRUE(platform::CreateUtf16File(ini));
  for (const auto& [key, value] : std::map<std::string, int>{{"iPortServer", command_port},
                                                             {"iPortHttp", FreeTcpPort()},
                                                             {"iUseMouse", 1},
                                                             {"iPortMouse", player_.port()}}) {
    ASSERT_TRUE(platform::WriteIniString(ini, "Config", key, std::to_string(value)));
  }

  // A copy of the program in a folder of its own, under a name no other
  // program of the Wine prefix has. Without Pivra.dll beside it, it does
  // not start: the library is bound at load time.
  const std::filesystem::path folder = home_.Join("bin");
  std::filesystem::create_directory(folder);
  copy_name_ =
      "velmorvr-server-" + std::filesystem::path(home_.path()).filename().string() + ".exe";
  const std::string copy = (folder / copy_name_).string();
  std::filesystem::copy_file(program_, copy);
  test::ProgramOutput without_library;
  ASSERT_TRUE(without_library.Start({kWine, copy, "--home", WinePath(home_.path())}));
  EXPECT_FALSE(without_library.WaitForLine("status 0x0001", kWineWaitMs));
  int exit_code = 0;
  EXPECT_TRUE(without_library.child().Wait(kWineWaitMs, &exit_code));
  EXPECT_NE(exit_code, 0);

  // With the library beside it, it starts and captures the mouse.
  std::filesystem::copy_file(std::filesystem::path(program_).parent_path() / "Pivra.dll",
                             folder / "Pivra.dll");
  Xdotool({"mousemove", "100", "100"});
  ASSERT_TRUE(server_.Start(
      {kWine, "explorer", "/desktop=main,800x600", copy, "--home", WinePath(home_.path())}));
  ASSERT_TRUE(server_.WaitForLine("status 0x0001", kWineWaitMs)) << server_.Output();

  player::PlayerClient client;
  std::string error;
  ASSERT_TRUE(client.Connect(platform::Ipv4Address::Loopback(), command_port, kWineWaitMs, &error))
      << error;
  client.set_timeout_ms(kWineWaitMs);
  ASSERT_TRUE(client.Handshake({}).Admitted());

  // Capture starts with the player: the first datagram counts from zero.
  std::map<std::string, int64_t> first = FieldsUntil([](auto&) { return true; });
  ASSERT_FALSE(first.empty()) << "no datagram\n" << server_.Output();
  EXPECT_EQ(first["px"], 0);
  EXPECT_EQ(first["py"], 0);

  Xdotool({"mousemove_relative", "--", "10", "0"});
  Xdotool({"mousemove_relative", "--", "0", "-7"});
  Xdotool({"mousedown", "1"});
  auto held = FieldsUntil([](auto& f) { return f["px"] == 10 && f["py"] == -7 && f["bt1"] == 1; });
  EXPECT_EQ(held["px"], 10);
  EXPECT_EQ(held["py"], -7);
  EXPECT_EQ(held["bt1"], 1);
  EXPECT_EQ(held["bt2"], 0);
  Xdotool({"mouseup", "1"});
  Xdotool({"click", "3"});  // a right click, seen while held or not at all
  Xdotool({"click", "4"});  // one wheel notch away from the user
  auto after = FieldsUntil([](auto& f) { return f["pw"] == 1 && f["bt1"] == 0; });
  EXPECT_EQ(after["pw"], 1);
  EXPECT_EQ(after["bt1"], 0);
  EXPECT_EQ(after["px"], 10);  // the clicks carried no movement
  EXPECT_EQ(after["py"], -7);

  // The player leaves: capture ends and the pointer is back where it was.
  client.Close();
  ASSERT_TRUE(server_.WaitForLine("status 0x0003", kWineWaitMs)) << server_.Output();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (PointerLocation() != "x:100 y:100" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(PointerLocation(), "x:100 y:100");
}

}  // namespace
}  // namespace velmor
