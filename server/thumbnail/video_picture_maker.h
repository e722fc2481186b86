// A thumbnail from a frame of a video: the frame that ffmpeg's thumbnail
// filter finds most typical near the chosen point, tried again elsewhere
// while the picture comes out nearly uniform (see grab_schedule.h).
#pragma once

#include <string>

#include "thumbnail/picture_context.h"

namespace velmor {

// Probes the video (the job's media, or another video found for a folder),
// then grabs frames until one is accepted. The info gets the video's facts
// and the time of the frame used; the job's image the JPEG.
bool MakeVideoPicture(const PictureContext& context, ThumbnailJob* job,
                      const std::string* other_video);

}  // namespace velmor
