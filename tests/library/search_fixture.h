// Shared by the search job tests: a program folder and a media folder of
// their own, the extension sets, a data table, and the result list.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/paths.h"
#include "library/data_table.h"
#include "library/list_file.h"
#include "library/search_job.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor::test {

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    settings_.channels = DefaultConfig().channel;
    settings_.video.Parse("mp4 mkv");
    settings_.audio.Parse("mp3 wav");
    settings_.image.Parse("jpg png");
    settings_.search_targets = home_.Join("SearchFolder1.vrl");
    settings_.pc_folder_list = home_.Join("PCFolderList.vrl");
    table_.Open({10, home_.Join("data/VelmorVRServer.txt"), home_.Join("thumbnail220")});
  }

  // A path under the media folder, with "/" separators.
  std::string Media(const std::string& relative = "") const {
    const std::string root = WithForwardSlashes(media_.path());
    return relative.empty() ? root : root + "/" + relative;
  }
  // Writes a file under the media folder, making its folders.
  void File(const std::string& relative, const std::string& bytes = "x") {
    const std::string path = Media(relative);
    ASSERT_TRUE(EnsureFolder(path.substr(0, path.rfind('/'))));
    WriteFileOrFail(path, bytes);
  }
  void Folder(const std::string& relative) { ASSERT_TRUE(EnsureFolder(Media(relative))); }
  void Targets(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    WriteFileOrFail(settings_.search_targets, text);
  }
  // Gives the folder (by its name, anywhere) the chapter flag.
  void MarkChapterFolder(const std::string& path) { SetFlags(path, kSizeFolder, 4); }
  int64_t SetFlags(const std::string& path, int64_t size, int64_t flags) {
    DataTable::Locked locked = table_.Lock();
    S_DATATABLE* record = locked.Find(path, size);
    if (record == nullptr) record = locked.CreateRecord(path, size);
    EXPECT_NE(record, nullptr);
    if (record == nullptr) return 0;
    record->flags |= flags;
    locked.Touch(record);
    return record->id_int;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const S_PATH& entry : results_.Range(0, results_.size())) texts.push_back(entry.text);
    return texts;
  }
  std::vector<int64_t> Values() const {
    std::vector<int64_t> values;
    for (const S_PATH& entry : results_.Range(0, results_.size())) values.push_back(entry.value);
    return values;
  }

  TempFolder home_;
  TempFolder media_;
  DataTable table_;
  SearchResults results_;
  SearchSettings settings_;
};

// Waits (at most 10 s, so a fault fails instead of hanging) until done().
inline bool WaitUntil(const std::function<bool()>& done) {
  const uint32_t start = platform::TickCount();
  while (!done()) {
    if (platform::TickDiff(platform::TickCount(), start) > 10000) return false;
    platform::SleepMs(1);
  }
  return true;
}

}  // namespace velmor::test
