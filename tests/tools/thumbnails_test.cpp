#include "thumbnails.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_peer.h"

namespace velmor::player {
namespace {

using test::Hex;

std::string Answer(uint16_t index, uint16_t status, const std::string& info, int32_t size) {
  std::string payload;
  payload += static_cast<char>(index);
  payload += static_cast<char>(index >> 8);
  payload += static_cast<char>(status);
  payload += '\0';
  const size_t count = info.size() + 1;
  payload += static_cast<char>(count);
  payload += static_cast<char>(count >> 8);
  payload += info;
  payload += '\0';
  for (int i = 0; i < 4; ++i) payload += static_cast<char>(static_cast<uint32_t>(size) >> (8 * i));
  return payload;
}

TEST(ThumbnailWireTest, FetchChunksByIdAndByPath) {
  std::string error;
  const auto by_id = MakeThumbnailFetchChunk(2, {{1, 0x0102030405060708}, {0, -1}}, &error);
  ASSERT_TRUE(by_id) << error;
  EXPECT_EQ(by_id->code, "THUM");
  EXPECT_EQ(by_id->payload, Hex("02 00 02 00  01 00 08 07 06 05 04 03 02 01"
                                "00 00 ff ff ff ff ff ff ff ff"));
  const auto by_path = MakeThumbnailPathChunk(0, "/a.jpg", &error);
  ASSERT_TRUE(by_path) << error;
  EXPECT_EQ(by_path->payload,
            Hex("08 00 01 00 00 00 0e 00 2f 00 61 00 2e 00 6a 00 70 00 67 00 00 00"));
  EXPECT_FALSE(MakeThumbnailPathChunk(0, std::string(40000, 'a'), &error));
  EXPECT_FALSE(MakeThumbnailFetchChunk(1, std::vector<ThumbnailItem>(65536), &error));
}

TEST(ThumbnailWireTest, AnUploadIsCutIntoPacketsTheServerCanReceive) {
  std::string data(2 * 1048576 + 12345, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  std::string error;
  const auto packets = MakeUploadPackets(2024031510'00000007, "<make>3", data, &error);
  ASSERT_TRUE(packets) << error;
  ASSERT_EQ(packets->size(), 3u);
  const Chunk& header = (*packets)[0][0];
  EXPECT_EQ(header.code, "MKTH");
  EXPECT_EQ(header.payload,
            Hex("07 56 c6 ec 97 14 cf 02 10 00 3c 00 6d 00 61 00 6b 00 65 00 3e 00 33 00 00 00") +
                Hex("39 30 20 00"));
  std::string joined;
  for (const auto& packet : *packets) {
    EXPECT_LE(EncodePacket(packet).size(), kMaxPacketBytes);
    for (const Chunk& chunk : packet) {
      if (chunk.code == "DATA") joined += chunk.payload;
    }
  }
  EXPECT_EQ(joined, data);
  // The first packet is filled to the brim.
  EXPECT_EQ(EncodePacket((*packets)[0]).size(), kMaxPacketBytes);

  const auto empty = MakeUploadPackets(1, "", "", &error);
  ASSERT_TRUE(empty);
  ASSERT_EQ(empty->size(), 1u);
  EXPECT_EQ((*empty)[0].size(), 1u) << "no pieces for no picture";
}

TEST(ThumbnailWireTest, AnswersArePutTogetherWithTheirPieces) {
  std::string error;
  const std::vector<Chunk> chunks = {{"RTDT", Answer(0, 1, "<ver>220", 5)},
                                     {"RTDA", "abc"},
                                     {"RTDA", "de"},
                                     {"RTDT", Answer(1, 4, "", 0)},
                                     {"STRG", "x"},
                                     {"RTDT", Answer(2, 1, "", 1)},
                                     {"RTDA", "z"}};
  const auto thumbnails = CollectThumbnails(chunks, &error);
  ASSERT_TRUE(thumbnails) << error;
  ASSERT_EQ(thumbnails->size(), 3u);
  EXPECT_EQ((*thumbnails)[0].answer.info, "<ver>220");
  EXPECT_EQ((*thumbnails)[0].image, "abcde");
  EXPECT_EQ((*thumbnails)[1].answer.status, 4);
  EXPECT_EQ((*thumbnails)[1].image, "");
  EXPECT_EQ((*thumbnails)[2].image, "z");

  EXPECT_FALSE(CollectThumbnails({{"RTDT", Answer(0, 1, "", 5)}, {"RTDA", "abcdef"}}, &error));
  EXPECT_FALSE(CollectThumbnails({{"RTDT", Answer(0, 1, "", 5)}, {"RTDA", "abc"}}, &error));
  EXPECT_FALSE(CollectThumbnails({{"RTDA", "abc"}}, &error));
  EXPECT_FALSE(CollectThumbnails(
      {{"RTDT", Answer(0, 1, "", 2)}, {"RTDT", Answer(1, 1, "", 0)}, {"RTDA", "ab"}}, &error));
  EXPECT_FALSE(CollectThumbnails({{"RTDT", "short"}}, &error));
}

}  // namespace
}  // namespace velmor::player
