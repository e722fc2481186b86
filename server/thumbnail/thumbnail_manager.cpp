#include "thumbnail/thumbnail_manager.h"

#include <cstdint>
#include <limits>

#include "core/paths.h"
#include "library/data_table.h"
#include "library/tag_text.h"
#include "platform/file_system.h"
#include "thumbnail/thumbnail_file.h"

namespace velmor {
namespace {

constexpr uint32_t kIdleWaitMs = 100;
constexpr uint32_t kAfterMadeWaitMs = 1;
// The size field of a thumbnail answer is a signed 32-bit number.
constexpr int64_t kMaxSentImageBytes = std::numeric_limits<int32_t>::max();
constexpr uint16_t kPriorityFlag = 1;

// A file whole into the image, when its size can be sent.
bool ReadImage(const std::string& path, std::string* image) {
  const int64_t size = GetFileSize64(path);
  if (size < 0 || size > kMaxSentImageBytes) return false;
  if (platform::ReadWholeFile(path, image)) return true;
  image->clear();
  return false;
}

}  // namespace

ThumbnailManager::ThumbnailManager() {
  worker_started_ = worker_.Start(nullptr, &WorkerPass, nullptr, this);
}

ThumbnailManager::~ThumbnailManager() {
  // The flag first: a child process the worker waits for is ended at once,
  // so the worker finishes well within the stop's time limit and never
  // outlives the manager.
  running_ = 0;
  worker_.Stop();
}

ThumbnailManager::Settings ThumbnailManager::SettingsFor(void* owner,
                                                         const std::string& thumbnail_folder,
                                                         const std::string& ffmpeg_folder) {
  Settings settings;
  settings.owner = owner;
  settings.thumbnail_folder = thumbnail_folder;
  settings.programs = MediaProgramsIn(ffmpeg_folder);
  settings.enabled = true;
  return settings;
}

void ThumbnailManager::Configure(const Settings& settings) {
  std::lock_guard<std::mutex> lock(lock_);
  settings_ = settings;
  running_ = settings.enabled && worker_started_ ? 1 : 0;
}

ThumbnailManager::Settings ThumbnailManager::settings() const {
  std::lock_guard<std::mutex> lock(lock_);
  return settings_;
}

void ThumbnailManager::SetDataTable(DataTable* table) {
  std::lock_guard<std::mutex> lock(lock_);
  data_table_ = table;
}

DataTable* ThumbnailManager::data_table() const {
  std::lock_guard<std::mutex> lock(lock_);
  return data_table_;
}

bool ThumbnailManager::AddRequest(int64_t record_id, bool priority) {
  if (!settings().use_ffmpeg) return false;
  requests_.Add(record_id, priority);
  return true;
}

bool ThumbnailManager::TakeRequest(int64_t* record_id) { return requests_.TakeNewest(record_id); }

size_t ThumbnailManager::RequestCount() const { return requests_.Count(); }

void ThumbnailManager::ClearRequests() { requests_.Clear(); }

int ThumbnailManager::WorkerPass(void* self) {
  auto* manager = static_cast<ThumbnailManager*>(self);
  if (DataTable* table = manager->data_table()) table->Tick();
  int64_t id = 0;
  if (manager->running_ != 1 || !manager->TakeRequest(&id)) {
    manager->worker_.SleepUnlessStopped(kIdleWaitMs);
    return 1;
  }
  manager->worker_job_.record_id = id;
  const bool made = manager->MakeThumbnail(&manager->worker_job_, MakeMode::kMakeOrAdopt);
  manager->worker_.SleepUnlessStopped(made ? kAfterMadeWaitMs : kIdleWaitMs);
  return 1;
}

bool ThumbnailManager::LookUp(int64_t record_id, const Settings& settings, RecordFacts* facts) {
  DataTable* table = data_table();
  if (table == nullptr) return false;
  DataTable::Locked locked = table->Lock();
  const S_DATATABLE* record = locked.FindById(record_id);
  if (record == nullptr) return false;
  if (!ThumbnailPathFor(settings.thumbnail_folder, record->id_text, &facts->thumbnail_path)) {
    return false;
  }
  facts->media_path = record->path;
  facts->info_size = GetTagValue(record->tags, "<thum>", nullptr);
  return true;
}

bool ThumbnailManager::StoreInfoText(int64_t record_id, const ThumbnailInfo& info) {
  DataTable* table = data_table();
  if (table == nullptr) return false;
  DataTable::Locked locked = table->Lock();
  S_DATATABLE* record = locked.FindById(record_id);
  if (record == nullptr) return false;
  std::string text = FormatInfoText(info);
  if (!SetTagValue(&record->tags, "<thum>", &text)) {
    // The record's markers leave too little room: the facts without the
    // player's extra lines.
    ThumbnailInfo facts = info;
    facts.extra_lines.clear();
    text = FormatInfoText(facts);
    if (!SetTagValue(&record->tags, "<thum>", &text)) return false;
  }
  locked.Touch(record);
  return true;
}

std::string ThumbnailManager::StoredInfoText(int64_t record_id) {
  DataTable* table = data_table();
  if (table == nullptr) return {};
  DataTable::Locked locked = table->Lock();
  const S_DATATABLE* record = locked.FindById(record_id);
  std::string text;
  if (record == nullptr || GetTagValue(record->tags, "<thum>", &text) < 0) return {};
  return text;
}

ThumbnailManager::FetchStatus ThumbnailManager::Fetch(int kind, uint16_t flags, ThumbnailJob* job) {
  job->image.clear();
  switch (kind) {
    case kFetchById:
    case kFetchByIdWithPriority:
    case kFetchWithoutRequest:
      return FetchRecord(kind, flags, job);
    case kFetchByPath:
      return FetchPicture(job);
  }
  return FetchStatus::kNotPossible;
}

ThumbnailManager::FetchStatus ThumbnailManager::FetchRecord(int kind, uint16_t flags,
                                                            ThumbnailJob* job) {
  RecordFacts facts;
  const bool known = LookUp(job->record_id, settings(), &facts);
  if (!known || !ThumbnailFileExists(facts.thumbnail_path)) {
    if (kind == kFetchWithoutRequest) return FetchStatus::kMissing;
    const bool priority = kind == kFetchByIdWithPriority && (flags & kPriorityFlag) != 0;
    return AddRequest(job->record_id, priority) ? FetchStatus::kRequested : FetchStatus::kMissing;
  }
  return ReadImage(facts.thumbnail_path, &job->image) ? FetchStatus::kLoaded
                                                      : FetchStatus::kNotPossible;
}

ThumbnailManager::FetchStatus ThumbnailManager::FetchPicture(ThumbnailJob* job) {
  const Settings settings = this->settings();
  const MediaSets media{settings.video, settings.audio, settings.image};
  if (media.TypeOf(job->media_path) != kMediaImage) return FetchStatus::kNotPossible;
  std::string path = job->media_path;
  if (platform::GetPathType(path) != platform::PathType::kFile && !platform::IsAbsolutePath(path) &&
      !ProgramFolder().empty()) {
    path = JoinPath(ProgramFolder(), path);
  }
  if (platform::GetPathType(path) != platform::PathType::kFile) return FetchStatus::kNotPossible;
  return ReadImage(path, &job->image) ? FetchStatus::kLoaded : FetchStatus::kNotPossible;
}

void ThumbnailManager::DeleteThumbnail(int64_t record_id, const std::string& path) {
  RecordFacts facts;
  if (LookUp(record_id, settings(), &facts)) platform::DeleteFile(facts.thumbnail_path);
  DataTable* table = data_table();
  if (table == nullptr) return;
  table->Lock().SetPathById(record_id, path);
}

void ThumbnailManager::RequestIfMissing(int64_t record_id) {
  RecordFacts facts;
  if (!LookUp(record_id, settings(), &facts)) return;
  if (!ThumbnailFileExists(facts.thumbnail_path)) AddRequest(record_id, false);
}

}  // namespace velmor
