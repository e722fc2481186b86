// The library objects every command works on: the data table, the two
// channel lists, the word list, the search jobs, the thumbnail maker and
// the extension sets. They exist while the command port listens (Open at
// the listener's start, Release at its end) and are used under the command
// lock; only the extension sets are also read without it, from a snapshot
// replaced whole on every apply.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "library/channel_list.h"
#include "library/data_table.h"
#include "library/ext_set.h"
#include "library/search_manager.h"
#include "library/word_list.h"
#include "thumbnail/thumbnail_manager.h"

namespace velmor {

struct S_CONFIG;

class LibraryContext {
 public:
  // The three sets, parsed once per apply and never changed afterwards.
  struct MediaExtensions {
    CExt video;
    CExt audio;
    CExt image;
    MediaSets Sets() const { return {video, audio, image}; }
  };

  LibraryContext() = default;
  ~LibraryContext() { Release(); }
  LibraryContext(const LibraryContext&) = delete;
  LibraryContext& operator=(const LibraryContext&) = delete;

  // Creates the objects; they stay empty until the first Apply.
  void Open();
  // Binds the channel lists, parses the extension sets, points the word
  // list, the thumbnail maker and the data table at their files.
  void Apply(const S_CONFIG& config);
  // A session ended: what changed is saved, the thumbnail queue emptied.
  void EndSession();
  // Saves what is unsaved, then lets everything go (the search job first:
  // its worker reads the data table). The files that could not be saved
  // are kept for unsaved_at_release().
  void Release();
  const std::vector<std::string>& unsaved_at_release() const { return unsaved_at_release_; }

  // Null before Open and after Release.
  CChannelList* favourites() const { return favourites_.get(); }
  CChannelList* search_results() const { return search_results_.get(); }
  WordList* word_list() const { return word_list_.get(); }
  ThumbnailManager* thumbnails() const { return thumbnails_.get(); }
  DataTable* data_table() const { return data_table_.get(); }
  // Null until the first search command creates it; CreateSearchManager
  // gives null when its thread cannot start.
  SearchManager* search_manager() const { return search_.get(); }
  SearchManager* CreateSearchManager();
  void StopSearches() { search_.reset(); }

  // Valid while the command lock is held: only Apply, under that lock,
  // replaces them.
  const CExt& video_extensions() const { return media_->video; }
  const CExt& audio_extensions() const { return media_->audio; }
  const CExt& image_extensions() const { return media_->image; }
  MediaSets media_sets() const { return media_->Sets(); }
  // From any thread without the command lock.
  bool IsMediaPath(const std::string& path) const;

 private:
  void BindChannelLists(const S_CONFIG& config);
  void PublishMediaExtensions(const S_CONFIG& config);
  void ApplyWordList(const S_CONFIG& config);

  std::unique_ptr<CChannelList> favourites_;
  std::unique_ptr<CChannelList> search_results_;
  std::unique_ptr<WordList> word_list_;
  std::unique_ptr<SearchManager> search_;
  std::unique_ptr<ThumbnailManager> thumbnails_;
  std::unique_ptr<DataTable> data_table_;

  std::vector<std::string> unsaved_at_release_;

  mutable std::mutex media_lock_;  // guards only the pointer's copy and swap
  std::shared_ptr<const MediaExtensions> media_ = std::make_shared<const MediaExtensions>();
};

}  // namespace velmor
