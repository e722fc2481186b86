#include "thumbnail/thumbnail_info.h"

#include <charconv>
#include <cmath>

#include "thumbnail/text_scan.h"

namespace velmor {
namespace {

enum class Field {
  kVer,
  kMake,
  kProc,
  kSize,
  kFps,
  kDuration,
  kAspect,
  kTime,
  kFccV,
  kFccA,
  kColor,
  kRange,
  kMedia,
  kAudioSmp,
};

struct Tag {
  std::string_view text;
  Field field;
};

constexpr Tag kTags[] = {
    {"<ver>", Field::kVer},       {"<make>", Field::kMake},
    {"<proc>", Field::kProc},     {"<size>", Field::kSize},
    {"<fps>", Field::kFps},       {"<duration_ms>", Field::kDuration},
    {"<aspect>", Field::kAspect}, {"<time_ms>", Field::kTime},
    {"<fcc_v>", Field::kFccV},    {"<fcc_a>", Field::kFccA},
    {"<color>", Field::kColor},   {"<range>", Field::kRange},
    {"<media>", Field::kMedia},   {"<audio_smp>", Field::kAudioSmp},
};

const Tag* TagAt(std::string_view text) {
  for (const Tag& tag : kTags) {
    if (text.substr(0, tag.text.size()) == tag.text) return &tag;
  }
  return nullptr;
}

// "%d,%d" and "%d,%d,%d": each number is set as far as the text holds them.
void ReadInts(std::string_view value, int* first, int* second, int* third = nullptr) {
  TextScanner scanner(value);
  if (!scanner.Int(first) || !scanner.Literal(',') || !scanner.Int(second)) return;
  if (third != nullptr && scanner.Literal(',')) scanner.Int(third);
}

void SetField(Field field, std::string_view value, ThumbnailInfo* info) {
  switch (field) {
    case Field::kVer:
      info->ver = LeadingInt(value);
      return;
    case Field::kMake:
      info->make = LeadingInt(value);
      return;
    case Field::kProc:
      info->proc = LeadingInt(value);
      return;
    case Field::kSize:
      ReadInts(value, &info->width, &info->height);
      return;
    case Field::kFps: {
      float fps = 0;
      TextScanner scanner(value);
      info->fps = scanner.Float(&fps) && std::isfinite(fps) ? fps : 0;
      return;
    }
    case Field::kDuration:
      info->duration_ms = LeadingInt(value);
      return;
    case Field::kAspect:
      ReadInts(value, &info->aspect_x, &info->aspect_y);
      return;
    case Field::kTime:
      info->time_ms = LeadingInt(value);
      return;
    case Field::kFccV:
      info->fcc_v = CleanInfoValue(value, ThumbnailInfo::kCodecMax);
      return;
    case Field::kFccA:
      info->fcc_a = CleanInfoValue(value, ThumbnailInfo::kCodecMax);
      return;
    case Field::kColor:
      info->color = CleanInfoValue(value, ThumbnailInfo::kColourMax);
      return;
    case Field::kRange:
      info->range = CleanInfoValue(value, ThumbnailInfo::kColourMax);
      return;
    case Field::kMedia:
      info->media = LeadingInt(value);
      return;
    case Field::kAudioSmp:
      ReadInts(value, &info->sample_rate, &info->bits_per_sample, &info->channels);
      return;
  }
}

// Brackets that never close more than they opened and all close: the tag
// text that stores the info refuses anything else.
bool IsBalanced(std::string_view text) {
  size_t depth = 0;
  for (const char c : text) {
    if (c == '<') ++depth;
    if (c == '>' && depth-- == 0) return false;
  }
  return depth == 0;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool HasControl(std::string_view text) {
  for (const char c : text) {
    if (IsControl(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

// Kept whole or not at all: a line changed here could read back as
// something else.
void AddExtraLine(std::string_view line, ThumbnailInfo* info) {
  if (HasControl(line) || !IsBalanced(line)) return;
  if (info->extra_lines.size() + line.size() + 1 > ThumbnailInfo::kExtraLinesMax) return;
  info->extra_lines.append(line);
  info->extra_lines += '\n';
}

// One line that begins with '<': its known tags one after another, each
// value running to the next '<'. From an unknown tag on, the rest of the
// line is an extra line (in a stored text, the first extra line follows the
// last field directly).
void ApplyLine(std::string_view line, ThumbnailInfo* info) {
  size_t pos = 0;
  while (pos < line.size()) {
    const Tag* tag = TagAt(line.substr(pos));
    if (tag == nullptr) {
      AddExtraLine(line.substr(pos), info);
      return;
    }
    const size_t value_start = pos + tag->text.size();
    size_t value_end = line.find('<', value_start);
    if (value_end == std::string_view::npos) value_end = line.size();
    SetField(tag->field, line.substr(value_start, value_end - value_start), info);
    pos = value_end;
  }
}

void AppendInt(int value, std::string* out) { out->append(std::to_string(value)); }

// "%f": six decimals, whatever the process's locale.
void AppendFixed(float value, std::string* out) {
  char buffer[64];
  const double shown = std::isfinite(value) ? static_cast<double>(value) : 0.0;
  const auto result =
      std::to_chars(buffer, buffer + sizeof(buffer), shown, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) {
    out->append("0.000000");
    return;
  }
  out->append(buffer, result.ptr);
}

}  // namespace

std::string CleanInfoValue(std::string_view text, size_t max_size) {
  std::string clean;
  for (const char c : text) {
    if (c == '<' || c == '>' || c == '"' || IsControl(static_cast<unsigned char>(c))) continue;
    clean.push_back(c);
  }
  if (clean.size() <= max_size) return clean;
  size_t cut = max_size;
  // Never leave half of a UTF-8 character: back up over continuation bytes.
  while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) --cut;
  clean.resize(cut);
  return clean;
}

std::string FormatInfoText(const ThumbnailInfo& info) {
  std::string text;
  text.reserve(ThumbnailInfo::kTextMax);
  text += "<ver>";
  AppendInt(info.ver, &text);
  text += "<make>";
  AppendInt(info.make, &text);
  text += "<proc>";
  AppendInt(info.proc, &text);
  text += "<size>";
  AppendInt(info.width, &text);
  text += ',';
  AppendInt(info.height, &text);
  text += "<fps>";
  AppendFixed(info.fps, &text);
  text += "<duration_ms>";
  AppendInt(info.duration_ms, &text);
  text += "<aspect>";
  AppendInt(info.aspect_x, &text);
  text += ',';
  AppendInt(info.aspect_y, &text);
  text += "<time_ms>";
  AppendInt(info.time_ms, &text);
  text += "<fcc_v>" + CleanInfoValue(info.fcc_v, ThumbnailInfo::kCodecMax);
  text += "<fcc_a>" + CleanInfoValue(info.fcc_a, ThumbnailInfo::kCodecMax);
  text += "<color>" + CleanInfoValue(info.color, ThumbnailInfo::kColourMax);
  text += "<range>" + CleanInfoValue(info.range, ThumbnailInfo::kColourMax);
  text += "<media>";
  AppendInt(info.media, &text);
  text += "<audio_smp>";
  AppendInt(info.sample_rate, &text);
  text += ',';
  AppendInt(info.bits_per_sample, &text);
  text += ',';
  AppendInt(info.channels, &text);

  // Whole extra lines only, as many as fit.
  std::string_view extra = info.extra_lines;
  while (!extra.empty()) {
    size_t end = extra.find('\n');
    end = end == std::string_view::npos ? extra.size() : end + 1;
    const std::string_view line = extra.substr(0, end);
    extra.remove_prefix(end);
    if (HasControl(line.substr(0, line.size() - (line.back() == '\n'))) || !IsBalanced(line)) {
      continue;
    }
    if (text.size() + line.size() > ThumbnailInfo::kTextMax) break;
    text.append(line);
  }
  return text;
}

void ApplyInfoText(std::string_view text, ThumbnailInfo* info) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() != '<') continue;
    ApplyLine(line, info);
  }
}

}  // namespace velmor
