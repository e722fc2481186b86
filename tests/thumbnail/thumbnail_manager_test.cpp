// The thumbnail manager with a real data table, real files and the
// placeholders the build installs beside the test programs; thumbnails are
// made with the real ffmpeg where it can run.
#include "thumbnail/thumbnail_manager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/paths.h"
#include "library/data_table.h"
#include "library/tag_text.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "test_media.h"
#include "test_support.h"
#include "thumbnail/placeholder_picture.h"
#include "thumbnail/thumbnail_file.h"

namespace velmor {
namespace {

using FetchStatus = ThumbnailManager::FetchStatus;
using MakeMode = ThumbnailManager::MakeMode;

// Waits for the worker thread; the limit is only there so that a broken
// worker fails the test instead of hanging it.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 3000; ++i) {
    if (condition()) return true;
    platform::SleepMs(10);
  }
  return condition();
}

// The placeholders as the build installed them.
std::string InstalledPlaceholder(const char* name) {
  return test::ReadFileOrEmpty(JoinPath(platform::ExecutableFolder(), name));
}

class ThumbnailManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(EnsureFolder(thumbnails_));  // as the server's start makes it
    table_.Open({0, "data\\VelmorVRServer.txt", thumbnails_});
    manager_.SetDataTable(&table_);
    Configure(/*use_ffmpeg=*/true, /*worker_runs=*/false);
  }

  // The programs on PATH, or (installed = false) programs that are missing.
  void Configure(bool use_ffmpeg, bool worker_runs, bool installed = true) {
    ThumbnailManager::Settings settings;
    settings.thumbnail_folder = thumbnails_;
    settings.programs = installed
                            ? test::InstalledMediaPrograms()
                            : MediaPrograms{home_.Join("no/ffmpeg"), home_.Join("no/ffprobe")};
    settings.enabled = worker_runs;
    settings.use_ffmpeg = use_ffmpeg;
    settings.video.Parse("mp4 mkv");
    settings.audio.Parse("mp3");
    settings.image.Parse("jpg png");
    manager_.Configure(settings);
  }

  // A record for the file (which need not exist); its id.
  int64_t Record(const std::string& path, int64_t size = 10) {
    DataTable::Locked locked = table_.Lock();
    S_DATATABLE* record = locked.CreateRecord(path, size);
    EXPECT_NE(record, nullptr) << path;
    return record == nullptr ? 0 : record->id_int;
  }

  std::string ThumbnailOf(int64_t id) {
    DataTable::Locked locked = table_.Lock();
    const S_DATATABLE* record = locked.FindById(id);
    return record == nullptr ? "" : JoinPath(thumbnails_, record->id_text + ".jpg");
  }

  std::string Tags(int64_t id) {
    DataTable::Locked locked = table_.Lock();
    const S_DATATABLE* record = locked.FindById(id);
    return record == nullptr ? "" : record->tags;
  }

  void SetTag(int64_t id, const char* key, const std::string& value) {
    DataTable::Locked locked = table_.Lock();
    S_DATATABLE* record = locked.FindById(id);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(SetTagValue(&record->tags, key, &value));
    locked.Touch(record);
  }

  // The stored "<thum>" value read back into the facts.
  ThumbnailInfo InfoOf(int64_t id) {
    std::string value;
    EXPECT_GE(GetTagValue(Tags(id), "<thum>", &value), 0) << Tags(id);
    ThumbnailInfo info;
    info.ver = 0;
    ApplyInfoText(value, &info);
    return info;
  }

  bool Make(int64_t id, MakeMode mode) {
    ThumbnailJob job;
    job.record_id = id;
    return manager_.MakeThumbnail(&job, mode);
  }

  test::TempFolder home_;
  const std::string thumbnails_ = home_.Join("thumbnail220");
  DataTable table_;
  ThumbnailManager manager_;  // goes before the table it works on
};

TEST_F(ThumbnailManagerTest, TheInstalledPlaceholdersAreFourDifferentJpegs) {
  const std::string names[] = {kPlaceholderVideo, kPlaceholderAudio, kPlaceholderImage,
                               kPlaceholderFolder};
  for (const std::string& name : names) {
    const std::string bytes = InstalledPlaceholder(name.c_str());
    EXPECT_TRUE(test::StartsLikeJpeg(bytes)) << name << " is not installed beside the program";
    for (const std::string& other : names) {
      if (other != name) {
        EXPECT_NE(bytes, InstalledPlaceholder(other.c_str())) << name;
      }
    }
  }
}

