// The data table record a batch run works on, looked up or added under the
// table's lock and copied out, so no lock is held while files are read,
// written or moved.
#pragma once

#include <cstdint>
#include <string>

namespace velmor {

class DataTable;

struct BatchRecord {
  int64_t id = 0;
  std::string id_text;
  bool has_thum = false;
  std::string thum;  // the "<thum>" value
  bool has_markers = false;
};

// The record of the path and size, or a new one; the record then points at
// this path. False for a path the table cannot hold.
bool FindOrAddRecord(DataTable* table, const std::string& path, int64_t size, BatchRecord* record);
// The record of a folder (size -2) when the table knows it.
bool FindFolderRecord(DataTable* table, const std::string& path, BatchRecord* record);

}  // namespace velmor
