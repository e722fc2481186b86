#include "thumbnail/picture_maker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/paths.h"
#include "library/data_table.h"
#include "library/tag_text.h"
#include "platform/file_system.h"
#include "test_media.h"
#include "test_support.h"
#include "thumbnail/placeholder_picture.h"

namespace velmor {
namespace {

class PictureMakerTest : public ::testing::Test {
 protected:
  PictureMakerTest() {
    video_.Parse("mp4 mkv");
    audio_.Parse("mp3 m4a");
    image_.Parse("jpg png");
  }

  void SetUp() override { VELMOR_REQUIRE_MEDIA_TOOLS(); }

  PictureContext Context(DataTable* table = nullptr) {
    return {runner_, {video_, audio_, image_}, table, 1234, &attempts_};
  }

  ThumbnailJob Job(const std::string& path, int64_t record_id = 0) {
    ThumbnailJob job;
    job.media_path = path;
    job.record_id = record_id;
    job.media_type = ThumbnailMediaTypeOf(path, {video_, audio_, image_});
    job.info.Reset();
    return job;
  }

  std::string Folder(const std::string& relative) {
    const std::string path = temp_.Join(relative);
    EXPECT_TRUE(platform::CreateFolder(path)) << path;
    return path;
  }

  // A data table in the temporary folder whose record for the file holds
  // the marker text; gives the record's id.
  int64_t OpenTableWithMarkers(DataTable* table, const std::string& media,
                               const std::string& mark_value) {
    const std::string file = temp_.Join("table.txt");
    test::WriteFileOrFail(file, "");
    table->Open({0, file, temp_.Join("thumbnails")});
    DataTable::Locked locked = table->Lock();
    S_DATATABLE* record = locked.CreateRecord(media, GetFileSize64(media));
    EXPECT_NE(record, nullptr);
    if (record == nullptr) return 0;
    EXPECT_TRUE(SetTagValue(&record->tags, "<mark>", &mark_value));
    record->flags |= kFlagHasMarkers;
    locked.Touch(record);
    return record->id_int;
  }

  static void ExpectJpeg(const std::string& bytes, int width, int height) {
    EXPECT_TRUE(test::StartsLikeJpeg(bytes));
    const test::DecodedPicture picture = test::DecodePicture(bytes);
    EXPECT_EQ(picture.codec, "mjpeg");
    EXPECT_EQ(picture.width, width);
    EXPECT_EQ(picture.height, height);
  }

  CExt video_;
  CExt audio_;
  CExt image_;
  MediaRunner runner_{test::RunnerFor(test::InstalledMediaPrograms())};
  std::vector<GrabAttempt> attempts_;
  test::TempFolder temp_;
};

// The program folder, where the placeholders are, for one test.
class ProgramFolderFor {
 public:
  explicit ProgramFolderFor(const std::string& folder) : old_(ProgramFolder()) {
    SetProgramFolder(folder);
  }
  ~ProgramFolderFor() { SetProgramFolder(old_); }

