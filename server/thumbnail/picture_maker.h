// Makes the picture of a thumbnail job by its media type: a video frame, a
// scaled still picture, an audio file's cover, or a folder's picture or
// video frame. The thumbnail manager stores what comes out.
#pragma once

#include "thumbnail/picture_context.h"

namespace velmor {

// The job's media path and media type are set. On success the job's image
// holds the picture and its info the media facts; on failure the manager
// falls back to the placeholder.
bool MakePicture(const PictureContext& context, ThumbnailJob* job);

}  // namespace velmor
