#include "library/find_file_job.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search_fixture.h"

namespace velmor {
namespace {

using Strings = std::vector<std::string>;

class FindFileJobTest : public test::SearchTest {
 protected:
  // One job for the whole test: it remembers where it found the last hit.
  Strings Find(const std::string& path, int64_t size) {
    results_.Clear();
    job_.Start(settings_, path, size);
    job_.Execute();
    EXPECT_FALSE(job_.running());
    return Texts();
  }

  FindFileJob job_{&table_, &results_};
};

TEST_F(FindFileJobTest, AnySizeFindsTheNameInTheWantedFoldersTree) {
  File("old/deeper/movie.mp4", "12345");
  EXPECT_EQ(Find(Media("old/movie.mp4"), -1), Strings{Media("old/deeper/movie.mp4")});
  EXPECT_EQ(Values(), std::vector<int64_t>{5});
  EXPECT_EQ(job_.last_hit_folder(), Media("old/deeper"));
}

TEST_F(FindFileJobTest, AGivenSizeMustBeEqual) {
  File("old/a/movie.mp4", "123");
  File("old/b/movie.mp4", "12345");
  EXPECT_EQ(Find(Media("old/movie.mp4"), 5), Strings{Media("old/b/movie.mp4")});
  EXPECT_EQ(Find(Media("old/movie.mp4"), 3), Strings{Media("old/a/movie.mp4")});
  EXPECT_TRUE(Find(Media("old/movie.mp4"), 4).empty()) << "at most one result, none without a hit";
}

TEST_F(FindFileJobTest, ThePreviousHitsFolderComesFirstThenTheTreeThenTheTargets) {
  File("targets/movie.mp4", "12345");
  File("wanted/movie.mp4", "12345");
  Targets({Media("targets")});
  EXPECT_EQ(Find(Media("gone/movie.mp4"), 5), Strings{Media("targets/movie.mp4")})
      << "neither a previous hit nor the wanted folder: the search targets";
  EXPECT_EQ(Find(Media("wanted/movie.mp4"), 5), Strings{Media("targets/movie.mp4")})
      << "the folder of the previous hit is looked at first";
  ASSERT_TRUE(platform::DeleteFile(Media("targets/movie.mp4")));
  EXPECT_EQ(Find(Media("wanted/movie.mp4"), 5), Strings{Media("wanted/movie.mp4")});
}

TEST_F(FindFileJobTest, AWantedFolderIsFoundOnlyAsAFolder) {
  File("a/Season");  // a file of that name
  Folder("b/Season");
  Targets({Media("a"), Media("b")});
  EXPECT_EQ(Find(Media("gone/Season"), -2), Strings{Media("b/Season")});
  EXPECT_EQ(Values(), std::vector<int64_t>{-2});
  EXPECT_EQ(Find(Media("gone/Season"), 1), Strings{Media("a/Season")}) << "a file of one byte";
}

TEST_F(FindFileJobTest, InsideAChapterFolderTheCandidateNeedsTheSameChapterPath) {
  File("elsewhere/ep1.mp4", "12345");
  File("moved/Series/ep1.mp4", "12345");
  MarkChapterFolder(Media("old/Series"));
  Targets({Media("elsewhere"), Media("moved")});
  EXPECT_EQ(Find(Media("old/Series/ep1.mp4"), 5), Strings{Media("moved/Series/ep1.mp4")});
}

TEST_F(FindFileJobTest, APathWithoutAFolderOrNameFindsNothing) {
  File("movie.mp4");
  Targets({Media()});
  EXPECT_TRUE(Find("", -1).empty());
  EXPECT_TRUE(Find(Media() + "/", -1).empty());
  EXPECT_EQ(Find("movie.mp4", -1), Strings{Media("movie.mp4")}) << "a bare name: the targets";
}

}  // namespace
}  // namespace velmor
