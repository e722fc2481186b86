#include "library/folder_read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library/folder_entries.h"
#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

// Names, kinds and sizes: what a listing takes from an entry.
std::vector<std::string> Described(std::vector<platform::FileInfo> entries) {
  std::vector<std::string> described;
  for (const platform::FileInfo& entry : entries) {
    described.push_back(entry.name + (entry.is_folder ? "/" : "") + " " +
                        std::to_string(entry.size));
  }
  std::sort(described.begin(), described.end());
  return described;
}

// More folders than are read ahead at once, taken in the walk's order, out
// of it, twice, or never queued: each gives what reading it now gives (the
// sizes of the files asked for among them); untaken ones end with the walk.
TEST(FolderReadAhead, GivesEveryFolderAsReadingItNowWould) {
  test::TempFolder temp;
  std::vector<std::string> folders;
  for (size_t i = 0; i < 2 * FolderReadAhead::kMostAhead; ++i) {
    folders.push_back(temp.Join("f" + std::to_string(i)));
    ASSERT_TRUE(platform::CreateFolder(folders.back()));
    ASSERT_TRUE(platform::CreateFolder(folders.back() + "/sub"));
    test::WriteFileOrFail(folders.back() + "/a.mp4", std::string(i + 1, 'v'));
    test::WriteFileOrFail(folders.back() + "/b.txt", "text");
  }
  const platform::WantsDetails wants = [](std::string_view name, bool is_folder) {
    return is_folder || name.ends_with(".mp4");
  };
  FolderReadAhead ahead(wants);
  ahead.QueueNext({folders.begin(), folders.begin() + 40});
  ahead.QueueNext({folders[50], folders[51]});
  for (const size_t i : {50, 51, 0, 39, 1, 60, 0, 2}) {
    const std::vector<std::string> taken = Described(ahead.Take(folders[i]));
    EXPECT_EQ(taken, Described(ReadFolderEntries(folders[i], wants))) << i;
    EXPECT_EQ(taken.front(), "a.mp4 " + std::to_string(i + 1)) << i;
  }
  EXPECT_EQ(Described(ahead.Take(temp.path())).size(), folders.size());
  FolderReadAhead unused(wants);
  unused.QueueNext(folders);
}

}  // namespace
}  // namespace velmor
