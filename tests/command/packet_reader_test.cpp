#include "command/packet_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmor {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(uint32_t value, Bytes* out) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutChunk(std::string_view code, std::string_view payload, Bytes* out) {
  Put32(FourCc(code), out);
  Put32(static_cast<uint32_t>(payload.size()), out);
  out->insert(out->end(), payload.begin(), payload.end());
}

Bytes Packet(const Bytes& chunks) {
  Bytes packet;
  Put32(kCodePack, &packet);
  Put32(static_cast<uint32_t>(chunks.size()), &packet);
  packet.insert(packet.end(), chunks.begin(), chunks.end());
  return packet;
}

Bytes Header(uint32_t length) {
  Bytes header;
  Put32(kCodePack, &header);
  Put32(length, &header);
  return header;
}

FrameResult Frame(const Bytes& buffer, PacketView* packet,
                  size_t capacity = kPacketBufferCapacity) {
  return FramePacket(buffer.data(), buffer.size(), capacity, packet);
}

std::string Text(const Chunk& chunk) {
  return std::string(reinterpret_cast<const char*>(chunk.payload), chunk.size);
}

TEST(ChunkCodeTest, CodesAreTheirBytesFirstCharacterFirst) {
  const uint8_t wire[4] = {'S', 'T', 'R', 'G'};
  EXPECT_EQ(LoadLe32(wire), kCodeStrg);
  EXPECT_EQ(kCodePack, 0x4B434150u);
  EXPECT_EQ(FourCcText(kCodeRtms), "RTMS");
}

TEST(FramePacketTest, WaitsUntilTheWholePacketIsBuffered) {
  Bytes chunks;
  PutChunk("STRG", "abcd", &chunks);
  const Bytes packet = Packet(chunks);
  PacketView view;
  // Split over several receives: nothing until the last byte has arrived.
  for (size_t size = 0; size < packet.size(); ++size) {
    const Bytes part(packet.begin(), packet.begin() + size);
    EXPECT_EQ(Frame(part, &view), FrameResult::kIncomplete) << size << " bytes";
  }
  ASSERT_EQ(Frame(packet, &view), FrameResult::kReady);
  EXPECT_EQ(view.payload, packet.data() + 8);
  EXPECT_EQ(view.payload_size, chunks.size());
  EXPECT_EQ(view.total_size, packet.size());
}

TEST(FramePacketTest, TwoPacketsInOneReceiveAreFramedOneAfterTheOther) {
  Bytes first_chunks, second_chunks;
  PutChunk("STRG", "one", &first_chunks);
  PutChunk("MSGE", "second", &second_chunks);
  Bytes buffer = Packet(first_chunks);
  const Bytes second = Packet(second_chunks);
  buffer.insert(buffer.end(), second.begin(), second.end());
  buffer.push_back('P');  // the start of a third

  PacketView view;
  ASSERT_EQ(Frame(buffer, &view), FrameResult::kReady);
  EXPECT_EQ(view.payload_size, first_chunks.size());
  size_t fill = ConsumePacket(buffer.data(), buffer.size(), view.total_size);
  ASSERT_EQ(fill, second.size() + 1);
  buffer.resize(fill);

  ASSERT_EQ(Frame(buffer, &view), FrameResult::kReady);
  ChunkCursor cursor(view);
  Chunk chunk;
  ASSERT_TRUE(cursor.Next(&chunk));
  EXPECT_EQ(chunk.code, kCodeMsge);
  EXPECT_EQ(Text(chunk), "second");
  fill = ConsumePacket(buffer.data(), buffer.size(), view.total_size);
  ASSERT_EQ(fill, 1u);
  EXPECT_EQ(buffer[0], 'P');
  buffer.resize(fill);
  EXPECT_EQ(Frame(buffer, &view), FrameResult::kIncomplete);
}

TEST(FramePacketTest, EmptyPacketHasNoChunk) {
  const Bytes packet = Header(0);
  PacketView view;
  ASSERT_EQ(Frame(packet, &view), FrameResult::kReady);
  EXPECT_EQ(view.total_size, 8u);
  ChunkCursor cursor(view);
  EXPECT_TRUE(cursor.AtEnd());
  Chunk chunk;
  EXPECT_FALSE(cursor.Next(&chunk));
  EXPECT_EQ(cursor.error(), ChunkError::kNone);
}

