// The read cache of one stream slot on real files. Most cases run the
// reader step by step (a kManual slot), so every block of the ring can be
// followed; the last ones let the reader thread run.
#include "stream/stream_slot.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/page_buffer.h"
#include "stream_test_support.h"
#include "test_support.h"

namespace velmor {
namespace {

using test::FirstPatternMismatch;
using test::kMiB;
using test::PatternBytes;

class StreamSlotTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name, int64_t size) {
    const std::string path = folder_.Join(name);
    test::WritePatternFile(path, size);
    return path;
  }

  static int ReadAll(StreamSlot* slot) {
    int reads = 0;
    while (slot->ReadStep()) ++reads;
    return reads;
  }

  // Sends from the cache up to the position, checking every byte.
  static void SendUpTo(StreamSlot* slot, int64_t position) {
    while (slot->send_position() < position) {
      const std::span<const uint8_t> bytes = slot->SendableBytes();
      ASSERT_FALSE(bytes.empty()) << "nothing to send at " << slot->send_position();
      const auto count = static_cast<size_t>(
          std::min<int64_t>(static_cast<int64_t>(bytes.size()), position - slot->send_position()));
      const std::string_view sent(reinterpret_cast<const char*>(bytes.data()), count);
      ASSERT_EQ(FirstPatternMismatch(sent, slot->send_position()), -1)
          << "wrong byte after " << slot->send_position();
      slot->MarkSent(count);
    }
  }

  // The file offset of the first byte the sender would send, or -1.
  static int64_t FirstSendable(const StreamSlot& slot) {
    const std::span<const uint8_t> bytes = slot.SendableBytes();
    if (bytes.empty()) return -1;
    return FirstPatternMismatch(std::string_view(reinterpret_cast<const char*>(bytes.data()), 1),
                                slot.send_position()) == -1
               ? slot.send_position()
               : -2;
  }

  test::TempFolder folder_;
};

TEST_F(StreamSlotTest, SizesFollowTheSettings) {
  StreamSlot full(0, 1, 32, 8, StreamSlot::Reader::kManual);
  EXPECT_EQ(full.block_bytes(), kMiB);
  EXPECT_EQ(full.block_count(), 32);
  EXPECT_EQ(full.protected_bytes(), 8 * kMiB);

  StreamSlot two(3, 1, 2, 8, StreamSlot::Reader::kManual);
  EXPECT_EQ(two.protected_bytes(), 0) << "2 blocks protect nothing";

  StreamSlot wide(0, 0x10002, 4, 10, StreamSlot::Reader::kManual);
  EXPECT_EQ(wide.block_bytes(), 2 * kMiB) << "only the low 16 bits count";
  EXPECT_EQ(wide.protected_bytes(), 3 * 2 * kMiB) << "never every block";

  StreamSlot odd(0, 0, 0, -1, StreamSlot::Reader::kManual);
  EXPECT_EQ(odd.block_bytes(), kMiB);
  EXPECT_EQ(odd.block_count(), 1);
  EXPECT_EQ(odd.protected_bytes(), 0);
}

TEST_F(StreamSlotTest, ASmallFileIsOneShortBlock) {
  StreamSlot slot(0, 1, 32, 8, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("a.mp4", 5000)));
  EXPECT_EQ(slot.file_size(), 5000);
  EXPECT_TRUE(slot.reader_active());
  EXPECT_EQ(ReadAll(&slot), 1);
  const StreamSlot::BlockState block = slot.block(0);
  EXPECT_EQ(block.start, 0);
  EXPECT_EQ(block.end, 5000);
  EXPECT_EQ(block.bytes_left, 5000);
  EXPECT_TRUE(block.ready);
  EXPECT_EQ(slot.SendableBytes().size(), 5000u);
  SendUpTo(&slot, 5000);
  EXPECT_EQ(slot.current_send_block(), 1);
  EXPECT_TRUE(slot.SendableBytes().empty());
  EXPECT_FALSE(slot.DataEnded());
}

