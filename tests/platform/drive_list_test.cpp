#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "test_support.h"

namespace velmor::platform {
namespace {

// The drives the folder browser offers: every one a browsable folder given
// with a trailing "/", the system's root among them.
TEST(ListDrivesTest, EveryDriveIsAFolderRoot) {
  const std::vector<Drive> drives = ListDrives();
  ASSERT_FALSE(drives.empty());
  for (const Drive& drive : drives) {
    ASSERT_FALSE(drive.root.empty());
    EXPECT_EQ(drive.root.back(), '/') << drive.root;
    EXPECT_EQ(GetPathType(drive.root), PathType::kFolder) << drive.root;
    EXPECT_TRUE(IsAbsolutePath(drive.root)) << drive.root;
  }
#ifdef _WIN32
  for (size_t i = 0; i < drives.size(); ++i) {
    EXPECT_EQ(drives[i].root.size(), 3u);
    EXPECT_EQ(drives[i].root[1], ':');
    if (i > 0) {
      EXPECT_LT(drives[i - 1].root, drives[i].root) << "in letter order";
    }
  }
#else
  EXPECT_EQ(drives.front().root, "/");
  for (size_t i = 1; i < drives.size(); ++i) {
    const std::string& root = drives[i].root;
    EXPECT_TRUE(root.rfind("/media/", 0) == 0 || root.rfind("/mnt/", 0) == 0 ||
                root.rfind("/run/media/", 0) == 0)
        << root;
  }
#endif
}

// Hidden entries: a leading '.' on POSIX, the hidden attribute on Windows
// (which Wine gives such names).
TEST(ListFolderTest, DotNamesCountAsHidden) {
  test::TempFolder folder;
  ASSERT_TRUE(CreateFolder(folder.Join(".hidden")));
  ASSERT_TRUE(CreateFolder(folder.Join("visible")));
  std::vector<FileInfo> entries;
  ASSERT_TRUE(ListFolder(folder.path(), &entries));
  ASSERT_EQ(entries.size(), 2u);
  for (const FileInfo& entry : entries) EXPECT_EQ(entry.hidden, entry.name == ".hidden");
  FileInfo info;
  ASSERT_TRUE(GetFileInfo(folder.Join(".hidden"), &info));
  EXPECT_TRUE(info.hidden);
}

}  // namespace
}  // namespace velmor::platform
