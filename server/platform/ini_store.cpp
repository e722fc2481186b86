#include "platform/ini_store.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "base/utf.h"
#include "platform/file_system.h"

// The rules below follow what Wine 8's GetPrivateProfileStringW and
// WritePrivateProfileStringW do, measured byte for byte, so a file we write is
// the file Windows would have written and either side can read the other's.
namespace velmor::platform {
namespace {

enum class Encoding { kUtf16Le, kUtf16Be, kUtf8WithBom, kUtf8, kLatin1 };

struct IniKey {
  std::u16string name;
  std::u16string value;
  bool has_value = false;  // a line without '=' is a key whose reads give the default
};

struct IniSection {
  std::u16string name;  // empty for the lines before the first "[...]"
  std::vector<IniKey> keys;
};

struct IniDocument {
  Encoding encoding = Encoding::kUtf16Le;
  std::vector<IniSection> sections{IniSection{}};
};

// The profile functions count only ASCII blanks, control characters 9 to 13
// and ^Z (a DOS end of file) as blanks; U+3000 and U+00A0 are text.
bool IsBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

std::u16string_view TrimLeft(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::u16string_view TrimRight(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string_view Trim(std::u16string_view text) { return TrimRight(TrimLeft(text)); }

// Windows keeps names and values as C strings, so a NUL inside a line ends
// the name or value it is in. Blanks before such a NUL are trimmed too (Wine
// keeps them), so that a name reads the same before and after a rewrite.
std::u16string_view CutAtNul(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

std::u16string Clean(std::u16string_view text) { return std::u16string(Trim(CutAtNul(text))); }

// Wine 8 folds only ASCII letters when it compares names ("É" and "é" are
// different keys). Windows folds all of Unicode; only non-ASCII names that
// differ in case alone (none of ours) would tell the two apart.
char16_t FoldCase(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

// ---- Bytes to text and back ----

bool IsValidUtf8(std::string_view bytes) { return Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes; }

std::u16string Utf16FromBytes(std::string_view bytes, bool big_endian) {
  std::u16string text(bytes.size() / 2, u'\0');  // an odd last byte is dropped
  for (size_t i = 0; i < text.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    text[i] = big_endian ? static_cast<char16_t>(first << 8 | second)
                         : static_cast<char16_t>(second << 8 | first);
  }
  return text;
}

std::u16string Latin1FromBytes(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char byte : bytes) text.push_back(static_cast<unsigned char>(byte));
  return text;
}

// Files without a byte-order mark are in the "ANSI" code page on Windows. We
// read them as UTF-8; one that is not valid UTF-8 is kept byte for byte (read
// as Latin-1), so rewriting a key never damages the other lines.
std::u16string DecodeFile(std::string_view bytes, Encoding* encoding) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    *encoding = Encoding::kUtf8WithBom;
    return Utf8ToUtf16(bytes.substr(3));
  }
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    *encoding = Encoding::kUtf16Le;
    return Utf16FromBytes(bytes.substr(2), false);
  }
  if (bytes.substr(0, 2) == "\xFE\xFF") {
    *encoding = Encoding::kUtf16Be;
    return Utf16FromBytes(bytes.substr(2), true);
  }
  if (IsValidUtf8(bytes)) {
    *encoding = Encoding::kUtf8;
    return Utf8ToUtf16(bytes);
  }
  *encoding = Encoding::kLatin1;
  return Latin1FromBytes(bytes);
}

void AppendUtf16(std::u16string_view text, bool big_endian, std::string* bytes) {
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes->push_back(big_endian ? high : low);
    bytes->push_back(big_endian ? low : high);
  }
}

bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" ||
         bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

// Fails only for a Latin-1 file and text it cannot hold: Windows would put
// '?' there and report success.
bool EncodeText(std::u16string_view text, Encoding encoding, std::string* bytes) {
  switch (encoding) {
    case Encoding::kUtf16Le:
      *bytes = "\xFF\xFE";
      AppendUtf16(text, false, bytes);
      return true;
    case Encoding::kUtf16Be:
      *bytes = "\xFE\xFF";
      AppendUtf16(text, true, bytes);
      return true;
    case Encoding::kUtf8WithBom:
      *bytes = "\xEF\xBB\xBF" + Utf16ToUtf8(text);
      return true;
    case Encoding::kUtf8:
      *bytes = Utf16ToUtf8(text);
      return true;
    case Encoding::kLatin1:
      bytes->clear();
      for (char16_t unit : text) {
        if (unit > 0xFF) return false;
        bytes->push_back(static_cast<char>(unit));
      }
      return true;
  }
  return false;
}

// A file without a BOM whose first line starts with the bytes of one ("ÿþ"
// in Latin-1) would be taken for UTF-16 next time and read as garbage, so
// such a file starts with an empty line, which every reader skips.
bool EncodeFile(std::u16string_view text, Encoding encoding, std::string* bytes) {
  if (!EncodeText(text, encoding, bytes)) return false;
  const bool has_bom = encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be ||
                       encoding == Encoding::kUtf8WithBom;
  if (!has_bom && StartsWithByteOrderMark(*bytes)) bytes->insert(0, "\r\n");
  return true;
}

// ---- Text to sections and back ----

// "[name]" up to the last ']' starts a section; a line that begins with '['
// but has no ']' is an ordinary key.
std::optional<std::u16string> SectionHeader(std::u16string_view line) {
  if (line.front() != u'[') return std::nullopt;
  const size_t close = line.rfind(u']');
  if (close == std::u16string_view::npos) return std::nullopt;
  return Clean(line.substr(1, close - 1));
}

IniKey ParseKey(std::u16string_view line) {
  IniKey key;
  const size_t equals = line.find(u'=');
  if (equals == std::u16string_view::npos) {
    key.name = Clean(line);
    return key;
  }
  key.name = Clean(line.substr(0, equals));
  key.value = Clean(line.substr(equals + 1));
  key.has_value = true;
  return key;
}

void ParseLines(std::u16string_view text, IniDocument* document) {
  const auto is_break = [](char16_t c) { return c == u'\r' || c == u'\n'; };
  // Windows drops a nameless key ("=x") that follows another nameless one.
  bool previous_nameless = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && !is_break(text[end])) ++end;
    const std::u16string_view line = Trim(text.substr(start, end - start));
    start = end;
    while (start < text.size() && is_break(text[start])) ++start;
    if (line.empty()) continue;

