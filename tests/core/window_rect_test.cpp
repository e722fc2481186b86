#include "core/window_rect.h"

#include <gtest/gtest.h>

#include "core/config.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/ini_store.h"
#include "test_support.h"

namespace velmor {
namespace {

class WindowRectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(Settings().Load());  // the settings file, as at start
  }
  test::TempFolder home_;
};

TEST_F(WindowRectTest, SavedRectangleComesBack) {
  SaveWindowRect("cdlgMain", {10, -20, 810, 600});
  WindowRect rect;
  EXPECT_TRUE(LoadWindowRect("cdlgMain", &rect));
  EXPECT_EQ(rect, (WindowRect{10, -20, 810, 600}));
  EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "cdlgMain", "mrcWnd.rcRight", ""), "810");
}

TEST_F(WindowRectTest, AMissingKeyGivesZerosAndWritesThem) {
  SaveWindowRect("cdlgConfig", {1, 2, 3, 4});
  // Remove one of the four keys by hand.
  std::string bytes = test::ReadFileOrEmpty(ConfigFilePath());
  const std::string line = test::Utf16LeBytes("mrcWnd.rcTop=2\r\n", false);
  const size_t at = bytes.find(line);
  ASSERT_NE(at, std::string::npos);
  bytes.erase(at, line.size());
  test::WriteFileOrFail(ConfigFilePath(), bytes);

  WindowRect rect{9, 9, 9, 9};
  EXPECT_FALSE(LoadWindowRect("cdlgConfig", &rect));
  EXPECT_EQ(rect, WindowRect());
  for (const char* key : {"mrcWnd.rcLeft", "mrcWnd.rcTop", "mrcWnd.rcRight", "mrcWnd.rcBottom"}) {
    EXPECT_EQ(platform::ReadIniString(ConfigFilePath(), "cdlgConfig", key, ""), "0") << key;
  }
}

}  // namespace
}  // namespace velmor
