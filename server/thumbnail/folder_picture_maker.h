// A thumbnail for a folder, from the picture or video found for it.
#pragma once

#include <string>

#include "thumbnail/picture_context.h"

namespace velmor {

// Only a video: a frame of it (its record's markers steer the choice). A
// picture: the picture, with the video's facts when there is one too.
// `proc` tells that a picture was used.
bool MakeFolderPicture(const PictureContext& context, ThumbnailJob* job, const std::string* video,
                       const std::string* picture);

}  // namespace velmor