TEST_F(StreamSlotTest, ASeekToAnUnheldPositionReadsFromTheBoundaryBelow) {
  StreamSlot slot(0, 1, 32, 8, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("a.mp4", 100000)));
  slot.Seek(10000);
  EXPECT_EQ(slot.read_position(), 8192);
  EXPECT_EQ(slot.skip_bytes(), 1808);
  EXPECT_EQ(slot.send_position(), 10000);
  EXPECT_TRUE(slot.SendableBytes().empty()) << "the sender waits for the reader";
  ASSERT_TRUE(slot.ReadStep());
  const StreamSlot::BlockState block = slot.block(slot.current_send_block());
  EXPECT_EQ(block.start, 8192);
  EXPECT_EQ(block.sent_offset, 1808);
  EXPECT_EQ(block.bytes_left, 90000);
  EXPECT_EQ(FirstSendable(slot), 10000);
  SendUpTo(&slot, 100000);
}

TEST_F(StreamSlotTest, EightSentBlocksStayProtectedBehindTheSendPosition) {
  StreamSlot slot(0, 1, 32, 8, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("big.mp4", 64 * kMiB)));
  EXPECT_EQ(ReadAll(&slot), 32) << "the ring fills, then waits for the sender";

  // The oldest block ends at 1 MiB: reused once the sender is 8 blocks past.
  SendUpTo(&slot, 9 * kMiB - 1);
  EXPECT_FALSE(slot.ReadStep());
  SendUpTo(&slot, 9 * kMiB);
  EXPECT_EQ(slot.fill_block(), 0);
  ASSERT_TRUE(slot.ReadStep());
  EXPECT_EQ(slot.block(0).start, 32 * kMiB);
  EXPECT_FALSE(slot.ReadStep()) << "the next one ends at 2 MiB, 7 blocks behind";
  EXPECT_EQ(slot.read_count(), 33);
}

TEST_F(StreamSlotTest, ABackwardSeekInsideTheHeldBlocksReadsNothing) {
  StreamSlot slot(0, 1, 32, 8, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("big.mp4", 64 * kMiB)));
  ReadAll(&slot);
  for (int64_t position = kMiB; position <= 20 * kMiB; position += kMiB) {
    SendUpTo(&slot, position);
    ReadAll(&slot);
  }
  // Held: 12 MiB up to 44 MiB; sent up to 20 MiB.
  EXPECT_EQ(slot.read_position(), 44 * kMiB);
  const int64_t reads = slot.read_count();

  slot.Seek(20 * kMiB - kMiB / 2);
  EXPECT_EQ(slot.read_count(), reads);
  EXPECT_EQ(FirstSendable(slot), 20 * kMiB - kMiB / 2);
  EXPECT_EQ(slot.current_send_block(), 19);
  EXPECT_EQ(slot.read_position(), 44 * kMiB) << "reading goes on after the last held block";
  EXPECT_EQ(slot.fill_block(), 12);
  EXPECT_FALSE(slot.ReadStep()) << "the oldest held block is inside the protected window";
  SendUpTo(&slot, 44 * kMiB);
  EXPECT_EQ(slot.read_count(), reads) << "everything up to 44 MiB came from memory";
  ASSERT_TRUE(slot.ReadStep());
  SendUpTo(&slot, 45 * kMiB);
}

TEST_F(StreamSlotTest, AForwardSeekBeyondTheHeldBlocksRestartsReading) {
  StreamSlot slot(0, 1, 4, 1, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("big.mp4", 16 * kMiB)));
  ReadAll(&slot);
  slot.Seek(10 * kMiB + 5);
  EXPECT_EQ(slot.read_position(), 10 * kMiB);
  EXPECT_EQ(slot.skip_bytes(), 5);
  ASSERT_TRUE(slot.ReadStep());
  EXPECT_EQ(FirstSendable(slot), 10 * kMiB + 5);
  SendUpTo(&slot, 11 * kMiB);
  ASSERT_TRUE(slot.ReadStep());
  SendUpTo(&slot, 12 * kMiB);
}

TEST_F(StreamSlotTest, AProtectedCountOfEveryBlockStillLetsTheRingTurn) {
  StreamSlot slot(0, 1, 4, 4, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("big.mp4", 8 * kMiB)));
  EXPECT_EQ(ReadAll(&slot), 4);
  SendUpTo(&slot, 4 * kMiB);
  EXPECT_TRUE(slot.ReadStep()) << "one block stays reusable";
  SendUpTo(&slot, 5 * kMiB);
}

