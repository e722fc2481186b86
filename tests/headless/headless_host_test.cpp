// The headless server as a user runs it: a real process with a real home
// folder, stopped and reloaded by signals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/paths.h"
#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "platform/socket.h"
#include "player_client.h"
#include "program_output.h"
#include "records.h"
#include "test_support.h"

namespace velmor {
namespace {

constexpr uint32_t kWaitMs = 30000;

uint16_t FreePort() {
  platform::Socket probe;
  EXPECT_TRUE(probe.ListenTcp(0, 1));
  return probe.LocalPort();
}

// The server program with this build's defaults.
class ServerProcess : public test::ProgramOutput {
 public:
  bool Start(const std::vector<std::string>& arguments,
             const std::string& program = VELMOR_SERVER_PROGRAM) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return ProgramOutput::Start(argv);
  }
  bool WaitForLine(const std::string& prefix, uint32_t timeout_ms = kWaitMs) {
    return ProgramOutput::WaitForLine(prefix, timeout_ms);
  }
  int Stop() { return ProgramOutput::Stop(kWaitMs); }
  int Finish() { return ProgramOutput::Finish(kWaitMs); }
};

class HeadlessHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = home_.path() + platform::kNativeSeparator + "VelmorVRServer.ini";
    log_ = home_.path() + platform::kNativeSeparator + "VelmorVR Server[Log].txt";
  }
  // A home whose settings name free ports, so tests never meet a running
  // server on the default ones.
  void UseFreePorts() { UseFreePortsIn(ini_); }
  void UseFreePortsIn(const std::string& ini) {
    ASSERT_TRUE(platform::CreateUtf16File(ini));
    command_port_ = FreePort();
    http_port_ = FreePort();
    ASSERT_TRUE(
        platform::WriteIniString(ini, "Config", "iPortServer", std::to_string(command_port_)));
    ASSERT_TRUE(platform::WriteIniString(ini, "Config", "iPortHttp", std::to_string(http_port_)));
  }
  // Probes with a reload request; false (with the server killed) on a host
  // that cannot send stop and reload requests to a console program.
  static bool CanSignal(ServerProcess& server) {
    if (server.child().RequestReload()) return true;
    server.child().Kill();
    server.Finish();
    return false;
  }

  test::TempFolder home_;
  std::string ini_;
  std::string log_;
  uint16_t command_port_ = 0;
  uint16_t http_port_ = 0;
};

TEST_F(HeadlessHost, FirstStartWritesEverySettingAndASecondStartChangesNothing) {
  UseFreePorts();
  ServerProcess first;
  ASSERT_TRUE(first.Start({"--home", home_.path()}));
  ASSERT_TRUE(first.WaitForLine("status 0x0001 接続待ち"));
  const bool can_signal = CanSignal(first);
  if (can_signal) {
    EXPECT_EQ(first.Stop(), 1);
  }
  EXPECT_EQ(platform::ReadIniString(ini_, "ch.7", "pcPath", ""), "favorite.vrl");
  EXPECT_EQ(platform::ReadIniString(ini_, "Config", "pcThumbnailPath.220", ""), "thumbnail220");
  EXPECT_EQ(platform::ReadIniString(ini_, "File", "pcDataTablePath", ""),
            "data\\VelmorVRServer.txt");
  EXPECT_EQ(platform::GetPathType(home_.Join("thumbnail220")), platform::PathType::kFolder);
  EXPECT_EQ(platform::GetPathType(home_.Join("trim")), platform::PathType::kFolder);

  const std::string settings = test::ReadFileOrEmpty(ini_);
  ServerProcess second;
  ASSERT_TRUE(second.Start({"--home", home_.path()}));
  ASSERT_TRUE(second.WaitForLine("status 0x0001"));
  if (can_signal) {
    EXPECT_EQ(second.Stop(), 1);
  } else {
    second.child().Kill();
  }
  EXPECT_EQ(test::ReadFileOrEmpty(ini_), settings);
}

