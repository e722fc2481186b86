#include "command/packet_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/utf.h"
#include "command/packet_reader.h"

namespace velmor {
namespace {

using Bytes = std::vector<uint8_t>;

// Collects the packets a writer sends; fails them when told to.
struct SentPackets {
  PacketSink Sink() {
    return [this](std::span<const uint8_t> packet) {
      packets.emplace_back(packet.begin(), packet.end());
      return succeed;
    };
  }
  std::vector<Bytes> packets;
  bool succeed = true;
};

// The chunks of one framed packet.
std::vector<Chunk> ChunksOf(const Bytes& packet) {
  PacketView view;
  EXPECT_EQ(FramePacket(packet.data(), packet.size(), kPacketBufferCapacity, &view),
            FrameResult::kReady);
  EXPECT_EQ(view.total_size, packet.size());
  std::vector<Chunk> chunks;
  ChunkCursor cursor(view);
  Chunk chunk;
  while (cursor.Next(&chunk)) chunks.push_back(chunk);
  EXPECT_TRUE(cursor.AtEnd());
  return chunks;
}
// Chunks point into their packet, which must outlive them.
std::vector<Chunk> ChunksOf(Bytes&&) = delete;

Bytes Framed(PacketWriter* writer) {
  const std::span<const uint8_t> packet = writer->FramedPacket();
  return Bytes(packet.begin(), packet.end());
}

std::u16string Units(const uint8_t* bytes, size_t size) { return LoadUtf16Le(bytes, size); }

TEST(PacketWriterTest, TextChunkIsUtf16WithItsZero) {
  PacketWriter writer;
  ASSERT_TRUE(writer.AppendText("#RET_OK()"));
  const Bytes packet = Framed(&writer);
  const Bytes expected_start = {'P', 'A', 'C', 'K', 28, 0, 0,   0, 'S', 'T',
                                'R', 'G', 20,  0,   0,  0, '#', 0, 'R', 0};
  ASSERT_EQ(packet.size(), 36u);
  EXPECT_TRUE(std::equal(expected_start.begin(), expected_start.end(), packet.begin()));
  EXPECT_EQ(packet[34], 0);
  EXPECT_EQ(packet[35], 0);

  // Characters outside the basic plane take two units.
  writer.Reset();
  ASSERT_TRUE(writer.AppendText("接続\xF0\x9F\x98\x80"));
  const Bytes wide_packet = Framed(&writer);
  const std::vector<Chunk> chunks = ChunksOf(wide_packet);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0].size, 10u);
  EXPECT_EQ(Units(chunks[0].payload, chunks[0].size), std::u16string(u"接続\U0001F600") + u'\0');
}

TEST(PacketWriterTest, QueuedChunksTravelInOnePacket) {
  PacketWriter writer;
  const uint8_t raw[3] = {1, 2, 3};
  ASSERT_TRUE(writer.AppendText("a"));
  ASSERT_TRUE(writer.AppendRawPiece(raw, sizeof raw));
  ASSERT_TRUE(writer.AppendChunk(kCodeRtfl, nullptr, 0));
  const Bytes packet = Framed(&writer);
  const std::vector<Chunk> chunks = ChunksOf(packet);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].code, kCodeStrg);
  EXPECT_EQ(chunks[1].code, kCodeRtda);
  EXPECT_EQ(Bytes(chunks[1].payload, chunks[1].payload + chunks[1].size), Bytes(raw, raw + 3));
  EXPECT_EQ(chunks[2].code, kCodeRtfl);
  EXPECT_EQ(chunks[2].size, 0u);
}

TEST(PacketWriterTest, ReservedChunkIsZeroedRoomForTheCaller) {
  PacketWriter writer;
  ASSERT_TRUE(writer.AppendText("old text in the buffer"));
  writer.Reset();
  uint8_t* room = writer.ReserveChunk(kCodeRtdt, 6);
  ASSERT_NE(room, nullptr);
  EXPECT_EQ(Bytes(room, room + 6), Bytes(6, 0));
  room[5] = 9;
  const Bytes packet = Framed(&writer);
  const std::vector<Chunk> chunks = ChunksOf(packet);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0].payload[5], 9);
}