TEST_F(StreamSlotTest, TwoBlocksProtectNothing) {
  StreamSlot slot(3, 1, 2, 8, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("big.mp4", 8 * kMiB)));
  EXPECT_EQ(ReadAll(&slot), 2);
  SendUpTo(&slot, kMiB);
  EXPECT_TRUE(slot.ReadStep()) << "a sent block is reused at once";
  SendUpTo(&slot, 3 * kMiB);
}

TEST_F(StreamSlotTest, ReopeningTheSamePathKeepsTheBlocksAndBuffersServeTheNextFile) {
  StreamSlot slot(0, 1, 32, 8, StreamSlot::Reader::kManual);
  const std::string path = File("a.mp4", 3 * kMiB);
  ASSERT_TRUE(slot.OpenFile(path));
  ReadAll(&slot);
  const uint8_t* first_buffer = slot.SendableBytes().data();  // block 0
  SendUpTo(&slot, 2 * kMiB);
  slot.CloseFile();
  EXPECT_FALSE(slot.file_open());
  EXPECT_FALSE(slot.reader_active());

  ASSERT_TRUE(slot.OpenFile(path));
  EXPECT_TRUE(slot.SendableBytes().empty()) << "a closed file starts again";
  EXPECT_EQ(ReadAll(&slot), 3);
  SendUpTo(&slot, kMiB + 10);
  const int64_t reads = slot.read_count();
  ASSERT_TRUE(slot.OpenFile(path)) << "open: kept as it is";
  EXPECT_EQ(slot.send_position(), kMiB + 10);
  slot.Seek(100);
  EXPECT_EQ(FirstSendable(slot), 100);
  SendUpTo(&slot, 3 * kMiB);
  EXPECT_EQ(slot.read_count(), reads);

  ASSERT_TRUE(slot.OpenFile(File("b.mp4", 2 * kMiB)));
  EXPECT_EQ(slot.send_position(), 0);
  EXPECT_TRUE(slot.SendableBytes().empty()) << "nothing of the last file is sent";
  ASSERT_TRUE(slot.ReadStep());
  EXPECT_EQ(slot.SendableBytes().data(), first_buffer) << "the buffers are reused";
}

TEST_F(StreamSlotTest, APositionAtTheEndLeavesNothingToSendOrRead) {
  StreamSlot slot(0, 1, 4, 1, StreamSlot::Reader::kManual);
  ASSERT_TRUE(slot.OpenFile(File("a.mp4", 5000)));
  slot.Seek(5000);
  EXPECT_FALSE(slot.ReadStep());
  EXPECT_TRUE(slot.SendableBytes().empty());
  EXPECT_FALSE(slot.DataEnded());
}

TEST_F(StreamSlotTest, AMissingFileFailsAndLeavesNoFileOpen) {
  StreamSlot slot(0, 1, 4, 1, StreamSlot::Reader::kManual);
  EXPECT_FALSE(slot.OpenFile(folder_.Join("missing.mp4")));
  EXPECT_FALSE(slot.file_open());
  EXPECT_FALSE(slot.OpenFile(folder_.path())) << "a folder is no file";
  slot.Seek(100);  // no file: nothing happens
  EXPECT_FALSE(slot.ReadStep());
}

TEST_F(StreamSlotTest, AFileThatShrinksEndsTheDataWhereItEnds) {
  StreamSlot slot(3, 1, 2, 0, StreamSlot::Reader::kManual);
  const std::string path = File("a.mp4", 4 * kMiB);
  ASSERT_TRUE(slot.OpenFile(path));
  ReadAll(&slot);
  SendUpTo(&slot, kMiB);
  {
    platform::File writer;
    // Windows refuses to truncate a file another handle has open.
    if (!writer.Open(path, platform::File::Mode::kCreate)) GTEST_SKIP() << "cannot truncate";
    const std::string start = PatternBytes(0, kMiB + kMiB / 2);
    ASSERT_EQ(writer.Write(start.data(), start.size()), static_cast<int64_t>(start.size()));
  }
  EXPECT_FALSE(slot.ReadStep());
  SendUpTo(&slot, 2 * kMiB);  // held before the file shrank
  EXPECT_TRUE(slot.DataEnded()) << "no byte is left for 2 MiB up to the size at open";
  EXPECT_TRUE(slot.SendableBytes().empty());
}

