// Arbitrary bytes as the receive buffer: framing, the chunk walk and the
// binary command parser must never read outside the packet, and a parsed
// command must encode and parse back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "command/binary_command.h"
#include "command/packet_reader.h"
#include "command/packet_writer.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckCommand(const velmor::Chunk& chunk) {
  velmor::BinaryCommand command;
  if (!velmor::ParseBinaryCommand(chunk.payload, chunk.size, &command)) return;
  Check(command.fields.size() <= velmor::kBinaryCommandMaxFields);
  std::vector<uint8_t> payload;
  if (!velmor::EncodeBinaryCommand(command, &payload)) return;
  velmor::BinaryCommand again;
  Check(velmor::ParseBinaryCommand(payload.data(), payload.size(), &again));
  Check(again.name == command.name && again.fields == command.fields);
}

// Walks one packet's chunks, checks each lies inside it and queues it again.
void WalkPacket(const velmor::PacketView& packet, velmor::PacketWriter* writer) {
  velmor::ChunkCursor cursor(packet);
  velmor::Chunk chunk;
  while (cursor.Next(&chunk)) {
    Check(chunk.payload >= packet.payload);
    Check(chunk.payload + chunk.size <= packet.payload + packet.payload_size);
    CheckCommand(chunk);
    Check(writer->AppendChunk(chunk.code, chunk.payload, chunk.size));
  }
  Check(cursor.AtEnd() == (cursor.error() == velmor::ChunkError::kNone));
}

velmor::PacketWriter MakeWriter() {
  velmor::PacketWriter writer;
  writer.SetSink([](std::span<const uint8_t> bytes) {
    velmor::PacketView view;
    Check(velmor::FramePacket(bytes.data(), bytes.size(), velmor::kPacketBufferCapacity, &view) ==
          velmor::FrameResult::kReady);
    Check(view.total_size == bytes.size());
    return true;
  });
  return writer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input's size, so that a read past it is caught.
  std::vector<uint8_t> buffer(data, data + size);
  size_t fill = buffer.size();
  // The re-queued chunks must frame back into valid packets. One writer for
  // all runs: filling 1 MiB each time would slow the fuzzer down.
  static velmor::PacketWriter writer = MakeWriter();
  writer.Reset();
  velmor::PacketView packet;
  while (velmor::FramePacket(buffer.data(), fill, velmor::kPacketBufferCapacity, &packet) ==
         velmor::FrameResult::kReady) {
    Check(packet.total_size <= fill);
    WalkPacket(packet, &writer);
    fill = velmor::ConsumePacket(buffer.data(), fill, packet.total_size);
  }
  writer.Flush();
  return 0;
}