    if (auto section_name = SectionHeader(line)) {
      document->sections.push_back(IniSection{std::move(*section_name), {}});
      previous_nameless = false;
      continue;
    }
    const bool nameless = line.front() == u'=';
    if (nameless && previous_nameless) continue;
    IniKey key = ParseKey(line);
    previous_nameless = key.name.empty();
    document->sections.back().keys.push_back(std::move(key));
  }
}

// A section with an empty name (the leading one, or a "[]") is written
// without a header, as Windows does.
std::u16string FormatLines(const IniDocument& document) {
  std::u16string text;
  for (const IniSection& section : document.sections) {
    if (!section.name.empty()) text += u"[" + section.name + u"]\r\n";
    for (const IniKey& key : section.keys) {
      text += key.name;
      if (key.has_value) text += u"=" + key.value;
      text += u"\r\n";
    }
  }
  return text;
}

// ---- Files ----

// A missing file is an empty UTF-16LE document; a file that exists but
// cannot be read fails, so that a write never replaces it with an empty one.
bool LoadDocument(const std::string& path, IniDocument* document) {
  const PathType type = GetPathType(path);
  if (type == PathType::kNone) return true;
  if (type != PathType::kFile) return false;
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) return false;
  const std::u16string text = DecodeFile(bytes, &document->encoding);
  ParseLines(text, document);
  return true;
}

bool SaveDocument(const std::string& path, const IniDocument& document) {
  std::string bytes;
  if (!EncodeFile(FormatLines(document), document.encoding, &bytes)) return false;
  return WriteFileAtomically(path, bytes);
}