 private:
  std::string old_;
};

TEST_F(PictureMakerTest, AShortVideoIsGrabbedInTheMiddle) {
  ThumbnailJob job = Job(test::CopyTo(test::TestMedia::Get().Video20s(), temp_.Join("旅 1.mp4")));
  ASSERT_EQ(job.media_type, kThumbnailVideo);
  ASSERT_TRUE(MakePicture(Context(), &job));
  ExpectJpeg(job.image, 426, 240);
  EXPECT_EQ(job.info.width, 320);
  EXPECT_EQ(job.info.height, 180);
  EXPECT_EQ(job.info.duration_ms, 20000);
  EXPECT_FLOAT_EQ(job.info.fps, 5.0f);
  EXPECT_EQ(job.info.fcc_v, "mpeg");
  EXPECT_EQ(job.info.fcc_a, "aac");
  EXPECT_EQ(job.info.time_ms, 10000);
  EXPECT_EQ(job.info.proc, 0);
  ASSERT_EQ(attempts_.size(), 1u);
  EXPECT_EQ(attempts_[0].seek_seconds, 10);
  EXPECT_EQ(attempts_[0].frame_count, 5);
  EXPECT_TRUE(attempts_[0].accepted);
  EXPECT_EQ(attempts_[0].jpeg_size, job.image.size());
}

TEST_F(PictureMakerTest, AVideoTallerThan1080LinesComparesThreeFrames) {
  ThumbnailJob job = Job(test::TestMedia::Get().TallVideo());
  ASSERT_TRUE(MakePicture(Context(), &job));
  ExpectJpeg(job.image, 317, 240);  // 1440 x 1088
  ASSERT_FALSE(attempts_.empty());
  EXPECT_EQ(attempts_[0].frame_count, 3);
  EXPECT_EQ(attempts_[0].seek_seconds, 2);
}

TEST_F(PictureMakerTest, TheRecordsMarkersChooseTheScene) {
  const std::string video = test::TestMedia::Get().Video100s();
  DataTable table;
  // 70 s: past the first minute; the grab goes to min(100 - 60, 70) + 10.
  const int64_t id = OpenTableWithMarkers(&table, video, "<t2>5000,9000<p0>70000");
  ThumbnailJob job = Job(video, id);
  ASSERT_TRUE(MakePicture(Context(&table), &job));
  ASSERT_FALSE(attempts_.empty());
  EXPECT_EQ(attempts_[0].seek_seconds, 50);
  EXPECT_EQ(attempts_[0].frame_count, 10);
  EXPECT_EQ(job.info.time_ms, attempts_.back().seek_seconds * 1000);
  ExpectJpeg(job.image, 426, 240);
}

TEST_F(PictureMakerTest, MarkersWithinTheFirstMinuteAreNotUsed) {
  const std::string video = test::TestMedia::Get().Video100s();
  DataTable table;
  const int64_t id = OpenTableWithMarkers(&table, video, "<p0>50000<t1>20000,80000");
  ThumbnailJob job = Job(video, id);
  ASSERT_TRUE(MakePicture(Context(&table), &job));
  ASSERT_FALSE(attempts_.empty());
  EXPECT_EQ(attempts_[0].seek_seconds, 40);
  EXPECT_EQ(attempts_[0].frame_count, 5);
}

TEST_F(PictureMakerTest, DarkFramesAreTriedAgainUntilAnyPictureWillDo) {
  ThumbnailJob job = Job(test::TestMedia::Get().DarkVideo());
  ASSERT_TRUE(MakePicture(Context(), &job));
  ASSERT_EQ(attempts_.size(), 16u);
  EXPECT_EQ(attempts_[0].seek_seconds, 10);
  for (size_t i = 0; i < attempts_.size(); ++i) {
    EXPECT_EQ(attempts_[i].accepted, i == 15) << i;
    EXPECT_GT(attempts_[i].jpeg_size, 0u) << i;
    // Retries go to the first 80 %.
    if (i > 0) {
      EXPECT_LT(attempts_[i].seek_seconds, 16) << i;
    }
  }
  EXPECT_EQ(job.info.time_ms, attempts_.back().seek_seconds * 1000);
  ExpectJpeg(job.image, 426, 240);
}

TEST_F(PictureMakerTest, AStillPictureIsScaled) {
  ThumbnailJob job = Job(test::TestMedia::Get().Picture640x480());
  ASSERT_EQ(job.media_type, kThumbnailImage);
  ASSERT_TRUE(MakePicture(Context(), &job));
  ExpectJpeg(job.image, 320, 240);
  EXPECT_EQ(job.info.width, 640);
  EXPECT_EQ(job.info.height, 480);
  EXPECT_EQ(job.info.fcc_v, "png");
  EXPECT_EQ(job.info.time_ms, 0);
  EXPECT_TRUE(attempts_.empty());
}

TEST_F(PictureMakerTest, AnAudioFileWithACoverBesideIt) {
  const std::string song = test::CopyTo(test::TestMedia::Get().PlainMp3(), temp_.Join("song.mp3"));
  test::CopyTo(test::TestMedia::Get().WidePicture(), temp_.Join("song.jpg"));
  ThumbnailJob job = Job(song);
  ASSERT_EQ(job.media_type, kThumbnailAudio);
  ASSERT_TRUE(MakePicture(Context(), &job));
  ExpectJpeg(job.image, 480, 240);
  EXPECT_EQ(job.info.width, 400);
  EXPECT_EQ(job.info.height, 200);
  EXPECT_EQ(job.info.fcc_a, "mp3");
  EXPECT_NEAR(job.info.duration_ms, 5000, 100);
  EXPECT_EQ(job.info.sample_rate, 44100);
  EXPECT_EQ(job.info.channels, 1);
}

TEST_F(PictureMakerTest, TheCoverBesideKeepsItsShapeOverThePictureInside) {
  // The file carries a square picture; the cover beside it is wide.
  const std::string song =
      test::CopyTo(test::TestMedia::Get().Mp3WithCover(), temp_.Join("song.mp3"));
  test::CopyTo(test::TestMedia::Get().WidePicture(), temp_.Join("song.jpg"));
  ThumbnailJob job = Job(song);
  ASSERT_TRUE(MakePicture(Context(), &job));
  ExpectJpeg(job.image, 480, 240);
  EXPECT_EQ(job.info.width, 400);
  EXPECT_EQ(job.info.height, 200);
  EXPECT_EQ(job.info.fcc_v, "mjpe");
  EXPECT_EQ(job.info.fcc_a, "mp3");
}

TEST_F(PictureMakerTest, AnAudioFileWithOnlyItsOwnPictureGetsTheAudioPlaceholder) {
  const std::string program = Folder("program");
  const std::string placeholder = test::ReadFileOrEmpty(test::TestMedia::Get().WidePicture());
  test::WriteFileOrFail(program + "/" + kPlaceholderAudio, placeholder);
  const ProgramFolderFor program_folder(program);
  ThumbnailJob job = Job(test::TestMedia::Get().Mp3WithCover());
  ASSERT_TRUE(MakePicture(Context(), &job));
  EXPECT_EQ(job.image, placeholder);
  EXPECT_EQ(job.info.width, 300);  // the picture inside
  EXPECT_EQ(job.info.fcc_a, "mp3");
}

TEST_F(PictureMakerTest, AnAudioFileWithoutAnyPictureFails) {
  ThumbnailJob job = Job(test::TestMedia::Get().PlainMp3());
  EXPECT_FALSE(MakePicture(Context(), &job));
}

TEST_F(PictureMakerTest, AFolderPictureNamedAfterTheFolderWinsOverItsVideos) {
  const std::string trip = Folder("Trip");
  test::CopyTo(test::TestMedia::Get().Video20s(), trip + "/clip.mp4");
  test::CopyTo(test::TestMedia::Get().WidePicture(), trip + "/Trip.jpg");
  ThumbnailJob job = Job(trip);
  ASSERT_EQ(job.media_type, kThumbnailFolder);
  ASSERT_TRUE(MakePicture(Context(), &job));
  ExpectJpeg(job.image, 480, 240);  // the picture's shape
  EXPECT_EQ(job.info.proc, 1);
  EXPECT_EQ(job.info.width, 320);  // the video's facts
  EXPECT_EQ(job.info.height, 180);
  EXPECT_EQ(job.info.duration_ms, 20000);
  EXPECT_EQ(job.info.time_ms, 0);
  EXPECT_TRUE(attempts_.empty());
}

TEST_F(PictureMakerTest, AFolderWithOnlyAPicture) {
  const std::string album = Folder("Album");
  test::CopyTo(test::TestMedia::Get().Picture640x480(), album + "/scan.png");
  ThumbnailJob job = Job(album);
  ASSERT_TRUE(MakePicture(Context(), &job));
  ExpectJpeg(job.image, 320, 240);
  EXPECT_EQ(job.info.proc, 1);
  EXPECT_EQ(job.info.width, 640);
}

TEST_F(PictureMakerTest, AFolderWithOnlyAVideoDeeperDownUsesItsMarkers) {
  const std::string show = Folder("Show");
  Folder("Show/season 1");
  const std::string video =
      test::CopyTo(test::TestMedia::Get().Video100s(), show + "/season 1/episode.mp4");
  DataTable table;
  OpenTableWithMarkers(&table, video, "<p3>70000");
  ThumbnailJob job = Job(show);
  ASSERT_TRUE(MakePicture(Context(&table), &job));
  ExpectJpeg(job.image, 426, 240);
  EXPECT_EQ(job.info.proc, 0);
  ASSERT_FALSE(attempts_.empty());
  EXPECT_EQ(attempts_[0].seek_seconds, 50);
  EXPECT_EQ(attempts_[0].frame_count, 10);
}

TEST_F(PictureMakerTest, AFolderOfMusicGetsTheAudioPlaceholderAndAnEmptyOneNothing) {
  const std::string program = Folder("program");
  test::WriteFileOrFail(program + "/" + kPlaceholderAudio, "audio placeholder");
  const ProgramFolderFor program_folder(program);
  const std::string music = Folder("Music");
  Folder("Music/disc 1");
  test::CopyTo(test::TestMedia::Get().PlainMp3(), music + "/disc 1/track.mp3");
  ThumbnailJob job = Job(music);
  ASSERT_TRUE(MakePicture(Context(), &job));
  EXPECT_EQ(job.image, "audio placeholder");

  ThumbnailJob empty = Job(Folder("Empty"));
  EXPECT_FALSE(MakePicture(Context(), &empty));
}

TEST_F(PictureMakerTest, MediaFfmpegCannotReadFails) {
  const std::string broken = temp_.Join("broken.mp4");
  test::WriteFileOrFail(broken, std::string(5000, '\x5a'));
  ThumbnailJob video = Job(broken);
  EXPECT_FALSE(MakePicture(Context(), &video));
  const std::string picture = temp_.Join("broken.png");
  test::WriteFileOrFail(picture, "not a picture");
  ThumbnailJob still = Job(picture);
  EXPECT_FALSE(MakePicture(Context(), &still));
  ThumbnailJob missing = Job(temp_.Join("missing.mp4"));
  EXPECT_FALSE(MakePicture(Context(), &missing));
}

TEST(PictureMakerWithoutProgramsTest, EveryKindFailsWhenFfmpegIsMissing) {
  test::TempFolder temp;
  const MediaRunner runner(test::RunnerFor({temp.Join("none"), temp.Join("none")}));
  CExt video, audio, image;
  video.Parse("mp4");
  audio.Parse("mp3");
  image.Parse("jpg");
  const PictureContext context{runner, {video, audio, image}};
  test::WriteFileOrFail(temp.Join("a.mp4"), "x");
  test::WriteFileOrFail(temp.Join("a.mp3"), "x");
  test::WriteFileOrFail(temp.Join("a.jpg"), "x");
  for (const char* name : {"a.mp4", "a.mp3", "a.jpg", ""}) {
    ThumbnailJob job;
    job.media_path = temp.Join(name);
    job.media_type = ThumbnailMediaTypeOf(job.media_path, context.media);
    EXPECT_FALSE(MakePicture(context, &job)) << name;
  }
}

}  // namespace
}  // namespace velmor
