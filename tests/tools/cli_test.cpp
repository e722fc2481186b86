#include "cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "fake_peer.h"
#include "library/list_file.h"
#include "running_server.h"

namespace velmor::player {
namespace {

using test::FakePeer;
using test::PeerConnection;
using test::TextOf;

CliParse Parse(const std::vector<std::string>& arguments) { return ParseCommandLine(arguments); }

TEST(ParseCommandLineTest, ReadsGlobalOptionsAndEachCommand) {
  const CliParse setup = Parse({"10.0.0.5:1234", "--password", "pw", "--protocol", "219",
                                "--copyright", "C", "--timeout", "50", "setup"});
  ASSERT_TRUE(setup.options) << setup.error;
  EXPECT_EQ(setup.options->host, "10.0.0.5");
  EXPECT_EQ(setup.options->port, 1234);
  EXPECT_EQ(setup.options->password, "pw");
  EXPECT_EQ(setup.options->protocol_ver, 219);
  EXPECT_EQ(setup.options->copyright, "C");
  EXPECT_EQ(setup.options->timeout_ms, 50u);
  EXPECT_EQ(setup.options->command, CliCommand::kSetup);

  const CliParse channel =
      Parse({"h", "channel", "3", "--sort", "2", "--mode", "0", "--mode2", "-1", "--media", "7"});
  ASSERT_TRUE(channel.options) << channel.error;
  EXPECT_EQ(channel.options->port, 11922);
  EXPECT_EQ(ChannelCommandText(*channel.options),
            "#CMD_GET_CHANNEL(<ch>3,<sort_name>2,<sort_mode>0,<sort_mode_2nd>-1,<flag_media>7)");

  const CliParse cmd = Parse({"h", "cmd", "CM_PLAY", "/a b.mp4", "--password", "0"});
  ASSERT_TRUE(cmd.options) << cmd.error;
  EXPECT_EQ(cmd.options->command_name, "CM_PLAY");
  EXPECT_EQ(cmd.options->fields, (std::vector<std::string>{"/a b.mp4", "--password", "0"}));

  const CliParse get = Parse(
      {"h", "get", "/v/a.mp4", "--range", "100", "--stream", "2", "-o", "x.bin", "--timeout", "9"});
  ASSERT_TRUE(get.options) << get.error;
  EXPECT_EQ(get.options->path, "/v/a.mp4");
  EXPECT_EQ(get.options->range_start, 100);
  EXPECT_EQ(get.options->stream, 2);
  EXPECT_EQ(get.options->output, "x.bin");
  EXPECT_EQ(get.options->timeout_ms, 9u);

  // A negative channel is a number, sent as it is.
  const CliParse negative = Parse({"h", "channel", "-1"});
  ASSERT_TRUE(negative.options) << negative.error;
  EXPECT_EQ(negative.options->channel, -1);
}

TEST(ParseCommandLineTest, RefusesBadUsageWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"h"},
      {"h", "fly"},
      {":80", "setup"},
      {"h:0", "setup"},
      {"h:70000", "setup"},
      {"h:00000000000000000080", "setup"},  // more digits than any 64-bit number has
      {"h", "--timeout", "0", "setup"},
      {"h", "--password"},
      {"h", "setup", "extra"},
      {"h", "channel"},
      {"h", "channel", "x"},
      {"h", "channel", "1", "--range", "5"},
      {"h", "cmd"},
      {"h", "cmd", "CM_X", "1", "2", "3", "4", "5"},
      {"h", "get"},
      {"h", "get", "/a", "--range", "-5"},
      {"h", "get", "/a", "/b"},
  };
  for (const auto& arguments : bad) {
    const CliParse parse = Parse(arguments);
    EXPECT_FALSE(parse.options);
    EXPECT_FALSE(parse.error.empty());
  }
  EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(DefaultOutputNameTest, TakesTheLastComponent) {
  EXPECT_EQ(DefaultOutputName("/home/u/a.mp4"), "a.mp4");
  EXPECT_EQ(DefaultOutputName("C:\\v\\b.mkv"), "b.mkv");
  EXPECT_EQ(DefaultOutputName("c.mp4"), "c.mp4");
  EXPECT_EQ(DefaultOutputName("/v/"), "download");
}

// A server that admits the player and answers one binary command.
void AdmitAndAnswer(PeerConnection& connection, uint16_t http_port,
                    const std::vector<Chunk>& answer) {
  if (!connection.ReceivePacket()) return;
  connection.SendPacket({MakeTextChunk("#RET_VERSION(<protocol_ver>220)"),
                         MakeTextChunk("#RET_USE_HTTP(<port>" + std::to_string(http_port) + ")"),
                         MakeTextChunk("#RET_OK()")});
  if (!answer.empty() && connection.ReceivePacket()) connection.SendPacket(answer);
  connection.WaitForClose();
}

CliOptions OptionsFor(uint16_t port, CliCommand command) {
  CliOptions options;
  options.host = "127.0.0.1";
  options.port = port;
  options.command = command;
  return options;
}

Chunk SlotChunk() {
  // slot 0, value 12, text "x"
  return Chunk{"RTMS", test::Hex("00 00 0C 00 00 00 00 00 00 00 04 00 78 00 00 00")};
}

TEST(RunCliTest, CmdPrintsSlotsAndResultAndExitsByTheResult) {
  for (const bool ok : {true, false}) {
    const Chunk result = MakeTextChunk(ok ? "#RET_OK()" : "#RET_ERR(<code>2,<message>\"m\")");
    FakePeer peer([&](PeerConnection& c) { AdmitAndAnswer(c, 1, {SlotChunk(), result}); });
    CliOptions options = OptionsFor(peer.port(), CliCommand::kCmd);
    options.command_name = "CM_GET_HTTP_STREAM";
    std::ostringstream out, err;
    const int code = RunCli(options, out, err);
    EXPECT_EQ(code, ok ? kExitOk : kExitRefused) << err.str();
    EXPECT_EQ(out.str(), "slot 0: value 12 text \"x\"\n" + TextOf(result) + "\n");
  }
}

TEST(RunCliTest, SetupPrintsEveryHandshakeLine) {
  FakePeer peer([&](PeerConnection& c) { AdmitAndAnswer(c, 11921, {}); });
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(OptionsFor(peer.port(), CliCommand::kSetup), out, err), kExitOk);
  EXPECT_EQ(out.str(), "#RET_VERSION(<protocol_ver>220)\n#RET_USE_HTTP(<port>11921)\n#RET_OK()\n");
}

