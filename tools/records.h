// Decoding of what the server answers: result lines and flat tagged fields of
// "STRG" texts, result slots ("RTMS"), listing records ("RTFL") and thumbnail
// answers ("RTDT"). Every decoder takes a chunk payload as received and
// refuses, with a reason, anything that does not match its layout exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::player {

// Flat tagged fields: "<key>" followed directly by its value, the first
// occurrence anywhere in the text counting (as the server reads them).
// A number is read like the C library's decimal conversion (0 without
// digits, clamped to the 64-bit range); a string is the text between the
// first double quote after the key and the next one, or the end of the text.
std::optional<int64_t> FlatNumber(std::string_view text, std::string_view key);
std::optional<std::string> FlatString(std::string_view text, std::string_view key);

// "#RET_OK()" or "#RET_ERR(<code>%d,<message>\"%s\")".
struct ResultLine {
  bool ok = false;
  int64_t code = 0;
  std::string message;
};

bool IsResultLine(std::string_view text);
std::optional<ResultLine> ParseResultLine(std::string_view text);

// One "RTMS" chunk: a result slot of a binary command.
struct ResultSlot {
  uint16_t slot = 0;
  int64_t value = 0;
  std::string text;
};

std::optional<ResultSlot> DecodeResultSlot(std::string_view payload, std::string* error);

// One listing record of an "RTFL" chunk. The folder is filled in from the
// previous record of the chunk when the record leaves it out.
struct ListRecord {
  uint32_t word = 0;
  bool folder_repeated = false;  // folder bytes were 0 on the wire
  std::string folder;
  std::string name;
  int64_t id = 0;
  int32_t date = 0;
  int64_t file_size = 0;
  int16_t group_no = 0;
  int16_t parent = 0;
  uint16_t chapter = 0;
};

// The parts of the item word.
struct ItemWord {
  uint32_t state_flags = 0;  // bits 0-15
  bool not_found = false;    // bit 16
  bool folder = false;       // bit 17
  bool chapter = false;      // bit 18
  uint32_t media_type = 0;   // bits 20-23: 0 none, 1 video, 2 audio, 3 image
  uint32_t kind = 0;         // bits 24-27
};

ItemWord SplitItemWord(uint32_t word);
std::optional<std::vector<ListRecord>> DecodeListRecords(std::string_view payload,
                                                         std::string* error);

// One "RTDT" chunk: the answer to one item of a thumbnail fetch.
// A thumbnail answer's status: the picture came; it is missing and a
// request to make it was added.
inline constexpr uint16_t kThumbnailLoaded = 1;
inline constexpr uint16_t kThumbnailRequested = 3;

struct ThumbnailAnswer {
  uint16_t index = 0;
  uint16_t status = 0;
  std::string info;  // 8-bit text without its terminating zero
  int32_t image_size = 0;
};

std::optional<ThumbnailAnswer> DecodeThumbnailAnswer(std::string_view payload, std::string* error);

}  // namespace velmor::player
