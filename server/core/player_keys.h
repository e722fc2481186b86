// The player's own values in the settings file (or in other INI files beside
// the program): only keys that begin with "rw." can be read or written.
#pragma once

#include <string>

namespace velmor {

// An empty file name means the settings file; otherwise a relative name in
// the program folder, "/" or "\" as separators, created empty when missing.
// Each call fails, changing nothing, for a key without "rw." or a file name
// that is absolute, has a drive, or climbs out of the program folder.
bool PlayerKeyWriteInt64(const std::string& section, const std::string& key,
                         const std::string& value, const std::string& file_name);
bool PlayerKeyReadInt64(const std::string& section, const std::string& key,
                        const std::string& default_value, const std::string& file_name,
                        std::string* value);
bool PlayerKeyWriteString(const std::string& section, const std::string& key,
                          const std::string& value, const std::string& file_name);
bool PlayerKeyReadString(const std::string& section, const std::string& key,
                         const std::string& default_value, const std::string& file_name,
                         std::string* value);

}  // namespace velmor
