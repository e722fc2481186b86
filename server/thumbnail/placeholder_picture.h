// The pictures that stand in for a thumbnail that cannot be made, one per
// kind of media, shipped beside the program.
#pragma once

#include <string>

namespace velmor {

inline constexpr const char* kPlaceholderVideo = "error.jpg";  // video and anything else
inline constexpr const char* kPlaceholderAudio = "error_audio.jpg";
inline constexpr const char* kPlaceholderImage = "error_image.jpg";
inline constexpr const char* kPlaceholderFolder = "error_folder.jpg";

// The placeholder's name for a job's media type.
const char* PlaceholderFor(int media_type);

// Reads the placeholder whole: first under its bare name in the current
// folder, then in the program folder, then beside the executable (the
// build installs them there). False when none can be read.
bool ReadPlaceholderPicture(const char* name, std::string* bytes);

}  // namespace velmor
