#include "command/tag_list.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace velmor {
namespace {

std::vector<std::string> Replies(const std::string& file_text) {
  test::TempFolder folder;
  test::WriteFileOrFail(folder.Join("TagList.txt"), file_text);
  std::vector<std::string> replies;
  EXPECT_TRUE(ReadTagList(folder.Join("TagList.txt"), &replies));
  return replies;
}

TEST(TagList, EntriesBetweenStartAndEndAreNumberedFromZero) {
  const std::vector<std::string> replies = Replies(
      "#tag before start\n"
      "#start\n"
      "; a comment line\n"
      "#TAG_R \"Side By Side\" SBS ; trailing comment\n"
      "#tag onlyone\n"
      "#vrf_size 3840 1920\r\n"
      "not a command\n"
      "#unknown a b\n"
      "\t#vrf_ratio 2 1\n"
      "#end\n"
      "#tag after end\n");
  EXPECT_EQ(replies, (std::vector<std::string>{
                         "#RET_TAG_LIST(<no>0,<cmd>\"#tag_r\",<p0>\"Side By Side\",<p1>\"SBS\")",
                         "#RET_TAG_LIST(<no>1,<cmd>\"#vrf_size\",<p0>\"3840\",<p1>\"1920\")",
                         "#RET_TAG_LIST(<no>2,<cmd>\"#vrf_ratio\",<p0>\"2\",<p1>\"1\")"}));
}

TEST(TagList, NothingWithoutStart) { EXPECT_TRUE(Replies("#tag a b\n#tag c d\n").empty()); }

TEST(TagList, TheLastLineKeepsItsLastCharacter) {
  EXPECT_EQ(
      Replies("\xEF\xBB\xBF#start\n#tag 360 TB"),
      (std::vector<std::string>{"#RET_TAG_LIST(<no>0,<cmd>\"#tag\",<p0>\"360\",<p1>\"TB\")"}));
}

TEST(TagList, AMissingFileSendsNothing) {
  std::vector<std::string> replies = {"old"};
  EXPECT_FALSE(ReadTagList("/nonexistent/TagList.txt", &replies));
  EXPECT_TRUE(replies.empty());
}

}  // namespace
}  // namespace velmor
