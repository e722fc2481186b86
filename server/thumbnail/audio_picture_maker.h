// A thumbnail for an audio file: its cover picture, scaled, with the audio
// file's facts; the audio placeholder when it has no cover beside it.
#pragma once

#include <string>

#include "thumbnail/picture_context.h"

namespace velmor {

// Fails when the audio file cannot be probed or gives no size (neither a
// cover nor a picture of its own).
bool MakeAudioPicture(const PictureContext& context, ThumbnailJob* job, const std::string* cover);

}  // namespace velmor