TEST_F(StreamSlotTest, AFileThatGrowsIsReadOnlyUpToItsSizeAtOpen) {
  StreamSlot slot(0, 1, 4, 1, StreamSlot::Reader::kManual);
  const std::string path = File("a.mp4", 5000);
  ASSERT_TRUE(slot.OpenFile(path));
  {
    platform::File writer;
    ASSERT_TRUE(writer.Open(path, platform::File::Mode::kAppendShared));
    const std::string more = PatternBytes(5000, 5000);
    ASSERT_EQ(writer.Write(more.data(), more.size()), 5000);
  }
  ASSERT_TRUE(slot.ReadStep());
  EXPECT_EQ(slot.block(0).end, 5000);
  EXPECT_EQ(slot.SendableBytes().size(), 5000u);
}

TEST_F(StreamSlotTest, TheReaderThreadFillsTheRingAhead) {
  StreamSlot slot(0, 1, 8, 2, StreamSlot::Reader::kThread);
  ASSERT_TRUE(slot.OpenFile(File("big.mp4", 20 * kMiB + 123)));
  ASSERT_TRUE(test::WaitFor([&] { return slot.read_count() == 8; }));
  // The sender drains the ring in pieces as the reader refills it.
  while (slot.send_position() < 20 * kMiB + 123) {
    ASSERT_TRUE(test::WaitFor([&] { return !slot.SendableBytes().empty(); }))
        << "stalled at " << slot.send_position();
    const auto piece =
        std::min<int64_t>(static_cast<int64_t>(slot.SendableBytes().size()), kMiB / 3);
    SendUpTo(&slot, slot.send_position() + piece);
  }
  EXPECT_EQ(slot.read_count(), 21);
  EXPECT_EQ(slot.read_position(), 20 * kMiB + 123);
}

TEST_F(StreamSlotTest, ReadsBypassTheFileCacheWhereTheFileSystemAllows) {
  const std::string path = File("a.mp4", 3 * kMiB + 100);
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::File::Mode::kReadUnbuffered));
#ifndef _WIN32
  EXPECT_TRUE(file.unbuffered()) << "O_DIRECT refused for " << path << " (TMPDIR on tmpfs?)";
#endif
  platform::PageBuffer buffer;
  ASSERT_TRUE(buffer.Allocate(static_cast<size_t>(kMiB)));
  ASSERT_EQ(reinterpret_cast<uintptr_t>(buffer.data()) % platform::File::kUnbufferedAlignment, 0u);
  ASSERT_TRUE(file.Seek(2 * kMiB));
  ASSERT_EQ(file.Read(buffer.data(), buffer.size()), kMiB);
  EXPECT_EQ(FirstPatternMismatch(std::string_view(reinterpret_cast<const char*>(buffer.data()),
                                                  static_cast<size_t>(kMiB)),
                                 2 * kMiB),
            -1);
  ASSERT_EQ(file.Read(buffer.data(), buffer.size()), 100) << "the last read is short";
  EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 0);

  // Older kernels' tmpfs refuses O_DIRECT; the same reads then go through
  // the cache. Either way they read the file.
  if (platform::GetPathType("/dev/shm") == platform::PathType::kFolder) {
    const std::string shm_path =
        "/dev/shm/velmor-unbuffered-" + std::to_string(platform::TickCount());
    test::WritePatternFile(shm_path, 5000);
    platform::File shm;
    ASSERT_TRUE(shm.Open(shm_path, platform::File::Mode::kReadUnbuffered));
    RecordProperty("tmpfs_unbuffered", shm.unbuffered() ? "yes" : "no");
    EXPECT_EQ(shm.Read(buffer.data(), buffer.size()), 5000);
    shm.Close();
    platform::DeleteFile(shm_path);
  }
}

}  // namespace
}  // namespace velmor
