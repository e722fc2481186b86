// The owner of the settings record: one object (the server runtime's),
// shared by the host thread, which loads, changes and saves it, and the
// command session, which reads it and changes the channel table. Every
// access holds its lock; a reader that needs several fields that belong
// together takes one copy.
#pragma once

#include <functional>
#include <mutex>

#include "core/config.h"

namespace velmor {

class Settings {
 public:
  explicit Settings(S_CONFIG initial = DefaultConfig());
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // The whole record, as one consistent view.
  S_CONFIG Copy() const;
  // One field, e.g. Get(&S_CONFIG::iServerAcceptNum).
  template <typename Field>
  Field Get(Field S_CONFIG::*field) const {
    std::lock_guard<std::mutex> lock(lock_);
    return config_.*field;
  }
  // Channel n (0 to 7) of the channel table.
  S_CONFIG_CH Channel(int n) const;

  // Changes the record under the lock; change must not take other locks.
  void Update(const std::function<void(S_CONFIG&)>& change);
  void SetChannel(int n, S_CONFIG_CH entry);

  // Fills the record with defaults and reads the settings file, writing
  // the defaults of missing keys back into it. False only when the file can
  // neither be found nor created.
  bool Load();
  // Writes every field that differs from the values of the last load or
  // save, so keys the program did not change keep what the file says.
  // False when the file could not be written; the changes are kept for the
  // next save.
  bool Save();

 private:
  // A leaf lock: nothing else is locked or called while it is held.
  mutable std::mutex lock_;
  S_CONFIG config_;
  // The values after the last load or save; nothing is loaded yet, so a
  // first save writes every field.
  S_CONFIG synced_;
};

}  // namespace velmor
