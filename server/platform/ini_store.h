// INI files as the Windows profile functions keep them: UTF-16LE with a
// byte-order mark (files without one are read as UTF-8 and kept so), section
// and key names compared without case, blanks around names and values
// dropped, a pair of matching quotes around a value removed when it is read,
// a known key rewritten in place, a new key appended to its section and a new
// section appended to the file. Every call reads the file afresh, so edits by
// hand or by another program between calls are seen and kept.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmor::platform {

// Creates an empty UTF-16LE file holding only the byte-order mark, unless a
// file already exists there.
bool CreateUtf16File(const std::string& path);

// GetPrivateProfileStringW: the value of section/key, else the default with
// trailing blanks removed; either is cut to capacity - 1 UTF-16 units.
std::string ReadIniString(const std::string& path, std::string_view section,
                          std::string_view key, std::string_view default_value,
                          size_t capacity = 32767);

// WritePrivateProfileStringW: leading blanks of the value are dropped; the
// file is only rewritten when something changed. A missing file is created
// as UTF-16LE. Refused (false, file untouched): a CR, LF or NUL in any of
// the three texts, a key with "=" or beginning with "[" (so no value can add
// keys of its own), and characters a legacy-encoded file cannot hold.
bool WriteIniString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value);

}  // namespace velmor::platform
