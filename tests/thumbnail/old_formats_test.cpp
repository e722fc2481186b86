// The readers of the older version's files (marker files and the info text
// inside old thumbnails) and the move that puts old files aside.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/file_system.h"
#include "test_support.h"
#include "thumbnail/moved_aside.h"
#include "thumbnail/old_markers.h"
#include "thumbnail/old_thumbnail.h"

namespace velmor {
namespace {

TEST(OldMarkersTest, PositionsAreMillisecondsOfTheHundredNanosecondUnits) {
  const struct {
    const char* value;
    int ms;
  } kCases[] = {
      {"600000000", 60000},            // one minute
      {"36000000000", 3600000},        // an hour: past 32 bits before dividing
      {"9999", 0},                     // below a millisecond
      {"-50000", 0},                   // negative positions are stored as 0
      {"abc", 0},                      // not a number
      {"", 0},                         // missing key
      {"  120000 ", 12},               // blanks around it
      {"99999999999999999", INT_MAX},  // beyond what a marker holds
  };
  for (const auto& c : kCases) EXPECT_EQ(OldPositionMs(c.value), c.ms) << c.value;
}

TEST(OldMarkersTest, EnabledSectionsBecomeTheMarkersAndDisabledOnesAreEmpty) {
  test::TempFolder temp;
  const std::string file = temp.Join("clip.trm");
  test::WriteFileOrFail(file,
                        "[ITRM.0]\r\nyEnable=1\r\nrtA=600000000\r\nrtB=1200000000\r\n"
                        "[ITRM.1]\r\nyEnable=0\r\nrtA=10000\r\nrtB=20000\r\n"
                        "[ITRM.3]\r\nyEnable=1\r\nrtA=x\r\nrtB=-7\r\n"
                        "[POINT.2]\r\nyEnable=1\r\nrtA=50000000\r\n"
                        "[POINT.5]\r\nyEnable=yes\r\nrtA=10000\r\n");
  const MarkerSet markers = ReadOldMarkerFile(file);
  EXPECT_EQ(markers.StoredText(), "<t0>60000,120000<p2>5000<t3>0,0");

  const std::string disabled = temp.Join("off.trm");
  test::WriteFileOrFail(disabled, "[ITRM.0]\nyEnable=0\nrtA=600000000\n[POINT.7]\nyEnable=2\n");
  EXPECT_FALSE(ReadOldMarkerFile(disabled).Any());
  const std::string empty = temp.Join("empty.trm");
  test::WriteFileOrFail(empty, "");
  EXPECT_FALSE(ReadOldMarkerFile(empty).Any());
  EXPECT_FALSE(ReadOldMarkerFile(temp.Join("missing.trm")).Any());
}

// A picture whose first segment is a comment of the given length field.
std::string WithComment(const std::string& text, size_t length_field) {
  std::string jpeg = "\xFF\xD8\xFF\xFE";
  jpeg += static_cast<char>(length_field >> 8);
  jpeg += static_cast<char>(length_field & 0xFF);
  return jpeg + text + "\xFF\xD9";
}

TEST(OldThumbnailTest, TheInfoTextIsTheCommentSegmentFromTheMagicOn) {
  const std::string info = "VLVR\n<ver>200\n<make>1\n";
  const struct {
    std::string jpeg;
    std::string expected;
  } kCases[] = {
      {WithComment(info, info.size() + 2), info},
      // The length runs past the end of the file: not read.
      {WithComment(info, info.size() + 10), ""},
      {WithComment(info, 1027), ""},
      {WithComment("ABCD\n<ver>200\n", 16), ""},  // another program's comment
      {WithComment(info, 3), ""},
      {std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\0", 11), ""},  // no comment first
      {"\xFF\xD8", ""},
      {WithComment(std::string("VLVR\n<a>1\0junk", 14), 16), "VLVR\n<a>1"},
  };
  for (const auto& c : kCases) EXPECT_EQ(OldInfoText(c.jpeg), c.expected) << c.jpeg;
  EXPECT_EQ(StoredFormOfOldInfo("VLVR\n<ver>200\r\n<make>1\n"), "<ver>200<make>1");
}

TEST(OldThumbnailTest, TheKindOfTheExtensionPicksTheFolder) {
  CExt video, audio, image;
  video.Parse("mp4");
  audio.Parse("mp3");
  image.Parse("png");
  const MediaSets media{video, audio, image};
  EXPECT_EQ(OldThumbnailPath("/old", "clip.v1.MP4", false, media), "/old/clip.v1.jpg");
  EXPECT_EQ(OldThumbnailPath("/old", "song.mp3", false, media), "/old/audio/song.jpg");
  EXPECT_EQ(OldThumbnailPath("/old", "pic.png", false, media), "/old/image/pic.jpg");
  EXPECT_EQ(OldThumbnailPath("/old", "notes.txt", false, media), "/old/folder/notes.jpg");
  EXPECT_EQ(OldThumbnailPath("/old", "Season.1", true, media), "/old/folder/Season.1.jpg");
}

TEST(MovedAsideTest, ASecondFileOfTheSameNameKeepsBoth) {
  test::TempFolder temp;
  const std::string file = temp.Join("clip.jpg");
  for (const char* bytes : {"first", "second", "third"}) {
    test::WriteFileOrFail(file, bytes);
    EXPECT_TRUE(MoveAside(file, kConvertedFolder));
    EXPECT_EQ(platform::GetPathType(file), platform::PathType::kNone);
  }
  EXPECT_EQ(test::ReadFileOrEmpty(temp.Join("converted/clip.jpg")), "first");
  EXPECT_EQ(test::ReadFileOrEmpty(temp.Join("converted/clip (2).jpg")), "second");
  EXPECT_EQ(test::ReadFileOrEmpty(temp.Join("converted/clip (3).jpg")), "third");
  EXPECT_FALSE(MoveAside(temp.Join("missing.jpg"), kNullFolder));
}

}  // namespace
}  // namespace velmor
