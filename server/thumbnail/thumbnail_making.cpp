// The making half of the thumbnail manager: a thumbnail from the media, a
// file already in the folder adopted, a placeholder, a player's upload.
#include "platform/clock.h"
#include "platform/file_system.h"
#include "thumbnail/picture_context.h"
#include "thumbnail/picture_maker.h"
#include "thumbnail/placeholder_picture.h"
#include "thumbnail/thumbnail_file.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor {
namespace {

// What an adopted file's info says: the converter brought it from an older
// version of the server, made from some picture of the media.
constexpr char kAdoptedInfo[] = "<make>4<proc>1<time_ms>0";

InputKind ProbeKindOf(int media_type) {
  return media_type == kThumbnailImage ? InputKind::kPicture : InputKind::kMedia;
}

}  // namespace

MediaRunner ThumbnailManager::RunnerFor(const Settings& settings) const {
  MediaRunner::Settings runner;
  runner.programs = settings.programs;
  runner.running = &running_;
  runner.time_limit_ms = settings.time_limit_ms;
  return MediaRunner(runner);
}

void ThumbnailManager::PrepareJob(const RecordFacts& facts, const Settings& settings,
                                  ThumbnailJob* job) {
  job->media_path = facts.media_path;
  job->media_type =
      ThumbnailMediaTypeOf(facts.media_path, {settings.video, settings.audio, settings.image});
  job->info.Reset();
}

bool ThumbnailManager::MakeThumbnail(ThumbnailJob* job, MakeMode mode) {
  const Settings settings = this->settings();
  RecordFacts facts;
  if (!LookUp(job->record_id, settings, &facts)) return false;
  PrepareJob(facts, settings, job);
  if (mode == MakeMode::kMakeOrAdopt) {
    if (ThumbnailFileExists(facts.thumbnail_path)) return AdoptExisting(settings, facts, job);
    if (MakeFromMedia(settings, facts, job)) return true;
    // A run ended because the server stops says nothing about the media:
    // a placeholder now would stay for good.
    if (running_ != 1) return false;
  }
  return StorePlaceholder(facts, job);
}

// False when no picture could be made; then the placeholder stands in.
// True also when a thumbnail appeared meanwhile (a player's upload): that
// one stays, with its info.
bool ThumbnailManager::MakeFromMedia(const Settings& settings, const RecordFacts& facts,
                                     ThumbnailJob* job) {
  const MediaRunner runner = RunnerFor(settings);
  const PictureContext context{runner,
                               {settings.video, settings.audio, settings.image},
                               data_table(),
                               platform::TickCount(),
                               nullptr};
  if (!MakePicture(context, job) || job->image.empty()) return false;
  job->info.make = ThumbnailInfo::kMadeByServer;
  job->info.media = job->media_type;
  switch (WriteThumbnailFile(facts.thumbnail_path, job->image, job->info.make)) {
    case ThumbnailWrite::kWritten:
      StoreInfoText(job->record_id, job->info);
      return true;
    case ThumbnailWrite::kKept:
      return true;
    case ThumbnailWrite::kFailed:
      return false;
  }
  return false;
}

// A file already in the folder is kept as it is. Only an info left empty
// (by the converter of old thumbnails) is filled in from the media.
bool ThumbnailManager::AdoptExisting(const Settings& settings, const RecordFacts& facts,
                                     ThumbnailJob* job) {
  if (!platform::ReadWholeFile(facts.thumbnail_path, &job->image)) return false;
  if (facts.info_size != 0) return true;
  ProbeInto(settings, job);
  ApplyInfoText(kAdoptedInfo, &job->info);
  StoreInfoText(job->record_id, job->info);
  return true;
}

bool ThumbnailManager::StorePlaceholder(const RecordFacts& facts, ThumbnailJob* job) {
  if (!ReadPlaceholderPicture(PlaceholderFor(job->media_type), &job->image)) return false;
  job->info.make = ThumbnailInfo::kMadePlaceholder;
  job->info.media = job->media_type;
  if (WriteThumbnailFile(facts.thumbnail_path, job->image, job->info.make) !=
      ThumbnailWrite::kWritten) {
    return false;
  }
  StoreInfoText(job->record_id, job->info);
  return true;
}

// Only fills in the info: a media file ffprobe cannot read leaves it empty.
void ThumbnailManager::ProbeInto(const Settings& settings, ThumbnailJob* job) {
  const MediaRunner runner = RunnerFor(settings);
  const PictureContext context{runner, {settings.video, settings.audio, settings.image}};
  ProbeMedia(context, job->media_path, ProbeKindOf(job->media_type), job);
}

bool ThumbnailManager::StoreUpload(ThumbnailJob* job) {
  if (job->image.empty()) return MakeThumbnail(job, MakeMode::kPlaceholder);
  const Settings settings = this->settings();
  RecordFacts facts;
  if (!LookUp(job->record_id, settings, &facts)) return false;
  PrepareJob(facts, settings, job);
  if (settings.use_ffmpeg) ProbeInto(settings, job);
  // The player's values override the probed ones.
  ApplyInfoText(job->client_text, &job->info);
  if (WriteThumbnailFile(facts.thumbnail_path, job->image, job->info.make) ==
      ThumbnailWrite::kFailed) {
    return false;
  }
  StoreInfoText(job->record_id, job->info);
  return true;
}

}  // namespace velmor