TEST_F(HeadlessHost, ListensOnTheConfiguredPortsAndPrintsThem) {
  UseFreePorts();
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home_.path()}));
  ASSERT_TRUE(server.WaitForLine("command port: " + std::to_string(command_port_)));
  ASSERT_TRUE(server.WaitForLine("http port: " + std::to_string(http_port_)));
  ASSERT_TRUE(server.WaitForLine("status 0x0001"));
  platform::Socket command;
  EXPECT_TRUE(command.ConnectTcp(platform::Ipv4Address::Loopback(), command_port_, kWaitMs));
  platform::Socket http;
  EXPECT_TRUE(http.ConnectTcp(platform::Ipv4Address::Loopback(), http_port_, kWaitMs));
  bool has_address = false;
  for (const std::string& line : server.lines()) has_address |= line.rfind("address: ", 0) == 0;
  EXPECT_TRUE(has_address);
  if (CanSignal(server)) {
    EXPECT_EQ(server.Stop(), 1);
  }
}

TEST_F(HeadlessHost, ReloadSwitchesTheServerLogOnAndOff) {
  UseFreePorts();
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home_.path()}));
  ASSERT_TRUE(server.WaitForLine("status 0x0001"));
  if (!CanSignal(server)) GTEST_SKIP() << "no reload requests on this host";
  ASSERT_TRUE(server.WaitForLine("settings: reloaded"));
  EXPECT_EQ(platform::GetPathType(log_), platform::PathType::kNone) << "the log is off by default";

  ASSERT_TRUE(platform::WriteIniString(ini_, "Config", "iServerLog", "1"));
  ASSERT_TRUE(server.child().RequestReload());
  ASSERT_TRUE(server.WaitForLine("settings: reloaded"));
  const std::string opened = test::ReadFileOrEmpty(log_);
  EXPECT_NE(opened.find("START           , VelmorVR Server Ver2.21(Oct 23 2022) : Protocol Ver220"),
            std::string::npos);

  ASSERT_TRUE(platform::WriteIniString(ini_, "Config", "iServerLog", "0"));
  ASSERT_TRUE(server.child().RequestReload());
  ASSERT_TRUE(server.WaitForLine("settings: reloaded"));
  EXPECT_EQ(server.Stop(), 1);
  EXPECT_EQ(test::ReadFileOrEmpty(log_), opened) << "closing writes nothing, nor does the stop";
}

TEST_F(HeadlessHost, StopWritesShutdownWhenTheLogIsOpen) {
  UseFreePorts();
  ASSERT_TRUE(platform::WriteIniString(ini_, "Config", "iServerLog", "1"));
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home_.path()}));
  ASSERT_TRUE(server.WaitForLine("status 0x0001"));
  if (!CanSignal(server)) GTEST_SKIP() << "no stop requests on this host";
  EXPECT_EQ(server.Stop(), 1);
  const std::string log = test::ReadFileOrEmpty(log_);
  EXPECT_EQ(log.find("START"), log.rfind("START")) << "one start line";
  EXPECT_NE(log.find("EVENT           , code=0x0001, msg1=\"接続待ち\", msg2=\"\"\r\n"),
            std::string::npos);
  ASSERT_GE(log.size(), 10u);
  EXPECT_EQ(log.substr(log.size() - 10), "SHUTDOWN\r\n");
}

TEST_F(HeadlessHost, PcFolderOptionSetsChannelOne) {
  UseFreePorts();
  test::TempFolder media;
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home_.path(), "--pc-folder", media.path()}));
  ASSERT_TRUE(server.WaitForLine("status 0x0001"));
  EXPECT_EQ(platform::ReadIniString(ini_, "ch.1", "pcPath", ""), media.path());
  EXPECT_EQ(platform::ReadIniString(ini_, "ch.1", "iType", ""), "0");
  server.child().Kill();
}

