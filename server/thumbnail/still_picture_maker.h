// A thumbnail from a still picture, scaled by ffmpeg.
#pragma once

#include <string>

#include "thumbnail/picture_context.h"

namespace velmor {

// The picture's facts go into the info when ffprobe can read them; a
// picture of unknown size is made 360 x 360.
bool MakeStillPicture(const PictureContext& context, ThumbnailJob* job, const std::string& picture);

}  // namespace velmor
