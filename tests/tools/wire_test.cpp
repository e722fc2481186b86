#include "wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_peer.h"

namespace velmor::player {
namespace {

using test::Hex;

TEST(WireTextTest, EncodesUtf16LeWithTerminatingZero) {
  EXPECT_EQ(EncodeWireText(""), Hex("00 00"));
  EXPECT_EQ(EncodeWireText("#A"), Hex("23 00 41 00 00 00"));
  // "検" is U+691C; "😀" is the surrogate pair D83D DE00.
  EXPECT_EQ(EncodeWireText("\xE6\xA4\x9C"), Hex("1C 69 00 00"));
  EXPECT_EQ(EncodeWireText("\xF0\x9F\x98\x80"), Hex("3D D8 00 DE 00 00"));
}

TEST(WireTextTest, DecodesWhatItEncodes) {
  for (const std::string text : {"", "#RET_OK()", "PCフォルダ", "a\xF0\x9F\x98\x80z"}) {
    EXPECT_EQ(DecodeWireText(EncodeWireText(text), nullptr), text);
  }
}

TEST(WireTextTest, RefusesTextsThatBreakTheLayout) {
  std::string error;
  EXPECT_FALSE(DecodeWireText("", &error));
  EXPECT_NE(error.find("terminating zero"), std::string::npos);
  EXPECT_FALSE(DecodeWireText(Hex("41 00"), &error));  // no zero
  EXPECT_NE(error.find("terminating zero"), std::string::npos);
  EXPECT_FALSE(DecodeWireText(Hex("41 00 00"), &error));  // odd count
  EXPECT_NE(error.find("odd"), std::string::npos);
  EXPECT_FALSE(DecodeWireText(Hex("41 00 00 00 42 00 00 00"), &error));  // zero inside
  EXPECT_NE(error.find("after its terminating zero"), std::string::npos);
}

TEST(CommandChunkTest, EncodesTheBinaryCommandLayout) {
  std::string error;
  const auto chunk = MakeCommandChunk({"CM_X", {"12", ""}}, &error);
  ASSERT_TRUE(chunk) << error;
  EXPECT_EQ(chunk->code, "MSGE");
  EXPECT_EQ(chunk->payload, Hex("0A 00  43 00 4D 00 5F 00 58 00 00 00"  // name, 10 bytes
                                "02 00"                                 // two fields
                                "06 00  31 00 32 00 00 00"              // "12"
                                "02 00  00 00"));                       // ""
}

TEST(CommandChunkTest, EncodesACommandWithoutFields) {
  const auto chunk = MakeCommandChunk({"CM_A", {}}, nullptr);
  ASSERT_TRUE(chunk);
  EXPECT_EQ(chunk->payload, Hex("0A 00 43 00 4D 00 5F 00 41 00 00 00 00 00"));
}

TEST(CommandChunkTest, RoundTripsNamesAndFields) {
  const Command commands[] = {
      {"CM_GET_HTTP_STREAM", {}},
      {"CM_PLAY", {"/home/u/ビデオ/a b.mp4", "0", "1"}},
      {"CM_GET_FILE_DATA", {"a", "b", "c", "d"}},
  };
  for (const Command& command : commands) {
    std::string error;
    const auto chunk = MakeCommandChunk(command, &error);
    ASSERT_TRUE(chunk) << error;
    EXPECT_EQ(DecodeCommand(chunk->payload, &error), command) << error;
  }
}

TEST(CommandChunkTest, RefusesWhatTheLayoutCannotCarry) {
  std::string error;
  EXPECT_FALSE(MakeCommandChunk({"CM_X", {"1", "2", "3", "4", "5"}}, &error));
  EXPECT_NE(error.find("at most 4"), std::string::npos);
  EXPECT_FALSE(MakeCommandChunk({"CM_X", {std::string(40000, 'a')}}, &error));
  EXPECT_NE(error.find("16-bit"), std::string::npos);
}

TEST(CommandChunkTest, DecodingRefusesTruncatedAndMalformedPayloads) {
  const std::string valid = MakeCommandChunk({"CM_X", {"12", "ab"}}, nullptr)->payload;
  for (size_t size = 0; size < valid.size(); ++size) {
    EXPECT_FALSE(DecodeCommand(valid.substr(0, size), nullptr)) << "prefix of " << size;
  }
  EXPECT_FALSE(DecodeCommand(valid + "x", nullptr));
  std::string error;
  EXPECT_FALSE(DecodeCommand(Hex("02 00 00 00  05 00"), &error));  // five fields
  EXPECT_NE(error.find("5 fields"), std::string::npos);
}

TEST(PacketTest, EncodesHeaderAndChunksBackToBack) {
  const std::vector<Chunk> chunks = {{"STRG", Hex("41 00 00 00")}, {"DATA", ""}};
  EXPECT_EQ(EncodePacket(chunks), Hex("50 41 43 4B  14 00 00 00"
                                      "53 54 52 47  04 00 00 00  41 00 00 00"
                                      "44 41 54 41  00 00 00 00"));
  EXPECT_EQ(EncodePacket({}), Hex("50 41 43 4B 00 00 00 00"));
}

TEST(PacketTest, FramesOnlyWholePackets) {
  const std::string packet = EncodePacket({MakeTextChunk("#RET_OK()")});
  for (size_t size = 0; size < packet.size(); ++size) {
    EXPECT_EQ(FramePacket(packet.substr(0, size)).state, FrameState::kIncomplete) << size;
  }
  const Frame frame = FramePacket(packet + "PACK");
  EXPECT_EQ(frame.state, FrameState::kComplete);
  EXPECT_EQ(frame.packet_bytes, packet.size());
}

TEST(PacketTest, RefusesBadMagicAndImpossibleLengths) {
  EXPECT_EQ(FramePacket(Hex("50 41 43 4C 00 00 00 00")).state, FrameState::kInvalid);
  EXPECT_EQ(FramePacket("HTTP/1.1 200 OK\r\n").state, FrameState::kInvalid);
  const Frame negative = FramePacket(Hex("50 41 43 4B FF FF FF FF"));
  EXPECT_EQ(negative.state, FrameState::kInvalid);
  EXPECT_NE(negative.error.find("-1"), std::string::npos);
  // The largest packet the server can hold, and one byte more.
  EXPECT_EQ(FramePacket(Hex("50 41 43 4B 18 00 10 00")).state, FrameState::kIncomplete);
  EXPECT_EQ(FramePacket(Hex("50 41 43 4B 19 00 10 00")).state, FrameState::kInvalid);
}

TEST(PacketTest, SplitsChunksAndRefusesOverruns) {
  const std::string body = Hex("53 54 52 47 02 00 00 00 00 00  52 54 44 41 01 00 00 00 7F");
  const auto chunks = SplitChunks(body, nullptr);
  ASSERT_TRUE(chunks);
  ASSERT_EQ(chunks->size(), 2u);
  EXPECT_EQ((*chunks)[0], (Chunk{"STRG", Hex("00 00")}));
  EXPECT_EQ((*chunks)[1], (Chunk{"RTDA", Hex("7F")}));
  EXPECT_TRUE(SplitChunks("", nullptr)->empty());

  std::string error;
  EXPECT_FALSE(SplitChunks(Hex("53 54 52 47 03 00 00 00 00 00"), &error));
  EXPECT_NE(error.find("runs past"), std::string::npos);
  EXPECT_FALSE(SplitChunks(Hex("53 54 52 47 FF FF FF FF"), &error));  // 4 GiB chunk
  EXPECT_FALSE(SplitChunks(Hex("53 54 52 47 00 00"), &error));        // cut header
  EXPECT_NE(error.find("header"), std::string::npos);
}

}  // namespace
}  // namespace velmor::player
