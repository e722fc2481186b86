#include "thumbnail/thumbnail_info.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "library/tag_text.h"

namespace velmor {
namespace {

ThumbnailInfo FilledInfo() {
  ThumbnailInfo info;
  info.make = 1;
  info.media = 1;
  info.proc = 0;
  info.width = 1920;
  info.height = 1080;
  info.fps = 29.97f;
  info.duration_ms = 7200000;
  info.aspect_x = 16;
  info.aspect_y = 9;
  info.time_ms = 180000;
  info.fcc_v = "h264";
  info.fcc_a = "aac";
  info.color = "bt709";
  info.range = "tv";
  info.sample_rate = 48000;
  info.bits_per_sample = 16;
  info.channels = 2;
  return info;
}

void ExpectSameFields(const ThumbnailInfo& a, const ThumbnailInfo& b) {
  EXPECT_EQ(a.ver, b.ver);
  EXPECT_EQ(a.make, b.make);
  EXPECT_EQ(a.media, b.media);
  EXPECT_EQ(a.proc, b.proc);
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  EXPECT_FLOAT_EQ(a.fps, b.fps);
  EXPECT_EQ(a.duration_ms, b.duration_ms);
  EXPECT_EQ(a.aspect_x, b.aspect_x);
  EXPECT_EQ(a.aspect_y, b.aspect_y);
  EXPECT_EQ(a.time_ms, b.time_ms);
  EXPECT_EQ(a.fcc_v, b.fcc_v);
  EXPECT_EQ(a.fcc_a, b.fcc_a);
  EXPECT_EQ(a.color, b.color);
  EXPECT_EQ(a.range, b.range);
  EXPECT_EQ(a.sample_rate, b.sample_rate);
  EXPECT_EQ(a.bits_per_sample, b.bits_per_sample);
  EXPECT_EQ(a.channels, b.channels);
  EXPECT_EQ(a.extra_lines, b.extra_lines);
}

TEST(ThumbnailInfoFormatTest, PrintsEveryFieldInTheStoredOrder) {
  ThumbnailInfo info;
  EXPECT_EQ(FormatInfoText(info),
            "<ver>220<make>0<proc>0<size>0,0<fps>0.000000<duration_ms>0<aspect>0,0<time_ms>0"
            "<fcc_v><fcc_a><color><range><media>0<audio_smp>0,0,0");
  EXPECT_EQ(FormatInfoText(FilledInfo()),
            "<ver>220<make>1<proc>0<size>1920,1080<fps>29.969999<duration_ms>7200000"
            "<aspect>16,9<time_ms>180000<fcc_v>h264<fcc_a>aac<color>bt709<range>tv<media>1"
            "<audio_smp>48000,16,2");
}

TEST(ThumbnailInfoFormatTest, ResetKeepsOnlyTheVersion) {
  ThumbnailInfo info = FilledInfo();
  info.extra_lines = "<x>1\n";
  info.Reset();
  EXPECT_EQ(info.ver, 220);
  ExpectSameFields(info, ThumbnailInfo());
}

TEST(ThumbnailInfoFormatTest, ExtraLinesFollowDirectlyAndOnlyWhileTheyFit) {
  ThumbnailInfo info;
  info.extra_lines = "<player>abc\n<more>1\n";
  const std::string text = FormatInfoText(info);
  EXPECT_TRUE(text.ends_with("<audio_smp>0,0,0<player>abc\n<more>1\n")) << text;

  ThumbnailInfo full;
  for (int i = 0; i < 40; ++i) full.extra_lines += "<line" + std::to_string(i) + ">0123456789\n";
  const std::string cut = FormatInfoText(full);
  EXPECT_LE(cut.size(), ThumbnailInfo::kTextMax);
  EXPECT_EQ(cut.back(), '\n');  // whole lines only
  EXPECT_NE(cut.find("<line0>"), std::string::npos);
  EXPECT_EQ(cut.find("<line39>"), std::string::npos);
}

TEST(ThumbnailInfoFormatTest, TheTextAlwaysFitsARecordsTagText) {
  ThumbnailInfo info = FilledInfo();
  info.fps = 3.0e38f;
  info.width = -2147483647 - 1;
  info.fcc_v = "<bad>";
  info.color = "a>b<c\"d";
  info.extra_lines = "<broken>x<\n<fine>1\n";
  const std::string text = FormatInfoText(info);
  EXPECT_LE(text.size(), ThumbnailInfo::kTextMax);
  EXPECT_NE(text.find("<fcc_v>bad<fcc_a>"), std::string::npos);
  EXPECT_NE(text.find("<color>abcd<range>"), std::string::npos);
  EXPECT_EQ(text.find("<broken>"), std::string::npos);
  // The record's tag text takes it as the value of "<thum>".
  std::string tags;
  EXPECT_TRUE(SetTagValue(&tags, "<thum>", &text, 4096));
  std::string back;
  EXPECT_EQ(GetTagValue(tags, "<thum>", &back), static_cast<int>(text.size()));
  EXPECT_EQ(back, text);
}

TEST(ThumbnailInfoFormatTest, NotANumberFpsPrintsAsZero) {
  ThumbnailInfo info;
  info.fps = std::numeric_limits<float>::quiet_NaN();
  EXPECT_NE(FormatInfoText(info).find("<fps>0.000000<"), std::string::npos);
}

TEST(ThumbnailInfoParseTest, APlayersTextSetsOneFieldPerLine) {
  ThumbnailInfo info;
  ApplyInfoText(
      "<ver>210\n<make>2\n<proc>1\n<size>1280,720\n<fps>59.94\n<duration_ms>65000\n"
      "<aspect>16,9\n<time_ms>12000\n<fcc_v>hevc\n<fcc_a>opus\n<color>bt2020nc\n<range>pc\n"
      "<media>1\n<audio_smp>48000,24,6\n",
      &info);
  EXPECT_EQ(info.ver, 210);
  EXPECT_EQ(info.make, 2);
  EXPECT_EQ(info.proc, 1);
  EXPECT_EQ(info.width, 1280);
  EXPECT_EQ(info.height, 720);
  EXPECT_FLOAT_EQ(info.fps, 59.94f);
  EXPECT_EQ(info.duration_ms, 65000);
  EXPECT_EQ(info.aspect_x, 16);
  EXPECT_EQ(info.aspect_y, 9);
  EXPECT_EQ(info.time_ms, 12000);
  EXPECT_EQ(info.fcc_v, "hevc");
  EXPECT_EQ(info.fcc_a, "opus");
  EXPECT_EQ(info.color, "bt2020nc");
  EXPECT_EQ(info.range, "pc");
  EXPECT_EQ(info.media, 1);
  EXPECT_EQ(info.sample_rate, 48000);
  EXPECT_EQ(info.bits_per_sample, 24);
  EXPECT_EQ(info.channels, 6);
  EXPECT_EQ(info.extra_lines, "");
}

TEST(ThumbnailInfoParseTest, OverridesOnlyTheFieldsItNames) {
  ThumbnailInfo info = FilledInfo();
  ApplyInfoText("<make>3\r\n<size>640\n", &info);
  EXPECT_EQ(info.make, 3);
  EXPECT_EQ(info.width, 640);  // "%d,%d" sets what it reads
  EXPECT_EQ(info.height, 1080);
  EXPECT_EQ(info.fcc_v, "h264");
  EXPECT_EQ(info.duration_ms, 7200000);
}

TEST(ThumbnailInfoParseTest, KeepsUnknownTagLinesAndSkipsTheRest) {
  ThumbnailInfo info;
  ApplyInfoText("VLVR\nplain text\n<player_note>hello\n\n<make>1 trailing words\n<zoom>2\n", &info);
  EXPECT_EQ(info.make, 1);
  EXPECT_EQ(info.extra_lines, "<player_note>hello\n<zoom>2\n");
}

TEST(ThumbnailInfoParseTest, SeveralTagsOnOneLineAllApply) {
  // The adopted-thumbnail case writes its three facts in one line.
  ThumbnailInfo info;
  info.proc = 0;
  info.time_ms = 5000;
  ApplyInfoText("<make>4<proc>1<time_ms>0", &info);
  EXPECT_EQ(info.make, 4);
  EXPECT_EQ(info.proc, 1);
  EXPECT_EQ(info.time_ms, 0);
}

TEST(ThumbnailInfoParseTest, AStoredTextReadsBackWhole) {
  ThumbnailInfo info = FilledInfo();
  info.proc = 1;
  info.extra_lines = "<player>abc\n<more>1\n";
  ThumbnailInfo back;
  ApplyInfoText(FormatInfoText(info), &back);
  ExpectSameFields(back, info);
}

TEST(ThumbnailInfoParseTest, TextValuesAreCutAndCleaned) {
  ThumbnailInfo info;
  ApplyInfoText("<fcc_v>mpeg4video\n<color>a_very_long_colour_space_name\n<range>p\"c\x01\n",
                &info);
  EXPECT_EQ(info.fcc_v, "mpeg");
  EXPECT_EQ(info.color, "a_very_long_col");
  EXPECT_EQ(info.range, "pc");
  // A cut never leaves half of a character.
  ApplyInfoText("<fcc_a>ab\xE3\x81\x82\n", &info);
  EXPECT_EQ(info.fcc_a, "ab");
}

TEST(ThumbnailInfoParseTest, ExtraLinesThatWouldBreakTheTagTextAreDropped) {
  ThumbnailInfo info;
  // Unbalanced brackets, and control characters whose removal could turn
  // the line into a known tag.
  ApplyInfoText("<open>a<b\n<close>a>b\n<good>a<b>c\n<\x01make>1\n", &info);
  EXPECT_EQ(info.make, 0);
  EXPECT_EQ(info.extra_lines, "<good>a<b>c\n");
}

TEST(ThumbnailInfoParseTest, ExtraLinesStopAtAboutOneKibibyte) {
  ThumbnailInfo info;
  std::string text;
  for (int i = 0; i < 200; ++i) text += "<unknown" + std::to_string(i) + ">value\n";
  ApplyInfoText(text, &info);
  EXPECT_LE(info.extra_lines.size(), ThumbnailInfo::kExtraLinesMax);
  EXPECT_GT(info.extra_lines.size(), ThumbnailInfo::kExtraLinesMax - 32);
  EXPECT_EQ(info.extra_lines.rfind("<unknown0>value\n", 0), 0u);
}

TEST(ThumbnailInfoParseTest, NumbersReadLikeTheCLibrary) {
  ThumbnailInfo info;
  ApplyInfoText("<ver> +7\n<make>-2\n<proc>x\n<duration_ms>99999999999\n<fps>abc\n", &info);
  EXPECT_EQ(info.ver, 7);
  EXPECT_EQ(info.make, -2);
  EXPECT_EQ(info.proc, 0);
  EXPECT_EQ(info.duration_ms, static_cast<int>(99999999999LL & 0xFFFFFFFF));  // wraps
  EXPECT_EQ(info.fps, 0.0f);
  ApplyInfoText("<fps>inf\n", &info);
  EXPECT_EQ(info.fps, 0.0f);
}

}  // namespace
}  // namespace velmor
