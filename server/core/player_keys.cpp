#include "core/player_keys.h"

#include <string_view>

#include "base/decimal_text.h"
#include "core/config.h"
#include "core/paths.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"

namespace velmor {
namespace {

// Player strings are read into a buffer of this many UTF-16 characters.
constexpr size_t kPlayerStringCapacity = 1560;
constexpr char kAbsentMarker[] = "\x01";

bool IsPlayerKey(const std::string& key) { return key.compare(0, 3, "rw.") == 0; }

bool ClimbsOut(std::string_view name) {
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

// The file a player command works on, created when missing; "" when the
// name is refused or the file cannot be made.
std::string PlayerFile(const std::string& file_name) {
  if (file_name.empty()) return ConfigFilePath();
  const std::string relative = ToHostSeparators(file_name);
  const bool has_drive = relative.size() >= 2 && relative[1] == ':';
  if (has_drive || platform::IsAbsolutePath(relative) || IsSeparator(relative[0]) ||
      ClimbsOut(relative)) {
    return {};
  }
  std::string path = ProgramFolder() + platform::kNativeSeparator + relative;
  if (platform::kNativeSeparator == '\\') {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
  }
  if (platform::GetPathType(path) != platform::PathType::kFile &&
      !platform::CreateUtf16File(path)) {
    return {};
  }
  return path;
}

long long ToInt64OrZero(const std::string& text) {
  long long value = 0;
  if (!ParseDecimalInt64(text, &value)) return 0;
  return value;
}

}  // namespace

bool PlayerKeyWriteInt64(const std::string& section, const std::string& key,
                         const std::string& value, const std::string& file_name) {
  if (!IsPlayerKey(key)) return false;
  const std::string path = PlayerFile(file_name);
  if (path.empty()) return false;
  return platform::WriteIniString(path, section, key, std::to_string(ToInt64OrZero(value)));
}

bool PlayerKeyReadInt64(const std::string& section, const std::string& key,
                        const std::string& default_value, const std::string& file_name,
                        std::string* value) {
  if (!IsPlayerKey(key)) return false;
  const std::string path = PlayerFile(file_name);
  if (path.empty()) return false;
  long long number = ToInt64OrZero(default_value);
  const std::string text = platform::ReadIniString(path, section, key, "", kPlayerStringCapacity);
  if (text.empty()) {
    platform::WriteIniString(path, section, key, std::to_string(number));
  } else {
    ParseDecimalInt64(text, &number);
  }
  *value = std::to_string(number);
  return true;
}

bool PlayerKeyWriteString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& file_name) {
  if (!IsPlayerKey(key)) return false;
  const std::string path = PlayerFile(file_name);
  if (path.empty()) return false;
  return platform::WriteIniString(path, section, key, value);
}

bool PlayerKeyReadString(const std::string& section, const std::string& key,
                         const std::string& default_value, const std::string& file_name,
                         std::string* value) {
  if (!IsPlayerKey(key)) return false;
  const std::string path = PlayerFile(file_name);
  if (path.empty()) return false;
  const std::string text =
      platform::ReadIniString(path, section, key, kAbsentMarker, kPlayerStringCapacity);
  if (text == kAbsentMarker) {
    platform::WriteIniString(path, section, key, default_value);
    *value = default_value;
    return true;
  }
  *value = text;
  return true;
}

}  // namespace velmor
