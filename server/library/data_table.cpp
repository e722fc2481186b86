#include "library/data_table.h"

namespace velmor {

void DataTable::Load(const Settings& settings) {
  std::lock_guard<std::mutex> lock(lock_);
  settings_ = settings;
}

DataTable::Settings DataTable::settings() const {
  std::lock_guard<std::mutex> lock(lock_);
  return settings_;
}

bool DataTable::dirty() const {
  std::lock_guard<std::mutex> lock(lock_);
  return dirty_;
}

}  // namespace velmor
