#include "library/search_job.h"

#include <algorithm>
#include <utility>

#include "base/utf.h"
#include "core/config.h"
#include "core/paths.h"

namespace velmor {

SearchSettings SearchSettings::From(const CExt& video, const CExt& audio, const CExt& image,
                                    const S_CONFIG& config) {
  SearchSettings settings{video, audio, image, {}, {}, config.channel};
  ResolveFileSetting(config.pcSearchFolder1, "SearchFolder1.vrl", &settings.search_targets);
  ResolveFileSetting(config.pcPCFolderListPath, "PCFolderList.vrl", &settings.pc_folder_list);
  return settings;
}

bool IsQuotable(std::string_view text) { return text.find('"') == std::string_view::npos; }

void SearchJob::Prepare(const SearchSettings& settings, std::string input) {
  settings_ = settings;
  input_ = std::move(input);
  {
    std::lock_guard<std::mutex> lock(progress_lock_);
    progress_.clear();
  }
  cancel_ = 0;
  running_ = 1;
}

void SearchJob::Execute() {
  Run();
  running_ = 0;
}

void SearchJob::RequestCancel() {
  std::lock_guard<std::mutex> lock(progress_lock_);
  cancel_ = 1;
}

std::string SearchJob::progress() const {
  std::lock_guard<std::mutex> lock(progress_lock_);
  return progress_;
}

bool SearchJob::EnterFolder(const std::string& folder) {
  if (cancel_requested()) return false;
  {
    std::lock_guard<std::mutex> lock(progress_lock_);
    progress_ = CutToUtf16Units(folder, kSearchTextMaxUnits);
  }
  if (observer_) observer_(*this, folder);
  return true;
}

void SearchJob::AppendPath(const std::string& path, int64_t value) {
  if (!IsQuotable(path) || Utf16Length(path) > kResultPathMaxUnits) return;
  results_->Append(S_PATH{path, {}, value});
}

bool SearchJob::AppendRecord(std::string text, std::string name, int64_t value) {
  if (Utf16Length(text) > kResultTextMaxUnits) return false;
  results_->Append(S_PATH{std::move(text), std::move(name), value});
  return true;
}

}  // namespace velmor
