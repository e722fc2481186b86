#include "thumbnail/picture_context.h"

#include "thumbnail/ffprobe_parser.h"

namespace velmor {

bool ProbeMedia(const PictureContext& context, const std::string& path, InputKind kind,
                ThumbnailJob* job) {
  if (context.runner.Probe(path, kind, &job->probe_text) != RunStatus::kOk) return false;
  return ParseStreamReport(job->probe_text, job->media_type, &job->info);
}

}  // namespace velmor
