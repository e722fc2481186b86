// The media extension sets: which extensions count as video, audio and
// image everywhere in the library.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmor {

enum MediaType : int { kMediaNone = 0, kMediaVideo = 1, kMediaAudio = 2, kMediaImage = 3 };

// Bits of a request's media mask.
enum MediaMask : int { kMaskVideo = 1, kMaskAudio = 2, kMaskImage = 4 };

class CExt {
 public:
  struct S_EXT {
    std::string extension;  // lowercase, with its dot
  };

  // Replaces the set with the blank-separated extensions of a setting such
  // as "mp4 mkv" (quotes group, dots are added).
  void Parse(std::string_view setting);
  // Tests an extension with its dot, ignoring case.
  bool Contains(std::string_view extension) const;
  const std::vector<S_EXT>& entries() const { return entries_; }

 private:
  std::vector<S_EXT> entries_;
};

// Video is tested first, then audio, then image.
MediaType MediaTypeOf(std::string_view path, const CExt& video, const CExt& audio,
                      const CExt& image);

// The three sets together, as the library readers take them.
struct MediaSets {
  const CExt& video;
  const CExt& audio;
  const CExt& image;

  MediaType TypeOf(std::string_view path) const { return MediaTypeOf(path, video, audio, image); }
  bool IsMedia(std::string_view path) const { return TypeOf(path) != kMediaNone; }
};

std::string AsciiLower(std::string_view text);

}  // namespace velmor
