// The stream server end to end: a command server with an authenticated
// player on 127.0.0.1, real media files, and raw HTTP connections.
#include "stream/stream_server.h"

#include <gtest/gtest.h>

#include <string>

#include "http_get.h"
#include "platform/child_process.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/socket.h"
#include "stream_test_support.h"
#include "thumbnails.h"

namespace velmor {
namespace {

using player::PercentEncodePath;
using test::FirstPatternMismatch;
using test::GetText;
using test::kMiB;
using test::RawHttp;
using test::WaitFor;

constexpr char kNotFound[] = "HTTP/1.1 404 File Not Find\r\n\r\n";

class StreamServerTest : public test::StreamServerFixture {
 protected:
  void SetUp() override {
    StreamServerFixture::SetUp();
    ConnectPlayer();
  }

  // Sends the request and reads the whole answer body behind its header.
  static std::string Ask(RawHttp* http, const std::string& request, int64_t body_bytes,
                         std::string* body = nullptr) {
    EXPECT_TRUE(http->Send(request));
    const std::optional<std::string> head = http->ReadHead();
    if (!head) return "<no answer>";
    const std::string bytes = http->ReadBytes(body_bytes);
    if (body != nullptr) *body = bytes;
    return *head;
  }

  std::string Get(const std::string& path, const std::string& query,
                  std::optional<int64_t> range = std::nullopt) {
    return GetText(PercentEncodePath(path), query, range);
  }

