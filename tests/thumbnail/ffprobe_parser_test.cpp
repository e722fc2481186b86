#include "thumbnail/ffprobe_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "thumbnail/thumbnail_job.h"

namespace velmor {
namespace {

// A stream block as ffprobe prints it, with keys the parser does not use
// around the ones it does.
std::string Stream(const std::string& keys) {
  return "[STREAM]\nindex=0\nprofile=Main\n" + keys +
         "TAG:handler_name=Handler\nDISPOSITION:default=1\n[/STREAM]\n";
}

const std::string kVideoStream = Stream(
    "codec_name=h264\ncodec_long_name=H.264 / AVC\ncodec_type=video\nwidth=1920\nheight=1080\n"
    "coded_width=1920\nsample_aspect_ratio=1:1\ndisplay_aspect_ratio=16:9\npix_fmt=yuv420p\n"
    "color_range=tv\ncolor_space=bt709\nr_frame_rate=30000/1001\navg_frame_rate=30000/1001\n"
    "time_base=1/30000\nduration_ts=216216000\nduration=7207.200000\nbit_rate=5000000\n");
const std::string kAudioStream = Stream(
    "codec_name=aac\ncodec_type=audio\nsample_fmt=fltp\nsample_rate=48000\nchannels=2\n"
    "channel_layout=stereo\nbits_per_sample=0\navg_frame_rate=0/0\nduration=7207.168000\n");

TEST(FfprobeParserTest, TakesTheFirstVideoAndAudioStreamsFacts) {
  ThumbnailInfo info;
  EXPECT_TRUE(ParseStreamReport(kVideoStream + kAudioStream, kThumbnailVideo, &info));
  EXPECT_EQ(info.width, 1920);
  EXPECT_EQ(info.height, 1080);
  EXPECT_NEAR(info.fps, 29.97f, 0.001f);
  EXPECT_EQ(info.duration_ms, 7207200);
  EXPECT_EQ(info.aspect_x, 16);
  EXPECT_EQ(info.aspect_y, 9);
  EXPECT_EQ(info.fcc_v, "h264");
  EXPECT_EQ(info.range, "tv");
  EXPECT_EQ(info.color, "bt709");
  EXPECT_EQ(info.fcc_a, "aac");
  // The audio's own facts only count for audio media.
  EXPECT_EQ(info.sample_rate, 0);
  EXPECT_EQ(info.channels, 0);
}

TEST(FfprobeParserTest, AudioMediaTakesTheAudioStreamsDurationAndSampleFacts) {
  ThumbnailInfo info;
  EXPECT_TRUE(ParseStreamReport(kAudioStream + kVideoStream, kThumbnailAudio, &info));
  EXPECT_EQ(info.duration_ms, 7207168);
  EXPECT_EQ(info.sample_rate, 48000);
  EXPECT_EQ(info.bits_per_sample, 0);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.width, 1920);  // the picture inside the file
}

TEST(FfprobeParserTest, AReportWithoutVideoKeepsTheSizeProbedBefore) {
  // The cover picture is probed first; the audio file has no picture.
  ThumbnailInfo info;
  EXPECT_TRUE(ParseStreamReport(Stream("codec_name=png\ncodec_type=video\nwidth=500\n"
                                       "height=400\n"),
                                kThumbnailAudio, &info));
  EXPECT_TRUE(ParseStreamReport(kAudioStream, kThumbnailAudio, &info));
  EXPECT_EQ(info.width, 500);
  EXPECT_EQ(info.height, 400);
  EXPECT_EQ(info.fcc_v, "png");
  EXPECT_EQ(info.fcc_a, "aac");
  EXPECT_EQ(info.duration_ms, 7207168);

  ThumbnailInfo empty;
  EXPECT_FALSE(ParseStreamReport(kAudioStream, kThumbnailAudio, &empty));
}

TEST(FfprobeParserTest, FailsWithoutASize) {
  ThumbnailInfo info;
  EXPECT_FALSE(ParseStreamReport("", kThumbnailVideo, &info));
  EXPECT_FALSE(ParseStreamReport("garbage\n\x01\x02", kThumbnailVideo, &info));
  EXPECT_FALSE(ParseStreamReport(Stream("codec_type=video\nwidth=640\nheight=N/A\n"),
                                 kThumbnailVideo, &info));
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.height, 0);
}

