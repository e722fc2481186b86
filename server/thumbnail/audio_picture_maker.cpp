#include "thumbnail/audio_picture_maker.h"

#include "thumbnail/placeholder_picture.h"

namespace velmor {
namespace {

constexpr size_t kPictureReserve = 65536;

// What the cover's probe tells about the picture.
struct PictureFacts {
  int width = 0;
  int height = 0;
  float fps = 0;
  int aspect_x = 0;
  int aspect_y = 0;
  std::string fcc_v;
  std::string range;
  std::string color;
};

PictureFacts FactsOf(const ThumbnailInfo& info) {
  return {info.width,    info.height, info.fps,   info.aspect_x,
          info.aspect_y, info.fcc_v,  info.range, info.color};
}

void Restore(const PictureFacts& facts, ThumbnailInfo* info) {
  info->width = facts.width;
  info->height = facts.height;
  info->fps = facts.fps;
  info->aspect_x = facts.aspect_x;
  info->aspect_y = facts.aspect_y;
  info->fcc_v = facts.fcc_v;
  info->range = facts.range;
  info->color = facts.color;
}

}  // namespace

bool MakeAudioPicture(const PictureContext& context, ThumbnailJob* job, const std::string* cover) {
  const bool cover_probed =
      cover != nullptr && ProbeMedia(context, *cover, InputKind::kPicture, job);
  const PictureFacts cover_facts = FactsOf(job->info);
  if (!ProbeMedia(context, job->media_path, InputKind::kMedia, job)) return false;
  if (cover == nullptr) return ReadPlaceholderPicture(kPlaceholderAudio, &job->image);

  // A picture inside the audio file would otherwise replace the cover's
  // size, and the cover would be scaled out of shape.
  if (cover_probed) Restore(cover_facts, &job->info);
  job->EnsureImage(kPictureReserve);
  const ThumbnailSize size = TargetSize(job->info.width, job->info.height);
  return context.runner.ConvertPicture(*cover, size, &job->image) == RunStatus::kOk;
}

}  // namespace velmor