  // The session holds the command lock all through a command that waits
  // for the player, and only for moments between its passes.
  bool SessionWaitsForThePlayer() {
    for (int check = 0; check < 10; ++check) {
      StatusEvent event;
      if (command_->status().Take(&event)) return false;
      platform::SleepMs(5);
    }
    return true;
  }
};

TEST_F(StreamServerTest, SlotsGetTheConfiguredOrTheSmallCache) {
  EXPECT_EQ(stream_->slot_count(), 5);
  for (int number = 0; number < 5; ++number) {
    const StreamSlot* slot = stream_->slot(number);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->block_bytes(), kMiB);
    EXPECT_EQ(slot->block_count(), number < 3 ? 32 : 2) << number;
    EXPECT_EQ(slot->protected_bytes(), number < 3 ? 8 * kMiB : 0) << number;
  }
  EXPECT_EQ(stream_->slot(5), nullptr);
}

TEST_F(StreamServerTest, RangesAreAnsweredWith206AndStartZeroWith200OnOneConnection) {
  const std::string path = MediaFile("a b.mp4", 5000);
  const std::string request = Get(path, "?stream=1", 1000);
#ifndef _WIN32
  EXPECT_EQ(request.rfind("GET //", 0), 0u) << "a full POSIX path follows the request's slash";
#endif
  EXPECT_NE(request.find("a%20b.mp4?stream=1 HTTP/1.1"), std::string::npos);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  std::string body;
  EXPECT_EQ(Ask(&http, request, 4000, &body),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 1000-4999/5000\r\nContent-Length: 4000\r\n\r\n");
  EXPECT_EQ(body.size(), 4000u);
  EXPECT_EQ(FirstPatternMismatch(body, 1000), -1);

  EXPECT_EQ(Ask(&http, Get(path, "?stream=1", 0), 5000, &body),
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
  EXPECT_EQ(FirstPatternMismatch(body, 0), -1);
  EXPECT_EQ(Ask(&http, Get(path, "?stream=1"), 5000, &body),
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
  EXPECT_EQ(body.size(), 5000u);
  EXPECT_TRUE(stream_->slot(1)->file_open());
  EXPECT_FALSE(stream_->slot(0)->file_open());
}

TEST_F(StreamServerTest, ARequestWithoutAStreamNumberUsesSlotZero) {
  const std::string path = MediaFile("a.mp4", 5000);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  EXPECT_EQ(Ask(&http, Get(path, ""), 5000), "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
  EXPECT_TRUE(stream_->slot(0)->file_open());
  RawHttp other;
  ASSERT_TRUE(other.Connect(stream_->port()));
  EXPECT_EQ(Ask(&other, Get(path, "?x=1"), 5000),
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
  for (int number = 1; number < 5; ++number) EXPECT_FALSE(stream_->slot(number)->file_open());
}

TEST_F(StreamServerTest, AStreamNumberOutsideTheSlotsIsDropped) {
  const std::string path = MediaFile("a.mp4", 5000);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  // The first two get no answer and the connection stays waiting for a
  // slot, so the first answer is the third request's.
  ASSERT_TRUE(http.Send(Get(path, "?stream=5")));
  ASSERT_TRUE(http.Send(Get(path, "?stream=-1")));
  EXPECT_EQ(Ask(&http, Get(path, "?stream=4", 100), 4900),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 100-4999/5000\r\nContent-Length: 4900\r\n\r\n");
  EXPECT_TRUE(stream_->slot(4)->file_open());
}

TEST_F(StreamServerTest, AFileOutsideTheMediaListsIsNotFoundAndTheConnectionStays) {
  const std::string text = MediaFile("notes.txt", 5000);
  const std::string video = MediaFile("a.MP4", 5000);
  const std::string image = MediaFile("b.jpeg", 100);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  EXPECT_EQ(Ask(&http, Get(text, "?stream=0"), 0), kNotFound);
  ASSERT_TRUE(platform::CreateFolder(media_.Join("folder.mp4")));
  EXPECT_EQ(Ask(&http, Get(media_.Join("folder.mp4"), "?stream=0"), 0), kNotFound);
  EXPECT_EQ(Ask(&http, Get(media_.Join("missing.mp4"), "?stream=0"), 0), kNotFound);
  EXPECT_EQ(Ask(&http, Get(video, "?stream=0"), 5000),
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n")
      << "extensions are compared without case";
  EXPECT_EQ(Ask(&http, Get(image, "?stream=0"), 100),
            "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
}

TEST_F(StreamServerTest, AppliedExtensionListsDecideTheNextRequests) {
  const std::string video = MediaFile("a.mp4", 100);
  const std::string webm = MediaFile("b.webm", 100);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  EXPECT_EQ(Ask(&http, Get(webm, "?stream=0"), 0), kNotFound);
  settings_.Update([](S_CONFIG& config) { config.pcExt = "webm"; });
  command_->ApplyServerSettings();
  EXPECT_EQ(Ask(&http, Get(webm, "?stream=0"), 100),
            "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
  EXPECT_EQ(Ask(&http, Get(video, "?stream=0"), 0), kNotFound);
}

TEST_F(StreamServerTest, WithoutAnAuthenticatedPlayerRequestsAreRefusedAndNewOnesWait) {
  const std::string path = MediaFile("a.mp4", 5000);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  EXPECT_EQ(Ask(&http, Get(path, "?stream=1"), 5000),
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
  DisconnectPlayer();
  EXPECT_EQ(Ask(&http, Get(path, "?stream=1"), 0), kNotFound);

  // Not accepted while nobody is authenticated: answered once the player is.
  RawHttp waiting;
  ASSERT_TRUE(waiting.Connect(stream_->port()));
  ASSERT_TRUE(waiting.Send(Get(path, "?stream=2")));
  ConnectPlayer();
  const std::optional<std::string> head = waiting.ReadHead();
  ASSERT_TRUE(head);
  EXPECT_EQ(*head, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
}

TEST_F(StreamServerTest, AnotherMachineThanThePlayersIsRefused) {
  // The player is at 127.0.0.1; a request from 127.0.0.2 comes from another
  // machine as far as the server can tell.
  const std::string path = MediaFile("a.mp4", 5000);
  RawHttp other;
  ASSERT_TRUE(other.ConnectFrom(*player::ParseIpv4("127.0.0.2"), stream_->port()));
  EXPECT_EQ(Ask(&other, Get(path, "?stream=0"), 0), kNotFound);
  RawHttp same;
  ASSERT_TRUE(same.Connect(stream_->port()));
  EXPECT_EQ(Ask(&same, Get(path, "?stream=0"), 5000),
            "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
}

TEST_F(StreamServerTest, ASecondGetForASlotClosesItsPreviousConnection) {
  const std::string path = MediaFile("big.mp4", 40 * kMiB);
  RawHttp first;
  ASSERT_TRUE(first.Connect(stream_->port()));
  ASSERT_TRUE(first.Send(Get(path, "?stream=2")));
  ASSERT_TRUE(first.ReadHead());
  RawHttp second;
  ASSERT_TRUE(second.Connect(stream_->port()));
  std::string body;
  EXPECT_EQ(Ask(&second, Get(path, "?stream=2", 30 * kMiB), kMiB, &body),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 31457280-41943039/41943040\r\nContent-Length: 10485760\r\n\r\n");
  EXPECT_EQ(FirstPatternMismatch(body, 30 * kMiB), -1);
  const std::optional<int64_t> first_bytes = first.ReadUntilClosed();
  ASSERT_TRUE(first_bytes) << "the first connection was not closed";
  EXPECT_LT(*first_bytes, 40 * kMiB);
}

// A request that is refused never reaches a slot: another machine naming
// the player's slot, or the player's own new connection naming a file that
// is no media, gets its 404 on its own connection, and the stream running
// on that slot goes on untouched.
TEST_F(StreamServerTest, ARefusedRequestLeavesTheSlotsStreamRunning) {
  const int64_t size = 40 * kMiB;
  const std::string path = MediaFile("big.mp4", size);
  const std::string text = MediaFile("notes.txt", 5000);
  RawHttp player;
  ASSERT_TRUE(player.Connect(stream_->port()));
  ASSERT_TRUE(player.Send(Get(path, "?stream=1")));
  ASSERT_EQ(player.ReadHead(), "HTTP/1.1 200 OK\r\nContent-Length: 41943040\r\n\r\n");
  std::string body = player.ReadBytes(kMiB);

  platform::Ipv4Address second_machine = platform::Ipv4Address::Loopback();
  second_machine.bytes[3] = 2;
  RawHttp stranger;
  ASSERT_TRUE(stranger.ConnectFrom(second_machine, stream_->port()));
  ASSERT_TRUE(stranger.Send(Get(path, "?stream=1", 20 * kMiB) + Get(path, "?stream=1")));
  EXPECT_EQ(stranger.ReadHead(), kNotFound);
  EXPECT_EQ(stranger.ReadHead(), kNotFound) << "the connection stays";
  RawHttp own;
  ASSERT_TRUE(own.Connect(stream_->port()));
  EXPECT_EQ(Ask(&own, Get(text, "?stream=1"), 0), kNotFound);

  body += player.ReadBytes(size - kMiB);
  EXPECT_EQ(body.size(), static_cast<size_t>(size));
  EXPECT_EQ(FirstPatternMismatch(body, 0), -1);
  // The refused connection still waits for a slot of its own.
  std::string tail;
  EXPECT_EQ(Ask(&own, Get(path, "?stream=3", size - 100), 100, &tail),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 41942940-41943039/41943040\r\nContent-Length: 100\r\n\r\n");
  EXPECT_EQ(FirstPatternMismatch(tail, size - 100), -1);
}

// A player whose connection drops in the middle of a thumbnail upload holds
// its session until the liveness time-out; the stream server does not wait
// for it: the running stream flows and a new GET is answered at once.
TEST_F(StreamServerTest, APlayerStalledInAnUploadHoldsUpNoStream) {
  settings_.Update([](S_CONFIG& config) { config.iLiveTimeOutSec = 30; });
  command_->ApplyServerSettings();
  const int64_t size = 40 * kMiB;
  const std::string path = MediaFile("big.mp4", size);
  RawHttp running;
  ASSERT_TRUE(running.Connect(stream_->port()));
  ASSERT_TRUE(running.Send(Get(path, "?stream=1")));
  ASSERT_EQ(running.ReadHead(), "HTTP/1.1 200 OK\r\nContent-Length: 41943040\r\n\r\n");
  std::string body = running.ReadBytes(kMiB);

  std::string error;
  const auto upload =
      player::MakeUploadPackets(1, "<make>3\n", std::string(kMiB + 5000, 'j'), &error);
  ASSERT_TRUE(upload.has_value()) << error;
  ASSERT_EQ(upload->size(), 2u);
  ASSERT_TRUE(player_->SendPacket(upload->at(0), &error)) << error;
  ASSERT_TRUE(WaitFor([&] { return SessionWaitsForThePlayer(); }));

  const uint32_t asked = platform::TickCount();
  RawHttp fresh;
  ASSERT_TRUE(fresh.Connect(stream_->port()));
  std::string tail;
  EXPECT_EQ(Ask(&fresh, Get(path, "?stream=2", size - 100), 100, &tail),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 41942940-41943039/41943040\r\nContent-Length: 100\r\n\r\n");
  EXPECT_EQ(FirstPatternMismatch(tail, size - 100), -1);
  EXPECT_LT(platform::TickDiff(platform::TickCount(), asked), 10000)
      << "the answer waited for the session";
  // Far more than the sockets' buffers hold, so the server sent it now.
  body += running.ReadBytes(20 * kMiB);
  EXPECT_EQ(body.size(), static_cast<size_t>(21 * kMiB));
  EXPECT_EQ(FirstPatternMismatch(body, 0), -1);
  EXPECT_TRUE(SessionWaitsForThePlayer()) << "the upload did not stall throughout";

  // The rest of the upload comes: the session answers it.
  ASSERT_TRUE(player_->SendPacket(upload->at(1), &error)) << error;
  const auto answer = player_->ReceivePacket(test::kWaitMs, &error);
  ASSERT_TRUE(answer.has_value()) << error;
  ASSERT_EQ(answer->size(), 1u);
  const auto text = player::DecodeWireText(answer->at(0).payload, &error);
  EXPECT_TRUE(text && player::ParseResultLine(*text)) << error;
}

TEST_F(StreamServerTest, AReconnectionInsideTheCachedBlocksIsServedWithoutReading) {
  const std::string path = MediaFile("a.mp4", 10 * kMiB);
  {
    RawHttp first;
    ASSERT_TRUE(first.Connect(stream_->port()));
    std::string body;
    Ask(&first, Get(path, "?stream=1"), 10 * kMiB, &body);
    ASSERT_EQ(FirstPatternMismatch(body, 0), -1);
  }
  const StreamSlot* slot = stream_->slot(1);
  ASSERT_TRUE(WaitFor([&] { return slot->read_position() == 10 * kMiB; }));
  const int64_t reads = slot->read_count();
  EXPECT_EQ(reads, 10);

  RawHttp second;
  ASSERT_TRUE(second.Connect(stream_->port()));
  std::string body;
  EXPECT_EQ(Ask(&second, Get(path, "?stream=1", 5000000), 10 * kMiB - 5000000, &body),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 5000000-10485759/10485760\r\nContent-Length: 5485760\r\n\r\n");
  EXPECT_EQ(FirstPatternMismatch(body, 5000000), -1);
  EXPECT_EQ(slot->read_count(), reads) << "the file was read again";
}

TEST_F(StreamServerTest, ReleasedSlotsCloseTheirFileOnceTheConnectionEnds) {
  const std::string path = MediaFile("a.mp4", 3 * kMiB);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  ASSERT_TRUE(http.Send(Get(path, "?stream=0")));
  ASSERT_TRUE(http.ReadHead());
  stream_->StopAllSessions();
  // The stream in flight goes on to its end.
  EXPECT_EQ(FirstPatternMismatch(http.ReadBytes(3 * kMiB), 0), -1);
  EXPECT_TRUE(stream_->slot(0)->file_open());
  http.Close();
  EXPECT_TRUE(WaitFor([&] { return !stream_->slot(0)->file_open(); }));

  // Without a connection the release closes the file at once.
  RawHttp next;
  ASSERT_TRUE(next.Connect(stream_->port()));
  Ask(&next, Get(path, "?stream=1"), 3 * kMiB);
  next.Close();
  ASSERT_TRUE(stream_->slot(1)->file_open());
  stream_->StopAllSessions();
  EXPECT_TRUE(WaitFor([&] { return !stream_->slot(1)->file_open(); }));
}

TEST_F(StreamServerTest, TheEndOfThePlayersSessionStopsItsStreamsInFlight) {
  const std::string path = MediaFile("a.mp4", 64 * kMiB);
  RawHttp flowing;
  ASSERT_TRUE(flowing.Connect(stream_->port()));
  ASSERT_TRUE(flowing.Send(Get(path, "?stream=0")));
  ASSERT_TRUE(flowing.ReadHead());
  ASSERT_EQ(FirstPatternMismatch(flowing.ReadBytes(kMiB), 0), -1);
  RawHttp between_requests;
  ASSERT_TRUE(between_requests.Connect(stream_->port()));
  Ask(&between_requests, Get(path, "?stream=1", 64 * kMiB - 5000), 5000);

  DisconnectPlayer();
  // Nothing the receiver has not taken yet (socket buffers) reaches 64 MiB.
  EXPECT_LT(static_cast<int64_t>(flowing.ReadBytes(64 * kMiB).size()), 63 * kMiB);
  EXPECT_TRUE(WaitFor([&] { return !stream_->slot(0)->file_open(); }));
  EXPECT_EQ(Ask(&between_requests, Get(path, "?stream=1"), 0), kNotFound);
}

TEST_F(StreamServerTest, ARequestInPiecesIsAnsweredOnce) {
  const std::string path = MediaFile("a.mp4", 5000);
  const std::string request = Get(path, "?stream=0", 1000);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  const size_t range = request.find("Range");
  ASSERT_TRUE(http.Send(request.substr(0, 10)));
  ASSERT_TRUE(http.Send(request.substr(10, range + 12 - 10)));
  ASSERT_TRUE(http.Send(request.substr(range + 12, request.size() - 1 - (range + 12))));
  ASSERT_TRUE(http.Send(request.substr(request.size() - 1)));
  const std::optional<std::string> head = http.ReadHead();
  ASSERT_TRUE(head);
  EXPECT_EQ(*head,
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 1000-4999/5000\r\nContent-Length: 4000\r\n\r\n");
  EXPECT_EQ(FirstPatternMismatch(http.ReadBytes(4000), 1000), -1);
}

TEST_F(StreamServerTest, AHeaderLongerThanTheBufferIsRefusedAndClosed) {
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  ASSERT_TRUE(http.Send("GET /" + std::string(5000, 'a')));
  const std::optional<std::string> head = http.ReadHead();
  ASSERT_TRUE(head);
  EXPECT_EQ(head->rfind("HTTP/1.1 414 ", 0), 0u) << *head;
  EXPECT_TRUE(http.ReadUntilClosed());
}

TEST_F(StreamServerTest, StartsPastTheEndGet416AndSuffixRangesTheLastBytes) {
  const std::string path = MediaFile("a.mp4", 5000);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  const std::string refusal =
      "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */5000\r\n"
      "Content-Length: 0\r\n\r\n";
  EXPECT_EQ(Ask(&http, Get(path, "?stream=0", 5000), 0), refusal);
  EXPECT_EQ(Ask(&http, Get(path, "?stream=0", 999999999999), 0), refusal);
  std::string body;
  EXPECT_EQ(Ask(&http, test::WithHeader(Get(path, "?stream=0"), "Range: bytes=-500"), 500, &body),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 4500-4999/5000\r\nContent-Length: 500\r\n\r\n");
  EXPECT_EQ(FirstPatternMismatch(body, 4500), -1);
}

TEST_F(StreamServerTest, ANewRequestOrARefusalStopsTheBodyInFlight) {
  const std::string path = MediaFile("big.mp4", 40 * kMiB);
  const std::string text = MediaFile("a.txt", 10);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  ASSERT_TRUE(http.Send(Get(path, "?stream=3")));
  ASSERT_TRUE(http.ReadHead());
  ASSERT_TRUE(http.Send(Get(text, "?stream=3")));
  // Whatever of the body was on its way comes first, then the refusal and
  // nothing after it.
  std::string received;
  size_t refusal = std::string::npos;
  while (refusal == std::string::npos) {
    const std::string piece = http.ReadSome();
    ASSERT_FALSE(piece.empty()) << "no refusal after " << received.size() << " bytes";
    received += piece;
    refusal = received.find(
        kNotFound, received.size() > 64 + piece.size() ? received.size() - piece.size() - 64 : 0);
  }
  EXPECT_EQ(FirstPatternMismatch(std::string_view(received).substr(0, refusal), 0), -1);
  EXPECT_LT(refusal, static_cast<size_t>(40 * kMiB));
  EXPECT_EQ(received.size(), refusal + std::string_view(kNotFound).size());
  EXPECT_EQ(Ask(&http, Get(path, "?stream=3", 40 * kMiB - 10), 10),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 41943030-41943039/41943040\r\nContent-Length: 10\r\n\r\n")
      << "no body bytes came between the refusal and this answer";
}

TEST_F(StreamServerTest, NamesWithBlanksJapaneseAndQuestionMarksAreFound) {
  std::vector<std::string> names = {"動画 テスト.mp4", "100%zz.mp4", "a%20b.mp4"};
#ifndef _WIN32
  names.push_back("what?.mp4");  // no such name on Windows
#endif
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  for (const std::string& name : names) {
    const std::string path = MediaFile(name, 1234);
    std::string body;
    EXPECT_EQ(Ask(&http, Get(path, "?stream=0"), 1234, &body),
              "HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n")
        << name;
    EXPECT_EQ(FirstPatternMismatch(body, 0), -1) << name;
  }
  // "%" without two hexadecimal digits is taken as it stands.
  EXPECT_EQ(
      Ask(&http, GetText(PercentEncodePath(media_.Join("100")) + "%zz.mp4", "?stream=0"), 1234),
      "HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n");
}

TEST_F(StreamServerTest, PathsTooLongOrWithNulBytesAreNotFound) {
  const std::string path = MediaFile("a.mp4", 100);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  const std::string long_path = media_.Join(std::string(300, 'x') + ".mp4");
  EXPECT_EQ(Ask(&http, Get(long_path, "?stream=0"), 0), kNotFound);
  const std::string encoded = PercentEncodePath(path);
  EXPECT_EQ(Ask(&http, GetText(encoded + "%00.mp4", "?stream=0"), 0), kNotFound);
  EXPECT_EQ(Ask(&http, GetText(encoded, "?stream=0"), 100),
            "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
}

TEST_F(StreamServerTest, APipeNamedLikeAVideoIsNotFoundAndBlocksNothing) {
  const std::string pipe = media_.Join("pipe.mp4");
  platform::ChildProcess mkfifo;
  int exit_code = -1;
  if (!mkfifo.Start({"mkfifo", pipe}) || !mkfifo.Wait(test::kWaitMs, &exit_code) ||
      exit_code != 0) {
    GTEST_SKIP() << "no mkfifo";
  }
  const std::string path = MediaFile("a.mp4", 100);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  EXPECT_EQ(Ask(&http, Get(pipe, "?stream=0"), 0), kNotFound);
  EXPECT_EQ(Ask(&http, Get(path, "?stream=0"), 100),
            "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
}

TEST_F(StreamServerTest, AFileThatShrinksWhileStreamedEndsTheConnection) {
  const std::string path = MediaFile("big.mp4", 40 * kMiB);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  ASSERT_TRUE(http.Send(Get(path, "?stream=3")));
  ASSERT_TRUE(http.ReadHead());
  {
    platform::File writer;
    if (!writer.Open(path, platform::File::Mode::kCreate)) GTEST_SKIP() << "cannot truncate";
  }
  const std::string body = http.ReadBytes(40 * kMiB);
  EXPECT_LT(body.size(), static_cast<size_t>(40 * kMiB));
  EXPECT_EQ(FirstPatternMismatch(body, 0), -1) << "only bytes read before it shrank";
  EXPECT_TRUE(http.ReadUntilClosed());
}

TEST_F(StreamServerTest, StoppingTheListenerEndsEveryConnection) {
  const std::string path = MediaFile("big.mp4", 40 * kMiB);
  RawHttp http;
  ASSERT_TRUE(http.Connect(stream_->port()));
  ASSERT_TRUE(http.Send(Get(path, "?stream=0")));
  ASSERT_TRUE(http.ReadHead());
  stream_->StopListener();
  EXPECT_FALSE(stream_->listening());
  EXPECT_EQ(stream_->slot(0), nullptr);
  EXPECT_EQ(stream_->slot_count(), 5) << "as the player was told";
  EXPECT_TRUE(http.ReadUntilClosed());
}

}  // namespace
}  // namespace velmor