TEST_F(ThumbnailManagerTest, ThePlaceholderModeStoresThePictureOfTheMediasKind) {
  struct Case {
    const char* path;
    const char* placeholder;
    int media;
  };
  for (const Case& c :
       {Case{"/m/clip.mkv", kPlaceholderVideo, 1}, Case{"/m/song.mp3", kPlaceholderAudio, 2},
        Case{"/m/photo.JPG", kPlaceholderImage, 3}, Case{"/m/Holiday", kPlaceholderFolder, 4},
        Case{"/m/notes.txt", kPlaceholderFolder, 4}}) {
    const int64_t id = Record(c.path);
    ASSERT_TRUE(Make(id, MakeMode::kPlaceholder)) << c.path;
    EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), InstalledPlaceholder(c.placeholder))
        << c.path;
    const ThumbnailInfo info = InfoOf(id);
    EXPECT_EQ(info.ver, 220);
    EXPECT_EQ(info.make, 0);
    EXPECT_EQ(info.media, c.media) << c.path;
  }
  // The placeholder replaces what was there.
  const int64_t id = Record("/m/other.mp4");
  test::WriteFileOrFail(ThumbnailOf(id), "old picture");
  ASSERT_TRUE(Make(id, MakeMode::kPlaceholder));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), InstalledPlaceholder(kPlaceholderVideo));
}

TEST_F(ThumbnailManagerTest, MediaThatCannotBeMadeGetsThePlaceholderAndIsNotAskedForAgain) {
  Configure(true, true, /*installed=*/false);
  const int64_t id = Record(home_.Join("clip.mp4"));
  ASSERT_TRUE(Make(id, MakeMode::kMakeOrAdopt));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), InstalledPlaceholder(kPlaceholderVideo));
  EXPECT_EQ(InfoOf(id).make, 0);
  EXPECT_EQ(InfoOf(id).media, 1);
  manager_.RequestIfMissing(id);
  EXPECT_EQ(manager_.RequestCount(), 0u);
}

TEST_F(ThumbnailManagerTest, AnUnknownRecordMakesNothing) {
  EXPECT_FALSE(Make(2024031500'00000001, MakeMode::kPlaceholder));
  EXPECT_FALSE(Make(2024031500'00000001, MakeMode::kMakeOrAdopt));
  std::vector<platform::FileInfo> entries;
  ASSERT_TRUE(platform::ListFolder(thumbnails_, &entries));
  EXPECT_TRUE(entries.empty());
}

TEST_F(ThumbnailManagerTest, AVideoIsMadeIntoAThumbnailWithItsFacts) {
  VELMOR_REQUIRE_MEDIA_TOOLS();
  Configure(true, true);
  const std::string video = test::CopyTo(test::TestMedia::Get().Video20s(), home_.Join("旅.mp4"));
  const int64_t id = Record(video, GetFileSize64(video));
  ASSERT_TRUE(Make(id, MakeMode::kMakeOrAdopt));
  const std::string jpeg = test::ReadFileOrEmpty(ThumbnailOf(id));
  const test::DecodedPicture picture = test::DecodePicture(jpeg);
  EXPECT_EQ(picture.width, 426);
  EXPECT_EQ(picture.height, 240);
  const ThumbnailInfo info = InfoOf(id);
  EXPECT_EQ(info.make, 1);
  EXPECT_EQ(info.media, 1);
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 180);
  EXPECT_EQ(info.duration_ms, 20000);
  EXPECT_EQ(info.time_ms, 10000);  // the middle of a short video
  EXPECT_EQ(info.fcc_a, "aac");

  // Made again (the player asked once more): the file is kept as it is.
  test::WriteFileOrFail(ThumbnailOf(id), "kept");
  const std::string tags = Tags(id);
  ASSERT_TRUE(Make(id, MakeMode::kMakeOrAdopt));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), "kept");
  EXPECT_EQ(Tags(id), tags);
}

TEST_F(ThumbnailManagerTest, AnExistingFileIsLeftAsItIsUnlessItsInfoIsEmpty) {
  const int64_t with_info = Record("/m/a.mp4");
  const int64_t without_entry = Record("/m/b.mp4");
  SetTag(with_info, "<mark>", "<p0>5");
  SetTag(with_info, "<thum>", "<ver>220<make>3");
  for (const int64_t id : {with_info, without_entry}) {
    test::WriteFileOrFail(ThumbnailOf(id), "old thumbnail");
    const std::string tags = Tags(id);
    ASSERT_TRUE(Make(id, MakeMode::kMakeOrAdopt));
    EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), "old thumbnail");
    EXPECT_EQ(Tags(id), tags);
  }
}

