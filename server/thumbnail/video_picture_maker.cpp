#include "thumbnail/video_picture_maker.h"

#include "core/paths.h"
#include "library/data_table.h"
#include "library/tag_text.h"
#include "thumbnail/marker_times.h"

namespace velmor {
namespace {

constexpr size_t kPictureReserve = 65536;

// The marker positions of the video's record: found by path for another
// video, else by the job's id.
std::vector<int> RecordMarkers(const PictureContext& context, const ThumbnailJob& job,
                               const std::string* other_video) {
  if (context.data_table == nullptr) return {};
  std::string mark_value;
  {
    DataTable::Locked table = context.data_table->Lock();
    const S_DATATABLE* record = other_video != nullptr
                                    ? table.Find(*other_video, GetFileSize64(*other_video))
                                    : table.FindById(job.record_id);
    if (record == nullptr || GetTagValue(record->tags, "<mark>", &mark_value) < 0) return {};
  }
  return MarkerPositions(mark_value);
}

void Note(const PictureContext& context, const GrabSchedule& schedule, size_t jpeg_size,
          bool accepted) {
  if (context.attempts == nullptr) return;
  context.attempts->push_back(
      {schedule.seek_seconds(), schedule.frame_count(), jpeg_size, accepted});
}

}  // namespace

bool MakeVideoPicture(const PictureContext& context, ThumbnailJob* job,
                      const std::string* other_video) {
  const std::string& video = other_video != nullptr ? *other_video : job->media_path;
  if (!ProbeMedia(context, video, InputKind::kMedia, job)) return false;
  job->EnsureImage(kPictureReserve);

  GrabSchedule schedule(job->info.duration_ms, job->info.height,
                        RecordMarkers(context, *job, other_video), context.random_seed);
  const ThumbnailSize size = TargetSize(job->info.width, job->info.height);
  for (;;) {
    job->info.time_ms = schedule.seek_seconds() * 1000;
    const RunStatus status = context.runner.GrabFrame(video, schedule.seek_seconds(),
                                                      schedule.frame_count(), size, &job->image);
    if (status != RunStatus::kOk) {
      Note(context, schedule, 0, false);
      return false;
    }
    const bool accepted = schedule.Accepts(job->image.size(), size);
    Note(context, schedule, job->image.size(), accepted);
    if (accepted) return true;
    if (!schedule.Next()) return false;
  }
}

}  // namespace velmor
