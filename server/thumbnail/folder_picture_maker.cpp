#include "thumbnail/folder_picture_maker.h"

#include "thumbnail/still_picture_maker.h"
#include "thumbnail/video_picture_maker.h"

namespace velmor {
namespace {

constexpr size_t kPictureReserve = 65536;

}  // namespace

bool MakeFolderPicture(const PictureContext& context, ThumbnailJob* job, const std::string* video,
                       const std::string* picture) {
  if (picture == nullptr) {
    return video != nullptr && MakeVideoPicture(context, job, video);
  }
  job->info.proc = 1;
  if (video == nullptr) return MakeStillPicture(context, job, *picture);

  // The picture's shape, the video's facts.
  ProbeMedia(context, *picture, InputKind::kPicture, job);
  const ThumbnailSize size = TargetSize(job->info.width, job->info.height);
  ProbeMedia(context, *video, InputKind::kMedia, job);
  job->EnsureImage(kPictureReserve);
  return context.runner.ConvertPicture(*picture, size, &job->image) == RunStatus::kOk;
}

}  // namespace velmor