TEST_F(ThumbnailManagerTest, AConvertedFileWithAnEmptyInfoIsAdoptedWithTheMediasFacts) {
  Configure(true, true);
  const bool tools = test::MediaToolsAvailable();
  const std::string video =
      tools ? test::CopyTo(test::TestMedia::Get().Video20s(), home_.Join("old.mp4"))
            : home_.Join("old.mp4");
  const int64_t id = Record(video);
  SetTag(id, "<mark>", "<p0>5");
  SetTag(id, "<thum>", "");
  test::WriteFileOrFail(ThumbnailOf(id), "converted thumbnail");
  ASSERT_TRUE(Make(id, MakeMode::kMakeOrAdopt));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), "converted thumbnail");
  const ThumbnailInfo info = InfoOf(id);
  EXPECT_EQ(info.make, 4);
  EXPECT_EQ(info.proc, 1);
  EXPECT_EQ(info.time_ms, 0);
  EXPECT_EQ(info.media, 0);
  if (tools) {
    EXPECT_EQ(info.width, 320);  // probed
  }
  std::string markers;
  GetTagValue(Tags(id), "<mark>", &markers);
  EXPECT_EQ(markers, "<p0>5") << "the markers stay";
}

TEST_F(ThumbnailManagerTest, ADeletedThumbnailFolderIsMadeAgain) {
  const int64_t first = Record("/m/a.mp4");
  ASSERT_TRUE(Make(first, MakeMode::kPlaceholder));
  test::RemoveTree(thumbnails_);
  const int64_t second = Record("/m/b.mp3");
  ASSERT_TRUE(Make(second, MakeMode::kPlaceholder));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(second)), InstalledPlaceholder(kPlaceholderAudio));
}

TEST_F(ThumbnailManagerTest, RequestsAreTakenOnlyWhileFfmpegIsOn) {
  const int64_t id = Record("/m/a.mp4");
  EXPECT_TRUE(manager_.AddRequest(id, false));
  EXPECT_TRUE(manager_.AddRequest(id, false));
  EXPECT_EQ(manager_.RequestCount(), 1u);
  Configure(/*use_ffmpeg=*/false, false);
  EXPECT_FALSE(manager_.AddRequest(id + 1, true));
  EXPECT_EQ(manager_.RequestCount(), 1u);
  manager_.ClearRequests();
  EXPECT_EQ(manager_.RequestCount(), 0u);
}

TEST_F(ThumbnailManagerTest, FetchByRecordLoadsTheFileOrAsksForIt) {
  ThumbnailJob job;
  const int64_t made = Record("/m/a.mp4");
  test::WriteFileOrFail(ThumbnailOf(made), "jpeg bytes");
  SetTag(made, "<thum>", "<ver>220<make>1");
  job.record_id = made;
  for (int kind : {1, 2, 4}) {
    EXPECT_EQ(manager_.Fetch(kind, 0, &job), FetchStatus::kLoaded) << kind;
    EXPECT_EQ(job.image, "jpeg bytes");
  }
  EXPECT_EQ(manager_.StoredInfoText(made), "<ver>220<make>1");

  const int64_t missing = Record("/m/b.mp4");
  job.record_id = missing;
  EXPECT_EQ(manager_.Fetch(4, 1, &job), FetchStatus::kMissing);
  EXPECT_EQ(manager_.RequestCount(), 0u);
  EXPECT_EQ(manager_.Fetch(1, 1, &job), FetchStatus::kRequested);
  EXPECT_TRUE(job.image.empty());
  EXPECT_EQ(manager_.RequestCount(), 1u);

  // Kind 2 with bit 0 moves the record before those asked for since.
  const int64_t later = Record("/m/c.mp4");
  job.record_id = later;
  EXPECT_EQ(manager_.Fetch(1, 1, &job), FetchStatus::kRequested);  // kind 1: no priority
  job.record_id = missing;
  EXPECT_EQ(manager_.Fetch(2, 0, &job), FetchStatus::kRequested);
  int64_t next = 0;
  ASSERT_TRUE(manager_.TakeRequest(&next));
  EXPECT_EQ(next, later);
  manager_.AddRequest(later, false);
  EXPECT_EQ(manager_.Fetch(2, 1, &job), FetchStatus::kRequested);
  ASSERT_TRUE(manager_.TakeRequest(&next));
  EXPECT_EQ(next, missing);
  manager_.ClearRequests();

  // An unknown record counts as a missing file.
  job.record_id = 2024031500'00000099;
  EXPECT_EQ(manager_.Fetch(1, 0, &job), FetchStatus::kRequested);
  EXPECT_EQ(manager_.Fetch(4, 0, &job), FetchStatus::kMissing);
  EXPECT_EQ(manager_.StoredInfoText(job.record_id), "");
  // Unknown kinds are not possible.
  for (int kind : {0, 3, 5, 16})
    EXPECT_EQ(manager_.Fetch(kind, 0, &job), FetchStatus::kNotPossible);

  // Without ffmpeg nothing is asked for.
  Configure(false, false);
  job.record_id = missing;
  EXPECT_EQ(manager_.Fetch(1, 0, &job), FetchStatus::kMissing);
}