IniSection* FindSection(IniDocument* document, std::u16string_view name) {
  for (IniSection& section : document->sections) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

IniKey* FindKey(IniSection* section, std::u16string_view name) {
  for (IniKey& key : section->keys) {
    if (SameName(key.name, name)) return &key;
  }
  return nullptr;
}

// ---- Reading a value as GetPrivateProfileStringW returns it ----

// Trailing spaces (only spaces) of the default are dropped, but a default of
// nothing but spaces keeps one.
std::u16string TrimDefault(std::u16string_view value) {
  size_t length = value.size();
  while (length > 1 && value[length - 1] == u' ') --length;
  return std::u16string(value.substr(0, length));
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Copies at most capacity - 1 units and removes a pair of matching quotes.
// Windows drops the closing quote by position: when the value exactly fills
// the buffer it removes the last character that fit instead ("abc" read with
// room for 3 gives "ab"); we keep that so reads agree with Windows.
std::u16string CopyEntry(std::u16string_view value, size_t capacity) {
  bool quoted = false;
  if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]) {
    quoted = true;
    value.remove_prefix(1);
  }
  std::u16string copy(value.substr(0, std::min(value.size(), capacity - 1)));
  if (quoted && capacity >= value.size() && !copy.empty()) copy.pop_back();
  // Windows may cut a surrogate pair in half; half a character cannot be
  // returned as UTF-8, so the lone first half goes.
  if (!copy.empty() && IsHighSurrogate(copy.back())) copy.pop_back();
  return copy;
}

std::u16string NameToFind(std::string_view name) { return Clean(Utf8ToUtf16(name)); }

// Texts that Windows would write but that would not read back as written: a
// line break or NUL anywhere splits or cuts the line, and a key holding '='
// or starting with '[' reads back as another key or as a section.
bool CanStore(std::string_view section, std::string_view key, std::string_view value) {
  const auto has_break = [](std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
  };
  if (has_break(section) || has_break(key) || has_break(value)) return false;
  const std::u16string key_name = NameToFind(key);
  return key_name.find(u'=') == std::u16string::npos && (key_name.empty() || key_name[0] != u'[');
}

}  // namespace

bool CreateUtf16File(const std::string& path) {
  const PathType type = GetPathType(path);
  if (type != PathType::kNone) return type == PathType::kFile;
  return WriteFileAtomically(path, "\xFF\xFE");
}

std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view default_value, size_t capacity) {
  if (capacity == 0) return "";
  std::u16string value = TrimDefault(CutAtNul(Utf8ToUtf16(default_value)));
  IniDocument document;
  if (LoadDocument(path, &document)) {
    IniSection* found_section = FindSection(&document, NameToFind(section));
    IniKey* found_key = found_section ? FindKey(found_section, NameToFind(key)) : nullptr;
    if (found_key != nullptr && found_key->has_value) value = found_key->value;
  }
  return Utf16ToUtf8(CopyEntry(value, capacity));
}

bool WriteIniString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value) {
  if (!CanStore(section, key, value)) return false;
  // Each write reads the whole file and writes it back: two threads of the
  // process (the player's key writes, the settings' save) must take turns,
  // or one loses the other's key. Readers see the old file or the new one.
  static std::mutex write_lock;
  std::lock_guard<std::mutex> lock(write_lock);
  IniDocument document;
  if (!LoadDocument(path, &document)) return false;

  // A new section or key keeps its name as given, less leading blanks (Windows
  // keeps the trailing ones in the file); the value loses only leading blanks.
  const std::u16string section_name(TrimLeft(Utf8ToUtf16(section)));
  const std::u16string key_name(TrimLeft(Utf8ToUtf16(key)));
  const std::u16string new_value(TrimLeft(Utf8ToUtf16(value)));

  IniSection* found_section = FindSection(&document, TrimRight(section_name));
  if (found_section == nullptr) {
    document.sections.push_back(IniSection{section_name, {IniKey{key_name, new_value, true}}});
    return SaveDocument(path, document);
  }
  IniKey* found_key = FindKey(found_section, TrimRight(key_name));
  if (found_key == nullptr) {
    found_section->keys.push_back(IniKey{key_name, new_value, true});
    return SaveDocument(path, document);
  }
  if (found_key->has_value && found_key->value == new_value) return true;
  found_key->value = new_value;
  found_key->has_value = true;
  return SaveDocument(path, document);
}

}  // namespace velmor::platform
