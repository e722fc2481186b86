#include "library/search_file_job.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "search_fixture.h"

namespace velmor {
namespace {

using Strings = std::vector<std::string>;

class SearchFileJobTest : public test::SearchTest {
 protected:
  // The texts found, in the order found.
  Strings Search(const std::string& query, int mode) {
    results_.Clear();
    SearchFileJob job(&table_, &results_);
    job.Start(settings_, query, mode);
    EXPECT_TRUE(job.running());
    job.Execute();
    EXPECT_FALSE(job.running());
    return Texts();
  }
};

TEST(NormalizeSearchTextTest, LowersAndJoinsWordsWithUnderscores) {
  EXPECT_EQ(NormalizeSearchText("Two Words-And_More"), "two_words_and_more");
  EXPECT_EQ(NormalizeSearchText("ÀÉ ΑΩ АЯ Ё ＡＺ"), "àé_αω_ая_ё_ａｚ");
  EXPECT_EQ(NormalizeSearchText("日本語 ×"), "日本語_×");
}

TEST_F(SearchFileJobTest, MatchesNamesWithoutCaseBlanksOrHyphens) {
  File("a/Two-WORDS Movie.mp4", "12345");
  File("a/two_words.mkv");
  File("a/twowords.mp4");
  File("a/notes two words.txt");
  Targets({Media("a")});
  Strings found = Search("two words", 1);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (Strings{Media("a/Two-WORDS Movie.mp4"), Media("a/two_words.mkv")}));
  std::vector<int64_t> sizes = Values();
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int64_t>{1, 5})) << "each result carries its file's size";
}

TEST_F(SearchFileJobTest, TheExtensionIsNeverPartOfTheName) {
  File("clip.mp4");
  File("CAPITALS.MP4");
  Targets({Media()});
  EXPECT_TRUE(Search("mp4", 1).empty());
  EXPECT_EQ(Search("capitals", 1), Strings{Media("CAPITALS.MP4")});
}

TEST_F(SearchFileJobTest, TheModePicksTheMediaClasses) {
  File("song clip.mp3");
  File("photo clip.jpg");
  File("video clip.mp4");
  Targets({Media()});
  EXPECT_EQ(Search("clip", 1), Strings{Media("video clip.mp4")});
  EXPECT_EQ(Search("clip", 2), Strings{Media("song clip.mp3")});
  EXPECT_EQ(Search("clip", 4), Strings{Media("photo clip.jpg")});
  EXPECT_EQ(Search("clip", 7).size(), 3u);
  EXPECT_TRUE(Search("clip", 8).empty());
}

TEST_F(SearchFileJobTest, ModeEightAlsoFindsChapterFoldersByTheirPath) {
  File("Series Clip/ep1.mp4");
  File("Series Clip/extras/bonus.mp4");
  File("Plain Clip/other.mp4");
  MarkChapterFolder(Media("Series Clip"));
  Targets({Media()});
  EXPECT_TRUE(Search("series clip", 1).empty());
  const Strings found = Search("series clip", 9);
  EXPECT_EQ(found, (Strings{Media("Series Clip"), Media("Series Clip/extras")}))
      << "a chapter folder and a folder inside one, never a plain folder";
  EXPECT_EQ(Values(), (std::vector<int64_t>{-2, -2}));
  EXPECT_EQ(Search("ep1", 9), Strings{Media("Series Clip/ep1.mp4")});
}

TEST_F(SearchFileJobTest, AFolderListedTwiceIsSearchedOnce) {
  File("a/hit.mp4");
  File("a/sub/hit two.mp4");
  Targets({Media("a"), Media("a/sub"), Media("a"), "relative/folder", Media("missing")});
  EXPECT_EQ(Search("hit", 1), (Strings{Media("a/hit.mp4"), Media("a/sub/hit two.mp4")}));
}

TEST_F(SearchFileJobTest, AMissingTargetListGivesNoResults) {
  File("hit.mp4");
  EXPECT_TRUE(Search("hit", 1).empty());
}

TEST_F(SearchFileJobTest, ACancelledJobStopsAtTheNextFolder) {
  File("a/hit.mp4");
  Targets({Media("a")});
  SearchFileJob job(&table_, &results_);
  job.Start(settings_, "hit", 1);
  job.RequestCancel();
  job.Execute();
  EXPECT_TRUE(Texts().empty());
  EXPECT_FALSE(job.running());
  job.Start(settings_, "hit", 1);
  EXPECT_FALSE(job.cancel_requested()) << "a new start clears the cancel request";
  job.Execute();
  EXPECT_EQ(Texts().size(), 1u);
}

}  // namespace
}  // namespace velmor
