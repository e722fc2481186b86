// The plug-in binding where no usable plug-in exists: every place empty or
// holding a file that is no library. The start reports it once and the
// server goes on without it.
#include "thumbnail/plugin_binding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "test_support.h"

namespace velmor {
namespace {

struct Report {
  std::string text;
  std::string caption;
};

std::vector<Report> BindAndCollectReports(const std::string& folder,
                                          std::unique_ptr<PluginBinding>* binding) {
  std::vector<Report> reports;
  *binding = BindPlayerPlugin(folder, [&](const std::string& text, const std::string& caption) {
    reports.push_back({text, caption});
  });
  return reports;
}

TEST(PluginBindingTest, NoUsablePluginIsReportedOnceAndLeavesNothingBound) {
  test::TempFolder empty;
  test::TempFolder broken;
  ASSERT_TRUE(platform::CreateFolder(broken.Join("Assets")));
  ASSERT_TRUE(platform::CreateFolder(broken.Join("VelmorVR_Data")));
  ASSERT_TRUE(platform::CreateFolder(broken.Join("VelmorVR_Data/Plugins")));
  for (const char* place : kPluginPlaces) {
    test::WriteFileOrFail(broken.Join(place), "not a library");
  }
  for (const std::string& folder : {empty.path(), broken.path(), empty.Join("missing")}) {
    SCOPED_TRACE(folder);
    std::unique_ptr<PluginBinding> binding;
    const std::vector<Report> reports = BindAndCollectReports(folder, &binding);
    EXPECT_EQ(binding, nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].text, "Tarnwick.dll の読み込みに失敗しました。");
    EXPECT_EQ(reports[0].caption, "DLL エラー");

    PluginBinding direct;
    EXPECT_FALSE(direct.Bind(folder));
    EXPECT_EQ(direct.place(), -1);
    EXPECT_EQ(direct.found_entry_points(), 0);
    EXPECT_EQ(direct.player(), nullptr);
    direct.Unbind();
    direct.Unbind();  // twice, and once more on destruction: nothing to touch
  }
}

}  // namespace
}  // namespace velmor
