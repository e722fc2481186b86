#include "command/listing_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records.h"
#include "wire.h"

namespace velmor {
namespace {

// Collects the packets the writer sends.
struct Sent {
  std::vector<std::string> packets;
  PacketSink Sink() {
    return [this](std::span<const uint8_t> packet) {
      packets.emplace_back(reinterpret_cast<const char*>(packet.data()), packet.size());
      return true;
    };
  }
  // The records of every "RTFL" chunk, chunk by chunk.
  std::vector<std::vector<player::ListRecord>> Chunks() const {
    std::vector<std::vector<player::ListRecord>> chunks;
    for (const std::string& packet : packets) {
      const auto split = player::SplitChunks(std::string_view(packet).substr(8), nullptr);
      EXPECT_TRUE(split.has_value());
      for (const player::Chunk& chunk : split.value_or(std::vector<player::Chunk>())) {
        if (chunk.code != "RTFL") continue;
        std::string error;
        const auto records = player::DecodeListRecords(chunk.payload, &error);
        EXPECT_TRUE(records.has_value()) << error;
        chunks.push_back(records.value_or(std::vector<player::ListRecord>()));
      }
    }
    return chunks;
  }
};

S_LIST_RECORD Record(const std::string& folder, const std::string& name, int64_t id) {
  S_LIST_RECORD record;
  record.word = ListItemWord(0x5, kItemFolder, 1, kKindSubfolder);
  record.folder = folder;
  record.name = name;
  record.id_int = id;
  record.date = 20261208;
  record.file_size = -2;
  record.group_no = 3;
  record.parent = 7;
  record.chapter = 2;
  return record;
}

TEST(ListingWriter, RecordsRepeatTheirFolderOnlyWhenItChanges) {
  PacketWriter out;
  Sent sent;
  out.SetSink(sent.Sink());
  ListingWriter writer(&out);
  writer.Begin();
  writer.Append(Record("/v/a", "one.mp4", 1));
  writer.Append(Record("/v/a", "二.mp4", 2));
  writer.Append(Record("/v/b", "three.mp4", 3));
  EXPECT_TRUE(sent.packets.empty()) << "nothing is sent before the chunk is full or flushed";
  writer.Flush();
  EXPECT_EQ(writer.count(), 3);
  const auto chunks = sent.Chunks();
  ASSERT_EQ(chunks.size(), 1u);
  ASSERT_EQ(chunks[0].size(), 3u);
  EXPECT_FALSE(chunks[0][0].folder_repeated);
  EXPECT_TRUE(chunks[0][1].folder_repeated);
  EXPECT_EQ(chunks[0][1].folder, "/v/a");
  EXPECT_EQ(chunks[0][1].name, "二.mp4");
  EXPECT_FALSE(chunks[0][2].folder_repeated);
  const player::ListRecord& r = chunks[0][2];
  EXPECT_EQ(r.word, 0x5u | (1u << 17) | (1u << 20) | (5u << 24));
  EXPECT_EQ(r.id, 3);
  EXPECT_EQ(r.date, 20261208);
  EXPECT_EQ(r.file_size, -2);
  EXPECT_EQ(r.group_no, 3);
  EXPECT_EQ(r.parent, 7);
  EXPECT_EQ(r.chapter, 2);
}

TEST(ListingWriter, AnEmptyChunkIsNotSent) {
  PacketWriter out;
  Sent sent;
  out.SetSink(sent.Sink());
  ListingWriter writer(&out);
  writer.Begin();
  writer.Flush();
  EXPECT_TRUE(sent.packets.empty());
}

TEST(ListingWriter, AFullChunkIsSentAndTheNextOneCarriesItsFolderAgain) {
  PacketWriter out(4096);  // a small buffer fills after a few records
  Sent sent;
  out.SetSink(sent.Sink());
  ListingWriter writer(&out);
  writer.Begin();
  const std::string folder = "/videos/" + std::string(100, 'f');
  for (int i = 0; i < 200; ++i)
    writer.Append(Record(folder, "clip" + std::to_string(i) + ".mp4", i));
  writer.Flush();
  const auto chunks = sent.Chunks();
  ASSERT_GT(chunks.size(), 1u);
  int total = 0;
  for (const auto& chunk : chunks) {
    ASSERT_FALSE(chunk.empty());
    EXPECT_FALSE(chunk[0].folder_repeated) << "a new chunk starts without a previous folder";
    for (size_t i = 1; i < chunk.size(); ++i) EXPECT_TRUE(chunk[i].folder_repeated);
    for (const auto& record : chunk) EXPECT_EQ(record.id, total++);
  }
  EXPECT_EQ(total, 200);
  for (const std::string& packet : sent.packets) EXPECT_LE(packet.size(), 4096u);
}

}  // namespace
}  // namespace velmor
