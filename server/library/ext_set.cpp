#include "library/ext_set.h"

#include "base/get_token.h"
#include "core/paths.h"

namespace velmor {

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

void CExt::Parse(std::string_view setting) {
  entries_.clear();
  entries_.reserve(8);
  size_t pos = 0;
  std::string token;
  size_t next = 0;
  while (pos <= setting.size() && GetToken(setting.substr(pos), 1, &token, &next)) {
    if (!token.empty()) entries_.push_back({"." + AsciiLower(token)});
    pos += next;
  }
}

bool CExt::Contains(std::string_view extension) const {
  const std::string lower = AsciiLower(extension);
  for (const S_EXT& entry : entries_) {
    if (entry.extension == lower) return true;
  }
  return false;
}

namespace {

// The last component's extension with its dot, read from the end of the
// path without splitting it into new strings: a listing asks for the type
// of every file it reads.
std::string_view ExtensionOf(std::string_view path) {
  for (size_t at = path.size(); at > 0; --at) {
    const char c = path[at - 1];
    if (c == '.') return path.substr(at - 1);
    if (c == '/' || c == '\\') break;
  }
  return {};
}

}  // namespace

MediaType MediaTypeOf(std::string_view path, const CExt& video, const CExt& audio,
                      const CExt& image) {
  const std::string_view extension = ExtensionOf(path);
  if (extension.empty()) return kMediaNone;
  if (video.Contains(extension)) return kMediaVideo;
  if (audio.Contains(extension)) return kMediaAudio;
  if (image.Contains(extension)) return kMediaImage;
  return kMediaNone;
}

}  // namespace velmor
