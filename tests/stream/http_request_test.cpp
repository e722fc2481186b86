// The request side of the stream server as text: header blocks, targets,
// percent-decoding, request buffering and the exact answer bytes.
#include "stream/http_request.h"

#include <gtest/gtest.h>

#include <string>

#include "stream/http_response.h"
#include "stream/percent_decode.h"
#include "stream/request_buffer.h"

namespace velmor {
namespace {

TEST(ParseHttpRequestTest, ReadsTheTargetAndTheRangeStart) {
  const auto request = ParseHttpRequest(
      "GET //home/u/a%20b.mp4?stream=1 HTTP/1.1\r\nHost: 10.0.0.2:11921\r\n"
      "Range: bytes=1000-4999\r\n\r\n");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->target, "/home/u/a%20b.mp4?stream=1");
  EXPECT_EQ(request->range, ByteRange::From(1000)) << "the end position is not read";

  const auto windows = ParseHttpRequest("GET /C:/v/a.mp4 HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(windows);
  EXPECT_EQ(windows->target, "C:/v/a.mp4");
  EXPECT_FALSE(windows->range);
}

TEST(ParseHttpRequestTest, ReadsRangesAsRealClientsWriteThem) {
  auto range = [](const std::string& line) {
    return ParseHttpRequest("GET /a.mp4 HTTP/1.1\r\n" + line + "\r\n\r\n")->range;
  };
  EXPECT_EQ(range("range: bytes=0-"), ByteRange::From(0)) << "header names ignore case";
  EXPECT_EQ(range("Range: bytes=-500"), ByteRange::Suffix(500));
  EXPECT_EQ(range("Range: bytes=7-8, 20-30"), ByteRange::From(7)) << "the first start counts";
  EXPECT_EQ(range("Range: bytes=99999999999999999999999-"), ByteRange::From(INT64_MAX))
      << "too large for 64 bits: past any end";
  EXPECT_FALSE(range("Range: bytes=x-")) << "not understood: the whole file";
  EXPECT_FALSE(range("Range: items=5-"));
  EXPECT_FALSE(range("Ranges: bytes=5-"));
  EXPECT_FALSE(range("X-Range: bytes=5-"));
}

TEST(ParseHttpRequestTest, OnlyGetRequestsAreRequests) {
  EXPECT_FALSE(ParseHttpRequest("HEAD /a.mp4 HTTP/1.1\r\n\r\n"));
  EXPECT_FALSE(ParseHttpRequest("get /a.mp4 HTTP/1.1\r\n\r\n")) << "the method is case-sensitive";
  EXPECT_FALSE(ParseHttpRequest("Range: bytes=5-\r\n\r\n"));
  EXPECT_FALSE(ParseHttpRequest("GET /a.mp4 HTTP/1.1"));
  const auto bare = ParseHttpRequest("GET \r\n\r\n");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->target, "");
}

TEST(ByteRangeTest, GivesTheFirstByteForAFileSize) {
  EXPECT_EQ(ByteRange::From(1000).StartFor(5000), 1000);
  EXPECT_EQ(ByteRange::From(6000).StartFor(5000), 6000) << "refused by the caller";
  EXPECT_EQ(ByteRange::Suffix(500).StartFor(5000), 4500);
  EXPECT_EQ(ByteRange::Suffix(9000).StartFor(5000), 0) << "longer than the file: all of it";
}

TEST(SplitRequestTargetTest, TakesTheSlotFromTheQuery) {
  RequestTarget target = SplitRequestTarget("/home/u/a.mp4?stream=3");
  EXPECT_EQ(target.path, "/home/u/a.mp4");
  EXPECT_EQ(target.stream, 3);
  EXPECT_EQ(SplitRequestTarget("/a.mp4").stream, 0) << "no query: slot 0";
  EXPECT_EQ(SplitRequestTarget("/a.mp4?x=1").stream, 0) << "no stream=: slot 0";
  EXPECT_EQ(SplitRequestTarget("/a.mp4?x=1&stream=2").stream, 2);
  EXPECT_EQ(SplitRequestTarget("/a.mp4?stream=").stream, 0);
  EXPECT_EQ(SplitRequestTarget("/a.mp4?stream=-1").stream, -1);
  EXPECT_EQ(SplitRequestTarget("/a.mp4?stream=99999999999").stream, -1);
}

TEST(SplitRequestTargetTest, SplitsBeforeDecodingSoAnEncodedQuestionMarkStays) {
  const RequestTarget target = SplitRequestTarget("/v/what%3F.mp4?stream=1");
  EXPECT_EQ(target.path, "/v/what%3F.mp4");
  EXPECT_EQ(PercentDecode(target.path), "/v/what?.mp4");
  EXPECT_EQ(target.stream, 1);
}

TEST(PercentDecodeTest, DecodesPairsAndCopiesTheRest) {
  EXPECT_EQ(PercentDecode("/v/a%20b%2fc%2F.mp4"), "/v/a b/c/.mp4");
  EXPECT_EQ(PercentDecode("%E5%8B%95%E7%94%BB.mp4"), "動画.mp4");
  EXPECT_EQ(PercentDecode("100%.mp4"), "100%.mp4");
  EXPECT_EQ(PercentDecode("a%zzb%4"), "a%zzb%4");
  EXPECT_EQ(PercentDecode("%4g%"), "%4g%");
  EXPECT_EQ(PercentDecode("%%41"), "%A");
}

TEST(DecodeRequestPathTest, RefusesLongPathsAndNulBytes) {
  const std::string fitting(kMaxRequestPathUnits, 'a');
  EXPECT_EQ(DecodeRequestPath(fitting), fitting);
  EXPECT_FALSE(DecodeRequestPath(fitting + "a"));
  // Counted in UTF-16 characters: 291 Japanese characters fit (873 bytes).
  std::string japanese;
  for (size_t i = 0; i < kMaxRequestPathUnits; ++i) japanese += "%E5%8B%95";
  EXPECT_TRUE(DecodeRequestPath(japanese));
  EXPECT_FALSE(DecodeRequestPath(japanese + "a"));
  EXPECT_FALSE(DecodeRequestPath("/x/secret.txt%00.mp4"));
}

TEST(RequestBufferTest, HandsOutHeaderBlocksOnlyWhenComplete) {
  RequestBuffer buffer;
  std::string block;
  auto feed = [&](std::string_view bytes) {
    ASSERT_LE(bytes.size(), buffer.free_size());
    std::copy(bytes.begin(), bytes.end(), buffer.free_space());
    buffer.Commit(bytes.size());
  };
  feed("GET /a.mp4 HTTP/1.1\r\nRange: by");
  EXPECT_EQ(buffer.TakeRequest(&block), RequestBuffer::Next::kNeedMore);
  feed("tes=10-\r\n\r");
  EXPECT_EQ(buffer.TakeRequest(&block), RequestBuffer::Next::kNeedMore);
  feed("\nGET /b.mp4 HTTP/1.1\r\n\r\nGET /c");
  ASSERT_EQ(buffer.TakeRequest(&block), RequestBuffer::Next::kRequest);
  EXPECT_EQ(block, "GET /a.mp4 HTTP/1.1\r\nRange: bytes=10-\r\n\r\n");
  ASSERT_EQ(buffer.TakeRequest(&block), RequestBuffer::Next::kRequest);
  EXPECT_EQ(block, "GET /b.mp4 HTTP/1.1\r\n\r\n");
  EXPECT_EQ(buffer.TakeRequest(&block), RequestBuffer::Next::kNeedMore);
  EXPECT_EQ(buffer.size(), 6u) << "the start of the next request is kept";
}

TEST(RequestBufferTest, AFullBufferWithoutAnEmptyLineIsTooLong) {
  RequestBuffer buffer;
  std::string block;
  const std::string line = "GET /" + std::string(RequestBuffer::kCapacity - 7, 'a') + "\r\n";
  ASSERT_EQ(line.size(), RequestBuffer::kCapacity);
  std::copy(line.begin(), line.end(), buffer.free_space());
  buffer.Commit(line.size());
  EXPECT_EQ(buffer.free_size(), 0u);
  EXPECT_EQ(buffer.TakeRequest(&block), RequestBuffer::Next::kTooLong);

  // A block that fills the buffer exactly is still a request.
  RequestBuffer exact;
  const std::string request = "GET /" + std::string(RequestBuffer::kCapacity - 9, 'a') + "\r\n\r\n";
  std::copy(request.begin(), request.end(), exact.free_space());
  exact.Commit(request.size());
  EXPECT_EQ(exact.TakeRequest(&block), RequestBuffer::Next::kRequest);
}

TEST(HttpResponseTest, HeadersAreTheExactBytesThePlayerExpects) {
  EXPECT_EQ(OkHeader(5000), "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
  EXPECT_EQ(PartialHeader(1000, 5000),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 1000-4999/5000\r\nContent-Length: 4000\r\n\r\n");
  EXPECT_EQ(PartialHeader(4294967296LL, 8589934592LL),
            "HTTP/1.1 206 Partial Content\r\nAccept-Ranges: bytes\r\n"
            "Content-Range: bytes 4294967296-8589934591/8589934592\r\n"
            "Content-Length: 4294967296\r\n\r\n")
      << "64-bit numbers";
  EXPECT_EQ(NotFoundHeader(), "HTTP/1.1 404 File Not Find\r\n\r\n");
  EXPECT_EQ(RangeNotSatisfiableHeader(5000),
            "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */5000\r\n"
            "Content-Length: 0\r\n\r\n");
}

}  // namespace
}  // namespace velmor