TEST(PacketWriterTest, NothingQueuedSendsNothing) {
  PacketWriter writer;
  SentPackets sent;
  writer.SetSink(sent.Sink());
  EXPECT_TRUE(writer.FramedPacket().empty());
  EXPECT_TRUE(writer.Flush());
  EXPECT_TRUE(sent.packets.empty());
}

TEST(PacketWriterTest, FlushSendsOnePacketAndEmptiesTheBuffer) {
  PacketWriter writer;
  SentPackets sent;
  writer.SetSink(sent.Sink());
  writer.AppendText("one");
  writer.AppendText("two");
  EXPECT_TRUE(writer.Flush());
  ASSERT_EQ(sent.packets.size(), 1u);
  EXPECT_EQ(ChunksOf(sent.packets[0]).size(), 2u);
  EXPECT_TRUE(writer.empty());

  // A failed send drops the packet all the same.
  sent.succeed = false;
  writer.AppendText("lost");
  EXPECT_FALSE(writer.Flush());
  EXPECT_TRUE(writer.empty());
}

TEST(PacketWriterTest, ReplyLargerThanTheFreeRoomGoesInSeveralPackets) {
  PacketWriter writer(8 + 3 * 20);  // room for three chunks of 12 bytes
  SentPackets sent;
  writer.SetSink(sent.Sink());
  for (int slot = 0; slot < 7; ++slot) {
    const uint8_t piece[12] = {static_cast<uint8_t>(slot)};
    ASSERT_TRUE(writer.AppendChunk(kCodeRtda, piece, sizeof piece));
  }
  ASSERT_TRUE(writer.Flush());
  ASSERT_EQ(sent.packets.size(), 3u);
  std::vector<int> order;
  for (const Bytes& packet : sent.packets) {
    EXPECT_LE(packet.size(), writer.capacity());
    for (const Chunk& chunk : ChunksOf(packet)) order.push_back(chunk.payload[0]);
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST(PacketWriterTest, ChunkThatDoesNotFitNeedsAFlush) {
  PacketWriter writer(8 + 2 * 20);
  const uint8_t piece[12] = {};
  ASSERT_TRUE(writer.AppendChunk(kCodeRtda, piece, 12));
  EXPECT_TRUE(writer.Fits(12));
  ASSERT_TRUE(writer.AppendChunk(kCodeRtda, piece, 12));
  EXPECT_FALSE(writer.Fits(0));
  // Without a sink the writer cannot make room: refused, the queue kept.
  EXPECT_FALSE(writer.AppendChunk(kCodeRtda, piece, 12));
  EXPECT_EQ(writer.queued_size(), 40u);
  EXPECT_FALSE(writer.Flush());
  EXPECT_EQ(writer.queued_size(), 40u);
}

TEST(PacketWriterTest, ChunkLargerThanTheEmptyBufferIsRefused) {
  PacketWriter writer;
  SentPackets sent;
  writer.SetSink(sent.Sink());
  writer.AppendText("queued");
  EXPECT_TRUE(writer.CanEverFit(1048592));
  EXPECT_FALSE(writer.CanEverFit(1048593));
  EXPECT_EQ(writer.ReserveChunk(kCodeRtda, 1048593), nullptr);
  EXPECT_TRUE(sent.packets.empty()) << "a refused chunk sends nothing";
  EXPECT_NE(writer.ReserveChunk(kCodeRtda, 1048592), nullptr);
  ASSERT_EQ(sent.packets.size(), 1u);
  EXPECT_EQ(Framed(&writer).size(), kPacketBufferCapacity);
}

TEST(PacketWriterTest, ResultSlotLayout) {
  PacketWriter writer;
  ASSERT_TRUE(writer.AppendResultSlot(2, -5000000000LL, "<flag>1"));
  const Bytes packet = Framed(&writer);
  const std::vector<Chunk> chunks = ChunksOf(packet);
  ASSERT_EQ(chunks.size(), 1u);
  ASSERT_EQ(chunks[0].code, kCodeRtms);
  const uint8_t* p = chunks[0].payload;
  ASSERT_EQ(chunks[0].size, 2u + 8 + 2 + 16);
  EXPECT_EQ(LoadLe16(p), 2);
  EXPECT_EQ(static_cast<int64_t>(LoadLe64(p + 2)), -5000000000LL);
  EXPECT_EQ(LoadLe16(p + 10), 16);
  EXPECT_EQ(Units(p + 12, 16), std::u16string(u"<flag>1") + u'\0');
}

TEST(PacketWriterTest, ResultSlotTextIsCutTo780Characters) {
  PacketWriter writer;
  std::string text(778, 'a');
  text += "\xF0\x9F\x98\x80";  // a pair of units from 779 to 780: still fits
  text += "\xF0\x9F\x98\x80";  // would end at 782: cut whole
  ASSERT_TRUE(writer.AppendResultSlot(0, 0, text));
  const Bytes packet = Framed(&writer);
  const std::vector<Chunk> chunks = ChunksOf(packet);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(LoadLe16(chunks[0].payload + 10), 2 * 781);
  EXPECT_EQ(chunks[0].size, 12u + 2 * 781);
  const std::u16string units = Units(chunks[0].payload + 12, 2 * 780);
  EXPECT_EQ(Utf16ToUtf8(units), std::string(778, 'a') + "\xF0\x9F\x98\x80");
}

TEST(PacketWriterTest, RawDataGoesInPiecesEachInItsOwnPacket) {
  PacketWriter writer;
  SentPackets sent;
  writer.SetSink(sent.Sink());
  writer.AppendText("queued first");
  Bytes block(25);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(writer.SendRawData(block.data(), block.size(), 10));
  ASSERT_EQ(sent.packets.size(), 4u);
  EXPECT_EQ(ChunksOf(sent.packets[0])[0].code, kCodeStrg);
  Bytes joined;
  for (size_t i = 1; i < 4; ++i) {
    const std::vector<Chunk> chunks = ChunksOf(sent.packets[i]);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].code, kCodeRtda);
    EXPECT_EQ(chunks[0].size, i < 3 ? 10u : 5u);
    joined.insert(joined.end(), chunks[0].payload, chunks[0].payload + chunks[0].size);
  }
  EXPECT_EQ(joined, block);
  EXPECT_TRUE(writer.empty());
}

TEST(PacketWriterTest, RawDataTriesEveryPieceAfterAFailedSend) {
  PacketWriter writer;
  SentPackets sent;
  sent.succeed = false;
  writer.SetSink(sent.Sink());
  const Bytes block(30, 7);
  EXPECT_FALSE(writer.SendRawData(block.data(), block.size(), 10));
  EXPECT_EQ(sent.packets.size(), 3u);
  // A piece size of 0 cannot loop for ever.
  sent.packets.clear();
  EXPECT_FALSE(writer.SendRawData(block.data(), 2, 0));
  EXPECT_EQ(sent.packets.size(), 2u);
}

TEST(PacketWriterTest, RawPieceSizeFollowsTheProtocolVersion) {
  EXPECT_EQ(RawPieceSize(0), 65536u);
  EXPECT_EQ(RawPieceSize(219), 65536u);
  EXPECT_EQ(RawPieceSize(220), 1048576u);
  PacketWriter writer;
  EXPECT_TRUE(writer.CanEverFit(RawPieceSize(220)));
}

}  // namespace
}  // namespace velmor
