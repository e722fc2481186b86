// The binding of the real Tarnwick.dll (built beside this test program),
// copied into each of the places the server looks in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "test_support.h"
#include "thumbnail/plugin_binding.h"

namespace velmor {
namespace {

std::string BuiltPlugin() {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(
      platform::ExecutableFolder() + platform::kNativeSeparator + "Tarnwick.dll", &bytes));
  return bytes;
}

void Put(const test::TempFolder& folder, const std::string& place, const std::string& bytes) {
  std::string made;
  for (size_t slash = place.find('/'); slash != std::string::npos;
       slash = place.find('/', slash + 1)) {
    const std::string parent = folder.Join(place.substr(0, slash));
    if (platform::GetPathType(parent) == platform::PathType::kNone) {
      ASSERT_TRUE(platform::CreateFolder(parent)) << parent;
    }
  }
  test::WriteFileOrFail(folder.Join(place), bytes);
}

TEST(PluginBindingWin32Test, TheFirstPlaceHoldingALoadablePluginBindsIt) {
  const std::string plugin = BuiltPlugin();
  ASSERT_FALSE(plugin.empty());
  struct Case {
    std::vector<std::pair<std::string, std::string>> files;  // place, content
    int place;
  };
  const std::vector<Case> cases = {
      {{{"Tarnwick.dll", plugin}, {"VelmorVR_Data/Plugins/Tarnwick.dll", plugin}}, 0},
      {{{"Assets/Tarnwick.dll", plugin}}, 1},
      {{{"VelmorVR_Data/Plugins/Tarnwick.dll", plugin}}, 2},
      // A broken copy in an earlier place does not stop the search.
      {{{"Tarnwick.dll", "broken"},
        {"Assets/Tarnwick.dll", "broken"},
        {"VelmorVR_Data/Plugins/Tarnwick.dll", plugin}},
       2},
  };
  for (const Case& c : cases) {
    test::TempFolder folder;
    for (const auto& [place, bytes] : c.files) Put(folder, place, bytes);
    SCOPED_TRACE(c.place);
    int reports = 0;
    std::unique_ptr<PluginBinding> binding =
        BindPlayerPlugin(folder.path(), [&](const std::string&, const std::string&) { ++reports; });
    EXPECT_EQ(reports, 0);
    ASSERT_NE(binding, nullptr);
    EXPECT_TRUE(binding->bound());
    EXPECT_NE(binding->player(), nullptr);
    EXPECT_EQ(binding->place(), c.place);
    EXPECT_EQ(binding->found_entry_points(), kPluginEntryPointCount);
    std::string expected_path = folder.path();
    for (char ch : std::string("/") + kPluginPlaces[c.place]) {
      expected_path += ch == '/' ? '\\' : ch;
    }
    EXPECT_EQ(binding->library_path(), expected_path);

    // The player is the plug-in's: it answers through the bound entries.
    EXPECT_EQ(binding->entries().get_video_w(binding->player()), 0);
    binding->Unbind();
    EXPECT_FALSE(binding->bound());
    EXPECT_EQ(binding->place(), -1);
    EXPECT_EQ(binding->entries().close, nullptr);
  }
}

}  // namespace
}  // namespace velmor
