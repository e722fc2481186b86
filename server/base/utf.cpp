#include "base/utf.h"

#include <cstdint>

namespace velmor {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at text[*pos] and advances *pos past it; malformed
// or overlong sequences and surrogates give U+FFFD for one byte.
char32_t DecodeUtf8(std::string_view text, size_t* pos) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(*pos);
  if (lead < 0x80) {
    ++*pos;
    return lead;
  }
  int length = 0;
  char32_t code = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    ++*pos;
    return kReplacement;
  }
  if (*pos + length > text.size()) {
    ++*pos;
    return kReplacement;
  }
  for (int i = 1; i < length; ++i) {
    const uint8_t next = byte(*pos + i);
    if ((next & 0xC0) != 0x80) {
      ++*pos;
      return kReplacement;
    }
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++*pos;
    return kReplacement;
  }
  *pos += length;
  return code;
}

void AppendUtf8(char32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  // Never more units than bytes: only four-byte sequences give two units.
  // Written through a pointer, not appended unit by unit: a listing
  // converts every name it sends.
  std::u16string out(text.size(), u'\0');
  char16_t* write = out.data();
  size_t pos = 0;
  while (pos < text.size()) {
    const auto lead = static_cast<uint8_t>(text[pos]);
    if (lead < 0x80) {
      *write++ = static_cast<char16_t>(lead);
      ++pos;
      continue;
    }
    const char32_t code = DecodeUtf8(text, &pos);
    if (code < 0x10000) {
      *write++ = static_cast<char16_t>(code);
    } else {
      *write++ = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      *write++ = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  out.resize(static_cast<size_t>(write - out.data()));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    AppendUtf8(code, &out);
  }
  return out;
}

size_t Utf16Length(std::string_view text) {
  size_t units = 0;
  size_t pos = 0;
  while (pos < text.size()) units += DecodeUtf8(text, &pos) >= 0x10000 ? 2 : 1;
  return units;
}

std::string CutToUtf16Units(std::string_view text, size_t max_units) {
  size_t units = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t next = pos;
    const size_t width = DecodeUtf8(text, &next) >= 0x10000 ? 2 : 1;
    if (units + width > max_units) break;
    units += width;
    pos = next;
  }
  return std::string(text.substr(0, pos));
}

}  // namespace velmor
