// The media facts kept with every thumbnail: stored as the "<thum>" value of
// the file's data table record and sent to the player with the picture.
//
// The info text is one line of tagged fields,
//   <ver>220<make>1<proc>0<size>426,240<fps>29.970030<duration_ms>20000...
// followed directly by the lines of unknown tags a player sent, each ending
// in a line feed. Players send their own texts one tag per line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmor {

struct ThumbnailInfo {
  static constexpr int kVersion = 220;
  // How the thumbnail came to be (`make`).
  static constexpr int kMadePlaceholder = 0;
  static constexpr int kMadeByServer = 1;
  static constexpr int kMadeAdopted = 4;

  static constexpr size_t kCodecMax = 4;          // fcc_v, fcc_a
  static constexpr size_t kColourMax = 15;        // range, color
  static constexpr size_t kExtraLinesMax = 1024;  // bytes of extra lines kept
  // The stored text, like every value of a record's tag text, fits 527 bytes.
  static constexpr size_t kTextMax = 527;

  int ver = kVersion;
  int make = 0;
  int media = 0;  // the job's media type, 1 to 4
  int proc = 0;   // 1: made from a picture found for a folder
  int width = 0;
  int height = 0;
  float fps = 0;
  int sample_rate = 0;
  int bits_per_sample = 0;
  int channels = 0;
  int duration_ms = 0;
  int aspect_x = 0;
  int aspect_y = 0;
  int time_ms = 0;  // position of the frame used
  std::string fcc_v;
  std::string fcc_a;
  std::string range;
  std::string color;
  std::string extra_lines;  // each ends in '\n'

  // Version 220, everything else zero or empty.
  void Reset() { *this = ThumbnailInfo(); }
};

// The info text, at most kTextMax bytes: extra lines that do not fit are
// left out.
std::string FormatInfoText(const ThumbnailInfo& info);

// Applies a tagged text, a player's (one tag per line) or a stored one (all
// on one line), to the info: each known tag sets its field, the rest of the
// info stays. Lines that begin with an unknown tag are kept as extra lines;
// text that does not begin with '<' is skipped.
void ApplyInfoText(std::string_view text, ThumbnailInfo* info);

// A text value as a field keeps it: cut to max_size bytes (never inside a
// UTF-8 character), without brackets or control characters, which would
// break the tag text that stores it.
std::string CleanInfoValue(std::string_view text, size_t max_size);

}  // namespace velmor
