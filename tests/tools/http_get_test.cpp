#include "http_get.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_peer.h"
#include "test_support.h"

namespace velmor::player {
namespace {

using test::FakePeer;
using test::PeerConnection;

TEST(PercentEncodePathTest, KeepsPathCharactersAndEncodesTheRest) {
  EXPECT_EQ(PercentEncodePath("/home/u/a-b_c.d~e.mp4"), "/home/u/a-b_c.d~e.mp4");
  EXPECT_EQ(PercentEncodePath("C:/Videos/a b.mp4"), "C:/Videos/a%20b.mp4");
  EXPECT_EQ(PercentEncodePath("a%?#&+\\\"."), "a%25%3F%23%26%2B%5C%22.");
  EXPECT_EQ(PercentEncodePath("動画.mp4"), "%E5%8B%95%E7%94%BB.mp4");
}

TEST(BuildHttpGetTest, PutsTheFullPathBehindTheRequestSlash) {
  EXPECT_EQ(BuildHttpGet({"/home/u/a b.mp4", 1000, 1}, "10.0.0.2:11921"),
            "GET //home/u/a%20b.mp4?stream=1 HTTP/1.1\r\nHost: 10.0.0.2:11921\r\n"
            "Range: bytes=1000-\r\n\r\n");
  EXPECT_EQ(BuildHttpGet({"C:/v/a.mp4", std::nullopt, std::nullopt}, "h"),
            "GET /C:/v/a.mp4 HTTP/1.1\r\nHost: h\r\n\r\n");
}

TEST(ParseHttpResponseHeadTest, ReadsStatusHeadersAndLength) {
  std::string error;
  const auto head = ParseHttpResponseHead(
      "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
      "Content-Range: bytes 1000-4999/5000\r\ncontent-length:  4000 ",
      &error);
  ASSERT_TRUE(head) << error;
  EXPECT_EQ(head->status, 206);
  EXPECT_EQ(head->status_line, "HTTP/1.1 206 Partial Content");
  ASSERT_EQ(head->headers.size(), 3u);
  EXPECT_EQ(head->content_length, 4000);
  EXPECT_EQ(head->Header("CONTENT-RANGE"), "bytes 1000-4999/5000");
  EXPECT_FALSE(head->Header("Server"));

  const auto not_found = ParseHttpResponseHead("HTTP/1.1 404 File Not Find", &error);
  ASSERT_TRUE(not_found);
  EXPECT_EQ(not_found->status, 404);
  EXPECT_FALSE(not_found->content_length);
}

TEST(ParseHttpResponseHeadTest, RefusesMalformedHeads) {
  for (const char* bad : {"", "PACK", "HTTP/1.1 2x0 OK", "HTTP/1.1 2000 OK", "HTTP/1.1",
                          "HTTP/1.1 200 OK\r\nno colon", "HTTP/1.1 200 OK\r\nContent-Length: -1",
                          "HTTP/1.1 200 OK\r\nContent-Length: 1x",
                          "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2"}) {
    EXPECT_FALSE(ParseHttpResponseHead(bad, nullptr)) << bad;
  }
}

HttpResponseHead Head(const std::string& text) { return *ParseHttpResponseHead(text, nullptr); }

TEST(CheckHttpAnswerTest, AcceptsCorrectAnswersAndNamesMismatches) {
  const HttpGetRequest ranged{"/a.mp4", 1000, 1};
  const HttpGetRequest whole{"/a.mp4", std::nullopt, std::nullopt};
  const HttpGetRequest from_zero{"/a.mp4", 0, std::nullopt};
  const auto partial = Head(
      "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-4999/5000\r\n"
      "Content-Length: 4000");
  EXPECT_TRUE(CheckHttpAnswer(partial, ranged).empty());
  EXPECT_TRUE(CheckHttpAnswer(Head("HTTP/1.1 200 OK\r\nContent-Length: 5000"), whole).empty());
  EXPECT_TRUE(CheckHttpAnswer(Head("HTTP/1.1 200 OK\r\nContent-Length: 5000"), from_zero).empty());
  EXPECT_TRUE(CheckHttpAnswer(Head("HTTP/1.1 404 File Not Find"), ranged).empty());

  EXPECT_EQ(CheckHttpAnswer(Head("HTTP/1.1 200 OK\r\nContent-Length: 5000"), ranged).size(), 1u);
  EXPECT_EQ(CheckHttpAnswer(Head("HTTP/1.1 200 OK"), whole).size(), 1u);
  EXPECT_EQ(CheckHttpAnswer(Head("HTTP/1.1 206 P\r\nContent-Length: 4000"), ranged).size(), 1u);
  const auto wrong =
      Head("HTTP/1.1 206 P\r\nContent-Range: bytes 999-4998/5000\r\nContent-Length: 4000");
  EXPECT_EQ(CheckHttpAnswer(wrong, ranged).size(), 3u);
}

class HttpGetTest : public testing::Test {
 protected:
  velmor::test::TempFolder folder_;
};

TEST_F(HttpGetTest, WritesTheBodyOfARangedAnswer) {
  std::string request;
  FakePeer peer([&](PeerConnection& connection) {
    request = connection.ReceiveUntil("\r\n\r\n").value_or("");
    // Header and body in separate sends, followed by bytes beyond the length.
    connection.Send(
        "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
        "Content-Range: bytes 3-9/10\r\nContent-Length: 7\r\n\r\n34");
    connection.Send("56789extra");
    connection.WaitForClose();
  });
  const std::string output = folder_.Join("out.bin");
  const HttpGetResult result = HttpGet(platform::Ipv4Address::Loopback(), peer.port(),
                                       {"/tmp/a b.mp4", 3, 2}, output, 10000);
  peer.Join();
  ASSERT_TRUE(result.error.empty()) << result.error;
  EXPECT_EQ(request, "GET //tmp/a%20b.mp4?stream=2 HTTP/1.1\r\nHost: 127.0.0.1:" +
                         std::to_string(peer.port()) + "\r\nRange: bytes=3-\r\n\r\n");
  EXPECT_EQ(result.head.status, 206);
  EXPECT_EQ(result.body_bytes, 7);
  EXPECT_EQ(velmor::test::ReadFileOrEmpty(output), "3456789");
}

TEST_F(HttpGetTest, NotFoundCreatesNoFile) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceiveUntil("\r\n\r\n");
    connection.Send("HTTP/1.1 404 File Not Find\r\n\r\n");
    connection.WaitForClose();
  });
  const std::string output = folder_.Join("missing.bin");
  const HttpGetResult result = HttpGet(platform::Ipv4Address::Loopback(), peer.port(),
                                       {"/no/such.mp4", std::nullopt, std::nullopt}, output, 10000);
  EXPECT_TRUE(result.error.empty()) << result.error;
  EXPECT_EQ(result.head.status, 404);
  EXPECT_EQ(result.body_bytes, 0);
  EXPECT_EQ(velmor::test::ReadFileOrEmpty(output), "");
}

TEST_F(HttpGetTest, ReportsABodyCutShort) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceiveUntil("\r\n\r\n");
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123");
    connection.Close();
  });
  const HttpGetResult result =
      HttpGet(platform::Ipv4Address::Loopback(), peer.port(),
              {"/a.mp4", std::nullopt, std::nullopt}, folder_.Join("cut.bin"), 10000);
  EXPECT_NE(result.error.find("after 4 of 10 body bytes"), std::string::npos) << result.error;
  EXPECT_EQ(result.body_bytes, 4);
}

TEST_F(HttpGetTest, RefusesAnAnswerThatIsNotHttp) {
  FakePeer peer([&](PeerConnection& connection) {
    connection.ReceiveUntil("\r\n\r\n");
    connection.Send(std::string("PACK\0\0\0\0\r\n\r\n", 12));
    connection.WaitForClose();
  });
  const HttpGetResult result =
      HttpGet(platform::Ipv4Address::Loopback(), peer.port(),
              {"/a.mp4", std::nullopt, std::nullopt}, folder_.Join("x.bin"), 10000);
  EXPECT_NE(result.error.find("bad status line"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace velmor::player