// A Japanese user name under the users' folder is the common case on
// Windows: the folders must arrive whole, not in the ANSI code page.
TEST_F(HeadlessHost, JapaneseFoldersWithBlanksAreHomeAndServedFolder) {
  const std::string home = home_.Join("ホーム フォルダ");
  const std::string media = home_.Join("動画 フォルダ");
  ASSERT_TRUE(platform::CreateFolder(home));
  ASSERT_TRUE(platform::CreateFolder(media));
  test::WriteFileOrFail(media + platform::kNativeSeparator + "夏の海.mp4", "video");
  UseFreePortsIn(home + platform::kNativeSeparator + "VelmorVRServer.ini");
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home, "--pc-folder", media}));
  ASSERT_TRUE(server.WaitForLine("status 0x0001 接続待ち"));
  const auto home_line =
      std::find_if(server.lines().begin(), server.lines().end(),
                   [](const std::string& line) { return line.rfind("home: ", 0) == 0; });
  ASSERT_NE(home_line, server.lines().end());
  EXPECT_NE(home_line->find("ホーム フォルダ"), std::string::npos) << *home_line;

  player::PlayerClient player;
  std::string error;
  ASSERT_TRUE(player.Connect(platform::Ipv4Address::Loopback(), command_port_, kWaitMs, &error))
      << error;
  ASSERT_TRUE(player.Handshake({}).Admitted());
  const player::Reply reply = player.ExchangeText("#CMD_GET_CHANNEL(<ch>1)");
  std::vector<std::string> names;
  for (const player::Chunk& chunk : reply.chunks) {
    if (chunk.code != "RTFL") continue;
    for (const auto& record : player::DecodeListRecords(chunk.payload, &error)
                                  .value_or(std::vector<player::ListRecord>())) {
      names.push_back(record.name);
    }
  }
  EXPECT_EQ(names, std::vector<std::string>{"夏の海.mp4"});
  player.Close();
  if (CanSignal(server)) {
    EXPECT_EQ(server.Stop(), 1);
  }
}

// Whether the player can be admitted by the server that printed its ports.
void ExpectAdmitted(uint16_t command_port) {
  player::PlayerClient player;
  std::string error;
  ASSERT_TRUE(player.Connect(platform::Ipv4Address::Loopback(), command_port, kWaitMs, &error))
      << error;
  player.set_timeout_ms(kWaitMs);
  EXPECT_TRUE(player.Handshake({}).Admitted());
}

size_t CountLines(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// Lines that start and end so (the folder between is the system's to spell).
[[maybe_unused]] size_t CountLines(const std::vector<std::string>& lines, const std::string& start,
                                   const std::string& end) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.size() >= start.size() + end.size() && l.rfind(start, 0) == 0 &&
           l.compare(l.size() - end.size(), end.size(), end) == 0;
  }));
}

constexpr char kPluginFailedLine[] = "DLL エラー: Tarnwick.dll の読み込みに失敗しました。";

// The built server sits beside the built plug-in on Windows; elsewhere
// there is no plug-in and the server says so once and serves.
TEST_F(HeadlessHost, TellsWhetherThePlayerPluginIsBoundAndServes) {
  UseFreePorts();
  // A failed binding would wait for a click on its message box.
  const test::ScopedEnvironment no_boxes("VELMOR_MESSAGE_BOX_TO_OUTPUT", "1");
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home_.path()}));
  ASSERT_TRUE(server.WaitForLine("status 0x0001"));
#ifdef _WIN32
  EXPECT_EQ(CountLines(server.lines(), "plug-in: bound ", "\\bin\\Tarnwick.dll"), 1u);
#else
  EXPECT_EQ(CountLines(server.lines(),
                       "plug-in: none on this system (Tarnwick.dll is a Windows library)"),
            1u);
#endif
  EXPECT_EQ(CountLines(server.lines(), kPluginFailedLine), 0u);
  ExpectAdmitted(command_port_);
  if (CanSignal(server)) {
    EXPECT_EQ(server.Stop(), 1);
  }
}