TEST(RunCliTest, ConnectionFailureExitsWithTwoAndSaysWhere) {
  // A port that was free a moment ago and has no listener now.
  uint16_t closed_port = 0;
  ASSERT_TRUE(platform::StartNetworking());
  {
    platform::Socket listener;
    ASSERT_TRUE(listener.ListenTcp(0, 1));
    closed_port = listener.LocalPort();
  }
  platform::StopNetworking();
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(OptionsFor(closed_port, CliCommand::kSetup), out, err), kExitFailure);
  EXPECT_EQ(err.str().rfind("cannot connect to 127.0.0.1:" + std::to_string(closed_port) + ": ", 0),
            0u)
      << err.str();
}

TEST(RunCliTest, GetDownloadsOverTheAnnouncedPortAfterTheHandshake) {
  velmor::test::TempFolder folder;
  std::string request;
  FakePeer http([&](PeerConnection& c) {
    request = c.ReceiveUntil("\r\n\r\n").value_or("");
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
    c.WaitForClose();
  });
  FakePeer command([&](PeerConnection& c) { AdmitAndAnswer(c, http.port(), {}); });
  CliOptions options = OptionsFor(command.port(), CliCommand::kGet);
  options.path = "/m/a.mp4";
  options.output = folder.Join("a.mp4");
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(options, out, err), kExitOk) << err.str();
  http.Join();
  EXPECT_EQ(request.rfind("GET //m/a.mp4 HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_EQ(velmor::test::ReadFileOrEmpty(options.output), "hello");
  EXPECT_NE(out.str().find("saved 5 bytes"), std::string::npos) << out.str();
}

TEST(ParseCommandLineTest, ReadsTheSearchCommands) {
  const CliParse search = Parse({"h", "search", "two", "words", "--mode", "9"});
  ASSERT_TRUE(search.options) << search.error;
  EXPECT_EQ(search.options->command, CliCommand::kSearch);
  EXPECT_EQ(search.options->query, "two words");
  EXPECT_EQ(search.options->search_mode, 9);

  const CliParse find = Parse({"h", "find", "/v/a b.mp4", "-1"});
  ASSERT_TRUE(find.options) << find.error;
  EXPECT_EQ(find.options->path, "/v/a b.mp4");
  EXPECT_EQ(find.options->find_size, -1);
  EXPECT_EQ(Parse({"h", "find", "/v/x", "123456789012"}).options->find_size, 123456789012);

  const CliParse getdir = Parse({"h", "getdir", "(Computer)"});
  ASSERT_TRUE(getdir.options) << getdir.error;
  EXPECT_EQ(getdir.options->path, "(Computer)");
  EXPECT_EQ(getdir.options->search_mode, 1) << "the server's own default";

  const std::vector<std::vector<std::string>> bad = {
      {"h", "search"},     {"h", "search", "x", "--mode"}, {"h", "search", "x", "--range", "1"},
      {"h", "find", "/a"}, {"h", "find", "/a", "big"},     {"h", "find", "/a", "1", "2"},
      {"h", "getdir"},     {"h", "getdir", "/a", "/b"},    {"h", "get", "/a", "--mode", "1"},
  };
  for (const auto& arguments : bad) {
    const CliParse parse = Parse(arguments);
    EXPECT_FALSE(parse.options) << arguments.back();
    EXPECT_FALSE(parse.error.empty());
  }
}

// The search commands against a running server, with real folders.
class SearchCliTest : public velmor::test::RunningServerTest {
 protected:
  void SetUp() override {
    RunningServerTest::SetUp();
    root_ = WithForwardSlashes(media_.path());
    ASSERT_TRUE(EnsureFolder(root_ + "/sub"));
    velmor::test::WriteFileOrFail(root_ + "/Two-Words.mp4", "12345");
    velmor::test::WriteFileOrFail(root_ + "/sub/two words.mp4", "1");
    velmor::test::WriteFileOrFail(home_.Join("SearchFolder1.vrl"), root_ + "\r\n");
    velmor::test::WriteFileOrFail(home_.Join("PCFolderList.vrl"), root_ + "\r\n#sc Videos\r\n");
    StartRuntime();
  }

  int Run(CliCommand command, std::string* out, std::string* err,
          const std::function<void(CliOptions*)>& set) {
    CliOptions options = OptionsFor(runtime_.command_server()->port(), command);
    options.poll_ms = 1;
    set(&options);
    std::ostringstream out_stream, err_stream;
    const int code = RunCli(options, out_stream, err_stream);
    *out = out_stream.str();
    *err = err_stream.str();
    return code;
  }

  velmor::test::TempFolder media_;
  std::string root_;
};

TEST_F(SearchCliTest, SearchPrintsEveryFoundPath) {
  std::string out, err;
  ASSERT_EQ(Run(CliCommand::kSearch, &out, &err, [](CliOptions* o) { o->query = "TWO words"; }),
            kExitOk)
      << err;
  EXPECT_NE(out.find("<path>\"" + root_ + "/Two-Words.mp4\"<file_size>5\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("<path>\"" + root_ + "/sub/two words.mp4\"<file_size>1\n"), std::string::npos)
      << out;
  EXPECT_NE(err.find("2 results"), std::string::npos) << err;
}

TEST_F(SearchCliTest, FindAndGetDirPrintTheirResults) {
  std::string out, err;
  ASSERT_EQ(Run(CliCommand::kFind, &out, &err,
                [&](CliOptions* o) {
                  o->path = root_ + "/old/Two-Words.mp4";
                  o->find_size = 5;
                }),
            kExitOk)
      << err;
  EXPECT_NE(out.find("<path>\"" + root_ + "/Two-Words.mp4\""), std::string::npos) << out;

  ASSERT_EQ(Run(CliCommand::kGetDir, &out, &err, [](CliOptions* o) { o->path = "(Computer)"; }),
            kExitOk)
      << err;
  EXPECT_EQ(out, "<flag>1<type>2<dir_name>\"" + root_ + "\"<disp_name>\"" + root_ + "\")\n" +
                     "<flag>1<type>3<dir_name>\"Videos\"<disp_name>\"Videos\")\n");

  ASSERT_EQ(Run(CliCommand::kGetDir, &out, &err,
                [&](CliOptions* o) {
                  o->path = root_;
                  o->search_mode = 2;
                }),
            kExitOk)
      << err;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << out;
}

}  // namespace
}  // namespace velmor::player

