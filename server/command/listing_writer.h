// Channel listings on the wire: "RTFL" chunks of S_LIST_RECORD records. A
// record repeats its folder only when it differs from the previous record
// of the same chunk; a chunk that is full is sent and a new one begun.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command/packet_writer.h"
#include "library/list_record.h"

namespace velmor {

class ListingWriter final : public ListingSink {
 public:
  explicit ListingWriter(PacketWriter* out) : out_(out) {}

  // A listed folder: its "#RET_DIR" line, then a chunk of its records.
  void BeginFolder(const std::string& folder, int indent) override;
  void Add(const S_LIST_RECORD& record) override { Append(record); }
  void EndFolder() override { Flush(); }

  // Sends what is queued and begins a chunk.
  void Begin();
  // Adds a record, sending the chunk first when the record does not fit.
  bool Append(const S_LIST_RECORD& record);
  // Sends the chunk unless it holds no records, then begins a new one.
  bool Flush();

  // Records appended since the writer was made (positions for "parent").
  int count() const override { return count_; }

 private:
  static std::vector<uint8_t> Encode(const S_LIST_RECORD& record, bool with_folder);

  PacketWriter* out_;
  std::vector<uint8_t> chunk_;  // the record count followed by the records
  uint16_t chunk_records_ = 0;
  std::string previous_folder_;
  int count_ = 0;
};

}  // namespace velmor
