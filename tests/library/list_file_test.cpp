#include "library/list_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace velmor {
namespace {

std::string NameOf(const std::string& text, bool* found = nullptr) {
  test::TempFolder folder;
  test::WriteFileOrFail(folder.Join("a.vrl"), text);
  std::string name;
  const bool ok = ReadListName(folder.Join("a.vrl"), &name);
  if (found != nullptr) *found = ok;
  return name;
}

TEST(ReadListName, TakesTheFirstNameLine) {
  bool found = false;
  EXPECT_EQ(NameOf("\xEF\xBB\xBF#name (Search)\r\n/a.mp4\r\n#end\r\n", &found), "(Search)");
  EXPECT_TRUE(found);
  EXPECT_EQ(NameOf("#name \"Two Words\" x\n#name Second\n"), "Two Words");
  EXPECT_EQ(NameOf("#name\n#name Later\n"), "Later") << "a #name without a name is skipped";
  EXPECT_EQ(NameOf("#name \"\"\n#name\t\r\r\n#name Later\n"), "Later") << "so is an empty one";
  EXPECT_EQ(NameOf("/a.mp4\n#name Last"), "Last") << "no line break at the end";
}

TEST(ReadListName, GivesStarsWithoutAName) {
  bool found = true;
  EXPECT_EQ(NameOf("/a.mp4\n#end\n#name Hidden\n", &found), "***");
  EXPECT_FALSE(found);
  EXPECT_EQ(NameOf(""), "***");
  std::string name;
  EXPECT_FALSE(ReadListName("/nonexistent/list.vrl", &name));
  EXPECT_EQ(name, "***");
}

}  // namespace
}  // namespace velmor