TEST_F(ThumbnailManagerTest, FetchByPathLoadsImageFilesOnly) {
  ThumbnailJob job;
  test::WriteFileOrFail(home_.Join("photo.png"), "png bytes");
  test::WriteFileOrFail(home_.Join("clip.mp4"), "video bytes");
  job.media_path = home_.Join("photo.png");
  EXPECT_EQ(manager_.Fetch(8, 0, &job), FetchStatus::kLoaded);
  EXPECT_EQ(job.image, "png bytes");
  job.media_path = home_.Join("clip.mp4");
  EXPECT_EQ(manager_.Fetch(8, 0, &job), FetchStatus::kNotPossible);
  EXPECT_TRUE(job.image.empty());
  job.media_path = home_.Join("missing.png");
  EXPECT_EQ(manager_.Fetch(8, 0, &job), FetchStatus::kNotPossible);
  // A relative path is tried in the program folder.
  job.media_path = "photo.png";
  EXPECT_EQ(manager_.Fetch(8, 0, &job), FetchStatus::kLoaded);
  EXPECT_EQ(job.image, "png bytes");
  // A folder named like a picture is no picture.
  ASSERT_TRUE(platform::CreateFolder(home_.Join("album.jpg")));
  job.media_path = home_.Join("album.jpg");
  EXPECT_EQ(manager_.Fetch(8, 0, &job), FetchStatus::kNotPossible);
}

TEST_F(ThumbnailManagerTest, DeleteRemovesTheFileAndFollowsTheFile) {
  const int64_t id = Record("/m/a.mp4");
  test::WriteFileOrFail(ThumbnailOf(id), "jpeg");
  manager_.DeleteThumbnail(id, "/n/a.mp4");
  EXPECT_EQ(platform::GetPathType(ThumbnailOf(id)), platform::PathType::kNone);
  EXPECT_EQ(table_.Lock().FindById(id)->path, "/n/a.mp4");
  // An unknown record deletes nothing.
  const int64_t other = Record("/m/b.mp4");
  test::WriteFileOrFail(ThumbnailOf(other), "jpeg");
  manager_.DeleteThumbnail(2024031500'00000099, "/m/b.mp4");
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(other)), "jpeg");
}

TEST_F(ThumbnailManagerTest, RequestIfMissingSkipsMadeAndUnknownRecords) {
  const int64_t made = Record("/m/a.mp4");
  test::WriteFileOrFail(ThumbnailOf(made), "jpeg");
  const int64_t missing = Record("/m/b.mp4");
  manager_.RequestIfMissing(made);
  manager_.RequestIfMissing(2024031500'00000099);
  manager_.RequestIfMissing(missing);
  int64_t id = 0;
  ASSERT_TRUE(manager_.TakeRequest(&id));
  EXPECT_EQ(id, missing);
  EXPECT_FALSE(manager_.TakeRequest(&id));
}

TEST_F(ThumbnailManagerTest, AnUploadSaysWhetherItReplacesAnExistingFile) {
  const int64_t id = Record("/m/a.mp4");
  test::WriteFileOrFail(ThumbnailOf(id), "server made");
  ThumbnailJob job;
  job.record_id = id;
  job.client_text = "<make>2\n<size>1920,1080\n<fcc_v>hevc\n<player>quest 3\n";
  job.image = "player frame";
  ASSERT_TRUE(manager_.StoreUpload(&job));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), "server made");
  ThumbnailInfo info = InfoOf(id);
  EXPECT_EQ(info.make, 2);
  EXPECT_EQ(info.width, 1920);
  EXPECT_EQ(info.fcc_v, "hevc");
  EXPECT_EQ(info.extra_lines, "<player>quest 3\n");

  job.client_text = "<make>3\n<size>640,360\n";
  job.image = "player picture";
  ASSERT_TRUE(manager_.StoreUpload(&job));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), "player picture");
  info = InfoOf(id);
  EXPECT_EQ(info.make, 3);
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.fcc_v, "") << "the info starts afresh";

  // No bytes: the placeholder.
  job.client_text = "<make>3\n";
  job.image.clear();
  ASSERT_TRUE(manager_.StoreUpload(&job));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), InstalledPlaceholder(kPlaceholderVideo));
  EXPECT_EQ(InfoOf(id).make, 0);

  job.record_id = 2024031500'00000099;
  job.image = "lost";
  EXPECT_FALSE(manager_.StoreUpload(&job));
}