namespace velmor::player {
namespace {

TEST(ParseCommandLineTest, ReadsSaveChannelAndMarker) {
  CliParse parse = ParseCommandLine({"host", "save-channel", "7", "/v/a.mp4?<fs>100", "/v/b.mp4"});
  ASSERT_TRUE(parse.options.has_value()) << parse.error;
  EXPECT_EQ(parse.options->command, CliCommand::kSaveChannel);
  EXPECT_EQ(parse.options->channel, 7);
  const std::vector<Chunk> chunks = SaveChannelChunks(*parse.options);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(DecodeWireText(chunks[1].payload, nullptr).value_or(""),
            "#DAT_SAVE_CHANNEL(<fs>100,<path>\"/v/a.mp4\")");
  EXPECT_EQ(DecodeWireText(chunks[2].payload, nullptr).value_or(""),
            "#DAT_SAVE_CHANNEL(<fs>-10,<path>\"/v/b.mp4\")");
  EXPECT_EQ(DecodeWireText(chunks[3].payload, nullptr).value_or(""), "#DAT_END(<no>2)");
  EXPECT_FALSE(ParseCommandLine({"host", "save-channel", "x"}).error.empty());
  EXPECT_FALSE(ParseCommandLine({"host", "save-channel", "7", "/a\"b.mp4"}).error.empty());

  parse = ParseCommandLine({"host", "marker", "set", "42", "<en.0>1,<a.0>5,<b.0>9,", ""});
  ASSERT_TRUE(parse.options.has_value()) << parse.error;
  EXPECT_EQ(parse.options->command_name, "CM_SAVE_MARKER");
  EXPECT_EQ(parse.options->fields, (std::vector<std::string>{"42", "<en.0>1,<a.0>5,<b.0>9,", ""}));
  parse = ParseCommandLine({"host", "marker", "get", "42"});
  ASSERT_TRUE(parse.options.has_value()) << parse.error;
  EXPECT_EQ(parse.options->command_name, "CM_LOAD_MARKER");
  EXPECT_FALSE(ParseCommandLine({"host", "marker", "get"}).error.empty());
}

}  // namespace
}  // namespace velmor::player