TEST(FfprobeParserTest, IgnoresLinesOutsideStreamBlocks) {
  ThumbnailInfo info;
  const std::string report = "width=9999\nheight=9999\ncodec_type=video\n" +
                             Stream("codec_type=video\nwidth=320\nheight=180\n") + "width=1\n" +
                             kAudioStream;
  EXPECT_TRUE(ParseStreamReport(report, kThumbnailVideo, &info));
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 180);
}

TEST(FfprobeParserTest, ReadsCarriageReturnLineEnds) {
  std::string report = kVideoStream;
  std::string crlf;
  for (const char c : report) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  ThumbnailInfo info;
  EXPECT_TRUE(ParseStreamReport(crlf, kThumbnailVideo, &info));
  EXPECT_EQ(info.width, 1920);
  EXPECT_EQ(info.fcc_v, "h264");
}

TEST(FfprobeParserTest, MissingAndOddValuesLeaveFieldsAtZero) {
  ThumbnailInfo info;
  EXPECT_TRUE(ParseStreamReport(
      Stream("codec_name=mpeg4\ncodec_type=video\nwidth=320\nheight=180\navg_frame_rate=0/0\n"
             "duration=N/A\ndisplay_aspect_ratio=N/A\ncolor_range=unknown\n"),
      kThumbnailVideo, &info));
  EXPECT_EQ(info.fps, 0.0f);
  EXPECT_EQ(info.duration_ms, 0);
  EXPECT_EQ(info.aspect_x, 0);
  EXPECT_EQ(info.aspect_y, 0);
  EXPECT_EQ(info.fcc_v, "mpeg");  // four characters at most
  EXPECT_EQ(info.range, "unknown");
}

TEST(FfprobeParserTest, HugeDurationsAreHeldWithoutOverflow) {
  ThumbnailInfo info;
  ParseStreamReport(Stream("codec_type=video\nwidth=2\nheight=2\nduration=1e30\n"), kThumbnailVideo,
                    &info);
  EXPECT_EQ(info.duration_ms, INT_MAX);
  ParseStreamReport(Stream("codec_type=video\nwidth=2\nheight=2\nduration=-1e30\n"),
                    kThumbnailVideo, &info);
  EXPECT_EQ(info.duration_ms, INT_MIN);
  ParseStreamReport(Stream("codec_type=video\nwidth=2\nheight=2\nduration=nan\n"), kThumbnailVideo,
                    &info);
  EXPECT_EQ(info.duration_ms, 0);
}

TEST(FfprobeParserTest, ReadsAtMostSixteenStreams) {
  std::string report;
  for (int i = 0; i < 15; ++i) report += Stream("codec_type=data\n");
  // The sixteenth stream is read, the seventeenth is not.
  const std::string video = Stream("codec_type=video\nwidth=640\nheight=360\n");
  ThumbnailInfo sixteen;
  EXPECT_TRUE(ParseStreamReport(report + video, kThumbnailVideo, &sixteen));
  EXPECT_EQ(sixteen.width, 640);
  ThumbnailInfo seventeen;
  EXPECT_FALSE(
      ParseStreamReport(report + Stream("codec_type=data\n") + video, kThumbnailVideo, &seventeen));
}

TEST(FfprobeParserTest, TheCodecTypeMustMatchExactly) {
  ThumbnailInfo info;
  EXPECT_FALSE(ParseStreamReport(Stream("codec_type=videos\nwidth=640\nheight=360\n"),
                                 kThumbnailVideo, &info));
  EXPECT_FALSE(ParseStreamReport(Stream("codec_type=Video\nwidth=640\nheight=360\n"),
                                 kThumbnailVideo, &info));
}

TEST(FfprobeParserTest, ValuesThatWouldBreakTheInfoTextAreCleaned) {
  ThumbnailInfo info;
  EXPECT_TRUE(ParseStreamReport(
      Stream("codec_type=video\nwidth=8\nheight=8\ncodec_name=<a>\"b\ncolor_space=x>y\n"),
      kThumbnailVideo, &info));
  EXPECT_EQ(info.fcc_v, "ab");
  EXPECT_EQ(info.color, "xy");
}

}  // namespace
}  // namespace velmor