TEST_F(ThumbnailManagerTest, AnUploadIsProbedWhenFfmpegIsOn) {
  VELMOR_REQUIRE_MEDIA_TOOLS();
  Configure(true, true);
  const std::string video = test::CopyTo(test::TestMedia::Get().Video20s(), home_.Join("a.mp4"));
  const int64_t id = Record(video);
  ThumbnailJob job;
  job.record_id = id;
  job.client_text = "<make>3\n<time_ms>4500\n";
  job.image = "player picture";
  ASSERT_TRUE(manager_.StoreUpload(&job));
  const ThumbnailInfo info = InfoOf(id);
  EXPECT_EQ(info.width, 320);  // probed
  EXPECT_EQ(info.duration_ms, 20000);
  EXPECT_EQ(info.time_ms, 4500);  // the player's
  EXPECT_EQ(info.make, 3);
}

TEST_F(ThumbnailManagerTest, TheWorkerMakesWhatWasRequested) {
  Configure(true, true, /*installed=*/false);  // placeholders: no ffmpeg needed
  const int64_t video = Record("/m/a.mp4");
  const int64_t audio = Record("/m/b.mp3");
  ASSERT_TRUE(manager_.AddRequest(video, false));
  ASSERT_TRUE(manager_.AddRequest(audio, false));
  // The info is stored once the file is written.
  ASSERT_TRUE(Eventually([&] {
    return !manager_.StoredInfoText(video).empty() && !manager_.StoredInfoText(audio).empty();
  }));
  EXPECT_EQ(manager_.RequestCount(), 0u);
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(audio)), InstalledPlaceholder(kPlaceholderAudio));
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(video)), InstalledPlaceholder(kPlaceholderVideo));
  EXPECT_EQ(InfoOf(video).media, 1);
  EXPECT_EQ(InfoOf(audio).media, 2);
}

TEST_F(ThumbnailManagerTest, TheWorkerMakesVideosWithFfmpeg) {
  VELMOR_REQUIRE_MEDIA_TOOLS();
  Configure(true, true);
  const std::string video = test::CopyTo(test::TestMedia::Get().Video20s(), home_.Join("a.mp4"));
  const int64_t id = Record(video);
  ASSERT_TRUE(manager_.AddRequest(id, true));
  ASSERT_TRUE(Eventually([&] { return !manager_.StoredInfoText(id).empty(); }));
  EXPECT_EQ(InfoOf(id).make, 1);
  EXPECT_EQ(test::DecodePicture(test::ReadFileOrEmpty(ThumbnailOf(id))).width, 426);
}

// A child that never finishes is ended when the manager goes away, so its
// worker stops with it instead of being abandoned while it still uses the
// manager (the sanitizers would see that).
TEST_F(ThumbnailManagerTest, AStoppingManagerEndsAChildThatNeverFinishes) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a POSIX shell script standing in for ffprobe";
#else
  const std::string script = home_.Join("hang");
  const std::string started = home_.Join("started");
  test::WriteFileOrFail(script, "#!/bin/sh\necho > '" + started + "'\nexec sleep 600\n");
  ASSERT_TRUE(test::RunProgram({"chmod", "+x", script}));
  const int64_t id = Record(home_.Join("a.mp4"));
  {
    ThumbnailManager manager;
    manager.SetDataTable(&table_);
    ThumbnailManager::Settings settings;
    settings.thumbnail_folder = thumbnails_;
    settings.programs = {script, script};
    settings.enabled = true;
    settings.use_ffmpeg = true;
    settings.video.Parse("mp4");
    settings.time_limit_ms = 600000;  // only the stop can end it
    manager.Configure(settings);
    ASSERT_TRUE(manager.AddRequest(id, false));
    ASSERT_TRUE(Eventually([&] { return ThumbnailFileExists(started); }));
  }
  EXPECT_FALSE(ThumbnailFileExists(ThumbnailOf(id)));
  EXPECT_EQ(Tags(id), "");
#endif
}

}  // namespace
}  // namespace velmor
