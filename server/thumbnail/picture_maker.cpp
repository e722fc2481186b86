#include "thumbnail/picture_maker.h"

#include "thumbnail/audio_picture_maker.h"
#include "thumbnail/companion_search.h"
#include "thumbnail/folder_picture_maker.h"
#include "thumbnail/placeholder_picture.h"
#include "thumbnail/still_picture_maker.h"
#include "thumbnail/video_picture_maker.h"

namespace velmor {
namespace {

bool MakeAudio(const PictureContext& context, ThumbnailJob* job) {
  std::string cover;
  const bool has_cover =
      FindCompanionOf(context.media.image, job->media_path, nullptr, kSameNameOnly, &cover);
  return MakeAudioPicture(context, job, has_cover ? &cover : nullptr);
}

// A folder's picture is named after the folder (else any picture in it or
// below); its video likewise. A folder of music gets the audio placeholder.
bool MakeFolder(const PictureContext& context, ThumbnailJob* job) {
  const std::string& folder = job->media_path;
  const std::string_view name = LastPathComponent(folder);
  std::string picture;
  std::string video;
  const bool has_picture =
      FindCompanion(context.media.image, name, folder, kAnyInSubfolders, &picture);
  const bool has_video = FindCompanion(context.media.video, name, folder, kAnyInSubfolders, &video);
  if (has_picture || has_video) {
    return MakeFolderPicture(context, job, has_video ? &video : nullptr,
                             has_picture ? &picture : nullptr);
  }
  std::string audio;
  if (FindCompanion(context.media.audio, name, folder, kAnyInSubfolders, &audio)) {
    return ReadPlaceholderPicture(kPlaceholderAudio, &job->image);
  }
  return false;
}

}  // namespace

bool MakePicture(const PictureContext& context, ThumbnailJob* job) {
  switch (job->media_type) {
    case kThumbnailVideo:
      return MakeVideoPicture(context, job, nullptr);
    case kThumbnailAudio:
      return MakeAudio(context, job);
    case kThumbnailImage:
      return MakeStillPicture(context, job, job->media_path);
    case kThumbnailFolder:
      return MakeFolder(context, job);
  }
  return false;
}

}  // namespace velmor