#ifdef _WIN32
// The server copied to a folder of its own (with the mouse library it
// imports): the plug-in only in the player application's plug-in folder,
// and nowhere.
TEST_F(HeadlessHost, FindsThePluginInThePlayersFolderOrRunsWithoutIt) {
  const test::ScopedEnvironment no_boxes("VELMOR_MESSAGE_BOX_TO_OUTPUT", "1");
  // This test program is built beside the server and its libraries.
  const std::string built = platform::ExecutableFolder() + "\\";
  const auto copy = [&](const std::string& name, const std::string& to) {
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(built + name, &bytes)) << built + name;
    test::WriteFileOrFail(to, bytes);
  };
  for (const bool with_plugin : {true, false}) {
    SCOPED_TRACE(with_plugin);
    test::TempFolder program;
    test::TempFolder home;
    UseFreePortsIn(home.Join("VelmorVRServer.ini"));
    copy("velmorvr-server.exe", program.Join("velmorvr-server.exe"));
    copy("Pivra.dll", program.Join("Pivra.dll"));
    if (with_plugin) {
      ASSERT_TRUE(platform::CreateFolder(program.Join("VelmorVR_Data")));
      ASSERT_TRUE(platform::CreateFolder(program.Join("VelmorVR_Data/Plugins")));
      copy("Tarnwick.dll", program.Join("VelmorVR_Data/Plugins/Tarnwick.dll"));
    }
    ServerProcess server;
    ASSERT_TRUE(server.Start({"--home", home.path()}, program.Join("velmorvr-server.exe")));
    ASSERT_TRUE(server.WaitForLine("status 0x0001"));
    if (with_plugin) {
      EXPECT_EQ(
          CountLines(server.lines(), "plug-in: bound ", "\\VelmorVR_Data\\Plugins\\Tarnwick.dll"),
          1u);
      EXPECT_EQ(CountLines(server.lines(), kPluginFailedLine), 0u);
    } else {
      EXPECT_EQ(CountLines(server.lines(), kPluginFailedLine), 1u);
      EXPECT_EQ(CountLines(server.lines(), "plug-in: none, running without it"), 1u);
    }
    ExpectAdmitted(command_port_);
    server.child().Kill();
    server.Finish();
  }
}
#endif

TEST_F(HeadlessHost, ExitsWithZeroWhenTheSettingsFileCannotBeCreated) {
  test::WriteFileOrFail(home_.Join("file"), "");
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home_.Join("file/home")}));
  EXPECT_EQ(server.Finish(), 0);
}

TEST_F(HeadlessHost, RefusesUnknownArguments) {
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--frobnicate"}));
  EXPECT_EQ(server.Finish(), 2);
}

}  // namespace
}  // namespace velmor

