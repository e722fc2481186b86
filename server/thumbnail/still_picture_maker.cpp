#include "thumbnail/still_picture_maker.h"

namespace velmor {
namespace {

constexpr size_t kPictureReserve = 65536;

}  // namespace

bool MakeStillPicture(const PictureContext& context, ThumbnailJob* job,
                      const std::string& picture) {
  // Without facts the picture can still be converted.
  ProbeMedia(context, picture, InputKind::kPicture, job);
  job->EnsureImage(kPictureReserve);
  const ThumbnailSize size = TargetSize(job->info.width, job->info.height);
  return context.runner.ConvertPicture(picture, size, &job->image) == RunStatus::kOk;
}

}  // namespace velmor