TEST(FramePacketTest, RefusesWhatCanNeverBecomeAPacket) {
  PacketView view;
  Bytes wrong = Header(0);
  wrong[3] = 'X';
  EXPECT_EQ(Frame(wrong, &view), FrameResult::kNotPack);

  EXPECT_EQ(Frame(Header(0xFFFFFFFF), &view), FrameResult::kBadLength);
  EXPECT_EQ(Frame(Header(0x80000000), &view), FrameResult::kBadLength);

  // The largest packet is the receive buffer, header included.
  EXPECT_EQ(Frame(Header(kPacketBufferCapacity - 7), &view), FrameResult::kTooLong);
  EXPECT_EQ(Frame(Header(0x7FFFFFFF), &view), FrameResult::kTooLong);
  EXPECT_EQ(Frame(Header(kPacketBufferCapacity - 8), &view), FrameResult::kIncomplete);
  EXPECT_EQ(Frame(Header(9), &view, 16), FrameResult::kTooLong);
  Bytes full = Header(8);
  full.resize(16);
  EXPECT_EQ(Frame(full, &view, 16), FrameResult::kReady);
}

TEST(ConsumePacketTest, RemovesAtMostWhatIsBuffered) {
  Bytes buffer = {1, 2, 3};
  EXPECT_EQ(ConsumePacket(buffer.data(), buffer.size(), 3), 0u);
  EXPECT_EQ(ConsumePacket(buffer.data(), buffer.size(), 10), 0u);
}

TEST(ChunkCursorTest, GivesTheChunksInOrder) {
  Bytes chunks;
  PutChunk("STRG", "first", &chunks);
  PutChunk("DATA", "", &chunks);
  PutChunk("THUM", "third", &chunks);
  ChunkCursor cursor(chunks.data(), chunks.size());
  Chunk chunk;
  ASSERT_TRUE(cursor.Next(&chunk));
  EXPECT_EQ(chunk.code, kCodeStrg);
  EXPECT_EQ(Text(chunk), "first");
  EXPECT_EQ(cursor.position(), 13u);
  ASSERT_TRUE(cursor.Next(&chunk));
  EXPECT_EQ(chunk.code, kCodeData);
  EXPECT_EQ(chunk.size, 0u);
  EXPECT_FALSE(cursor.AtEnd());
  ASSERT_TRUE(cursor.Next(&chunk));
  EXPECT_EQ(Text(chunk), "third");
  EXPECT_TRUE(cursor.AtEnd());
  EXPECT_FALSE(cursor.Next(&chunk));
  EXPECT_EQ(cursor.error(), ChunkError::kNone);
}

TEST(ChunkCursorTest, StopsAtAChunkRunningPastThePacketEnd) {
  for (uint32_t length : {6u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFF8u}) {
    Bytes chunks;
    PutChunk("STRG", "good", &chunks);
    Put32(kCodeMsge, &chunks);
    Put32(length, &chunks);
    chunks.insert(chunks.end(), {'a', 'b', 'c', 'd', 'e'});
    // Bytes that follow the packet in the buffer must never be taken.
    Bytes buffer = chunks;
    buffer.insert(buffer.end(), 16, 'x');

    ChunkCursor cursor(buffer.data(), chunks.size());
    Chunk chunk;
    ASSERT_TRUE(cursor.Next(&chunk));
    EXPECT_FALSE(cursor.Next(&chunk)) << length;
    EXPECT_EQ(cursor.error(), ChunkError::kPastEnd);
    EXPECT_FALSE(cursor.AtEnd());
    EXPECT_FALSE(cursor.Next(&chunk)) << "the walk stays stopped";
  }
}

TEST(ChunkCursorTest, StopsAtAChunkHeaderCutByThePacketEnd) {
  Bytes chunks;
  PutChunk("STRG", "", &chunks);
  chunks.insert(chunks.end(), {'M', 'S', 'G', 'E', 0, 0, 0});
  ChunkCursor cursor(chunks.data(), chunks.size());
  Chunk chunk;
  ASSERT_TRUE(cursor.Next(&chunk));
  EXPECT_FALSE(cursor.Next(&chunk));
  EXPECT_EQ(cursor.error(), ChunkError::kCutHeader);
}

TEST(ChunkCursorTest, ClearedCursorHasNoChunk) {
  ChunkCursor cursor;
  Chunk chunk;
  EXPECT_TRUE(cursor.AtEnd());
  EXPECT_FALSE(cursor.Next(&chunk));
}

}  // namespace
}  // namespace velmor
