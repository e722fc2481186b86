// Arbitrary bytes as a data table file: reading never leaves the text or
// crashes, and every record it takes writes back as a line that reads back
// to the same record, so a load and a save lose nothing the reader kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "library/data_table_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SameRecord(const velmor::S_DATATABLE& a, const velmor::S_DATATABLE& b) {
  return a.id_int == b.id_int && a.id_text == b.id_text && a.date_time == b.date_time &&
         a.file_size == b.file_size && a.flags == b.flags && a.path == b.path &&
         a.name() == b.name() && a.tags == b.tags;
}

// The line the table would write for the record, without its CR LF.
std::string WrittenLine(const velmor::S_DATATABLE& record) {
  std::string line;
  velmor::AppendRecordLine(record, &line);
  Check(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
  line.resize(line.size() - 2);
  Check(line.find('\n') == std::string::npos);
  return line;
}

void CheckLine(std::string_view line) {
  velmor::S_DATATABLE record;
  const velmor::RecordLineResult result = velmor::ParseRecordLine(line, &record);
  if (result == velmor::RecordLineResult::kNotRecord) return;
  Check(record.name_pos <= record.path.size());
  Check(record.id_int == velmor::RecordIdFromText(record.id_text));
  // Fields read from one line hold no quote and no line feed, so the
  // writer has nothing to leave out.
  velmor::S_DATATABLE again;
  Check(velmor::ParseRecordLine(WrittenLine(record), &again) == velmor::RecordLineResult::kWhole);
  Check(SameRecord(record, again));
}

void CheckTable(std::string_view bytes) {
  velmor::TableText table;
  velmor::ReadTableText(bytes, &table);
  std::string rewritten;
  velmor::AppendTableHeader(&rewritten);
  for (const velmor::S_DATATABLE& record : table.records) {
    Check(velmor::IsRecordId(record.id_int));
    velmor::AppendRecordLine(record, &rewritten);
  }
  velmor::TableText again;
  velmor::ReadTableText(rewritten, &again);
  Check(!again.damaged);
  Check(again.records.size() == table.records.size());
  for (size_t i = 0; i < table.records.size(); ++i) {
    Check(SameRecord(table.records[i], again.records[i]));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t end = input.find('\n');
  CheckLine(input.substr(0, end));
  CheckTable(input);
  return 0;
}
