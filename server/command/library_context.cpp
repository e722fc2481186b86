#include "command/library_context.h"

#include "core/config.h"
#include "core/paths.h"

namespace velmor {

void LibraryContext::Open() {
  favourites_ = std::make_unique<CChannelList>();
  search_results_ = std::make_unique<CChannelList>();
  word_list_ = std::make_unique<WordList>();
  thumbnails_ = std::make_unique<ThumbnailManager>();
  data_table_ = std::make_unique<DataTable>();
  thumbnails_->SetDataTable(data_table_.get());
}

void LibraryContext::Apply(const S_CONFIG& config) {
  BindChannelLists(config);
  PublishMediaExtensions(config);
  ApplyWordList(config);
  const std::string thumbnail_folder = ResolveFolderSetting(config.pcThumbnailPath220);
  if (thumbnails_) {
    ThumbnailManager::Settings thumbnail_settings = ThumbnailManager::SettingsFor(
        this, thumbnail_folder, ResolveFolderSetting(config.pcFFMpegPath));
    thumbnail_settings.use_ffmpeg = config.iUseFFMpeg == 1;
    // The worker's own copies, as the stream thread has its snapshot.
    thumbnail_settings.video = media_->video;
    thumbnail_settings.audio = media_->audio;
    thumbnail_settings.image = media_->image;
    thumbnails_->Configure(thumbnail_settings);
  }
  if (data_table_) {
    data_table_->Open({config.iDataTableDeviceID, config.pcDataTablePath, thumbnail_folder});
  }
}

// The last channel of each list type wins.
void LibraryContext::BindChannelLists(const S_CONFIG& config) {
  if (!favourites_ || !search_results_) return;
  for (int channel = 0; channel < kChannelCount; ++channel) {
    CChannelList::Kind kind;
    std::string file;
    if (!ChannelListFile(config.channel[channel], &kind, &file)) continue;
    CChannelList* list =
        kind == CChannelList::kSearchList ? search_results_.get() : favourites_.get();
    list->Bind(channel, kind, file, 0);
  }
}

// Parsed anew and swapped in whole; the sets replaced go when their last
// reader lets go, outside the lock.
void LibraryContext::PublishMediaExtensions(const S_CONFIG& config) {
  auto parsed = std::make_shared<MediaExtensions>();
  parsed->video.Parse(config.pcExt);
  parsed->audio.Parse(config.pcAudioExt);
  parsed->image.Parse(config.pcImageExt);
  std::shared_ptr<const MediaExtensions> sets = std::move(parsed);
  std::lock_guard<std::mutex> lock(media_lock_);
  media_.swap(sets);
}

void LibraryContext::ApplyWordList(const S_CONFIG& config) {
  if (!word_list_) return;
  std::string word_file;
  ResolveFileSetting(config.pcWordListPath, "WordList.txt", &word_file);
  word_list_->SetFile(word_file);
  // Changes not yet saved are merged with the file, not dropped.
  if (word_list_->dirty()) {
    word_list_->Save();
  } else {
    word_list_->Load();
  }
}

void LibraryContext::EndSession() {
  if (data_table_ && data_table_->dirty()) data_table_->Save();
  if (word_list_ && word_list_->dirty()) word_list_->Save();
  if (thumbnails_) thumbnails_->ClearRequests();
}

void LibraryContext::Release() {
  search_.reset();
  if (data_table_ && data_table_->dirty() && !data_table_->Save()) {
    unsaved_at_release_.push_back(data_table_->settings().path);
  }
  if (word_list_ && word_list_->dirty() && !word_list_->Save()) {
    unsaved_at_release_.push_back(word_list_->file());
  }
  thumbnails_.reset();
  data_table_.reset();
  favourites_.reset();
  search_results_.reset();
  word_list_.reset();
}

SearchManager* LibraryContext::CreateSearchManager() {
  if (search_) return search_.get();
  auto manager = std::make_unique<SearchManager>(data_table_.get());
  if (!manager->Start()) return nullptr;
  search_ = std::move(manager);
  return search_.get();
}

bool LibraryContext::IsMediaPath(const std::string& path) const {
  std::shared_ptr<const MediaExtensions> sets;
  {
    std::lock_guard<std::mutex> lock(media_lock_);
    sets = media_;
  }
  return sets->Sets().IsMedia(path);
}

}  // namespace velmor
