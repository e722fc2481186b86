// The library data table: where its file lives, the device number of new
// record ids and the thumbnail folder it scans.
#pragma once

#include <mutex>
#include <string>

namespace velmor {

class DataTable {
 public:
  struct Settings {
    int device_id = 0;
    std::string path;  // the table's file
    std::string thumbnail_folder;
  };

  // Takes the settings the table is loaded with.
  void Load(const Settings& settings);
  Settings settings() const;
  bool dirty() const;

 private:
  mutable std::mutex lock_;
  Settings settings_;
  bool dirty_ = false;
};

}  // namespace velmor