namespace velmor {
namespace {

// The config subcommand as a shell user runs it: its exit code and output.
struct ConfigRun {
  int exit_code = -1;
  std::string output;
};

ConfigRun Config(const std::string& home, std::vector<std::string> words) {
  words.insert(words.begin(), {"--home", home, "config"});
  ServerProcess program;
  ConfigRun run;
  EXPECT_TRUE(program.Start(words));
  run.exit_code = program.Finish();
  run.output = program.Output();
  return run;
}

std::string FileBytes(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, &bytes);
  return bytes;
}

TEST_F(HeadlessHost, ConfigWritesAsTheServerDoesRefusesBadValuesAndAppliesToARunningServer) {
  // The same values written by the config subcommand into a fresh home and
  // by the server's own INI writer into a file the server made.
  const std::vector<std::pair<std::string, std::string>> values = {
      {"Config.iPortHttp", "12000"}, {"Config.pcPassword", "パス word"}, {"File.pcExt", "mp4 mkv"},
      {"ch.3.iType", "0"},           {"ch.3.pcPath", "/srv/media"},
  };
  // Both homes start from the same two ports, so the server can run.
  test::TempFolder server_home;
  const std::string server_ini =
      server_home.path() + platform::kNativeSeparator + "VelmorVRServer.ini";
  const std::string command_port = std::to_string(FreePort());
  const std::string http_port = std::to_string(FreePort());
  for (const std::string& ini : {ini_, server_ini}) {
    ASSERT_TRUE(platform::CreateUtf16File(ini));
    ASSERT_TRUE(platform::WriteIniString(ini, "Config", "iPortServer", command_port));
    ASSERT_TRUE(platform::WriteIniString(ini, "Config", "iPortHttp", http_port));
  }
  for (const auto& [key, value] : values) {
    EXPECT_EQ(Config(home_.path(), {"set", key, value}).exit_code, 0) << key;
  }
  {
    ServerProcess server;
    ASSERT_TRUE(server.Start({"--home", server_home.path()}));
    ASSERT_TRUE(server.WaitForLine("status 0x0001"));
    server.child().Kill();
    server.Finish();
  }
  for (const auto& [key, value] : values) {
    const size_t dot = key.rfind('.');
    ASSERT_TRUE(
        platform::WriteIniString(server_ini, key.substr(0, dot), key.substr(dot + 1), value));
  }
  EXPECT_EQ(FileBytes(server_ini), FileBytes(ini_));

  // Refused: the file stays byte for byte.
  const std::string before = FileBytes(ini_);
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{"set", "Config.iNoSuchKey", "1"},
                                             {"set", "Config.iLiveTimeOutSec", "12x"},
                                             {"set", "Config.iPortServer", "70000"},
                                             {"set", "ch.2.iType", "5"},
                                             {"channel", "8", "folder", "/srv"},
                                             {"channel", "2", "cinema"},
                                             {"frobnicate"}}) {
    EXPECT_EQ(Config(home_.path(), words).exit_code, 2) << words[0];
  }
  EXPECT_EQ(FileBytes(ini_), before);
  EXPECT_EQ(Config(home_.path(), {"get", "Config.pcPassword"}).output, "パス word\n");

#ifndef _WIN32  // a console program on Windows cannot be asked to reload
  // A running server applies what config changes, without a restart.
  UseFreePorts();
  const std::string media = home_.path() + platform::kNativeSeparator + "media";
  ASSERT_TRUE(platform::CreateFolder(media));
  ASSERT_EQ(Config(home_.path(), {"channel", "3", "folder", media}).exit_code, 0);
  ServerProcess server;
  ASSERT_TRUE(server.Start({"--home", home_.path()}));
  ASSERT_TRUE(server.WaitForLine("status 0x0001"));
  ASSERT_EQ(Config(home_.path(), {"channel", "4", "vr"}).exit_code, 0);
  const ConfigRun log_on = Config(home_.path(), {"set", "Config.iServerLog", "1"});
  EXPECT_NE(log_on.output.find("applies the settings now"), std::string::npos) << log_on.output;
  ASSERT_TRUE(server.WaitForLine("settings: reloaded"));
  EXPECT_NE(Config(home_.path(), {"set", "Config.iPortMouse", "12345"})
                .output.find("takes effect at the server's next start"),
            std::string::npos);
  player::PlayerClient player;
  std::string error;
  ASSERT_TRUE(player.Connect(platform::Ipv4Address::Loopback(), command_port_, kWaitMs, &error))
      << error;
  const player::HandshakeReply reply = player.Handshake({});
  ASSERT_TRUE(reply.Admitted());
  std::string names;
  for (const player::Chunk& chunk : reply.setup.chunks) {
    names += player::DecodeWireText(chunk.payload, nullptr).value_or("");
  }
  EXPECT_NE(names.find("<type.3>0,<name.3>\"PCフォルダ\""), std::string::npos) << names;
  EXPECT_NE(names.find("<type.4>1,<name.4>\"VRデバイス\""), std::string::npos) << names;
  EXPECT_EQ(platform::GetPathType(log_), platform::PathType::kFile);  // the log went on
  player.Close();
  EXPECT_EQ(server.Stop(), 1);
#endif
}

}  // namespace
}  // namespace velmor
