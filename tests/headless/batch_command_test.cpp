// The two batch tools from a shell, "--make-thumbnails" and "--convert", run
// as the real program on a real home with media made by the real ffmpeg.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/paths.h"
#include "library/data_table.h"
#include "library/tag_text.h"
#include "platform/file_system.h"
#include "platform/ini_store.h"
#include "platform/socket.h"
#include "program_output.h"
#include "test_support.h"
#include "thumbnail/test_media.h"
#include "thumbnail/thumbnail_file.h"

namespace velmor {
namespace {

constexpr uint32_t kRunMs = 300000;
const std::string kFfmpeg[] = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};

struct Finished {
  int exit_code = -1;
  std::string output;
};

// A picture with the old version's info text as its first segment.
std::string WithOldInfo(const std::string& jpeg, const std::string& text) {
  const size_t length = text.size() + 2;
  std::string bytes = "\xFF\xD8\xFF\xFE";
  bytes += static_cast<char>(length >> 8);
  bytes += static_cast<char>(length & 0xFF);
  return bytes + text + jpeg.substr(2);
}

bool IsWholeJpeg(const std::string& bytes) {
  return bytes.size() > 4 && bytes.compare(0, 2, "\xFF\xD8") == 0 &&
         bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") == 0;
}

class BatchCommand : public ::testing::Test {
 protected:
  void SetUp() override { VELMOR_REQUIRE_MEDIA_TOOLS(); }

  test::ProgramOutput* Start(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {VELMOR_SERVER_PROGRAM, "--home", home_.path()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    running_ = std::make_unique<test::ProgramOutput>();
    EXPECT_TRUE(running_->Start(argv));
    return running_.get();
  }
  Finished Run(const std::vector<std::string>& arguments) {
    test::ProgramOutput* program = Start(arguments);
    Finished finished;
    finished.exit_code = program->Finish(kRunMs);
    finished.output = program->Output();
    return finished;
  }
  std::string Path(const std::string& name) const { return home_.Join(name); }
  void MakeFolders(std::initializer_list<const char*> names) const {
    for (const char* name : names) ASSERT_TRUE(platform::CreateFolder(Path(name))) << name;
  }
  static void Ffmpeg(std::vector<std::string> arguments, const std::string& output) {
    arguments.insert(arguments.begin(), std::begin(kFfmpeg), std::end(kFfmpeg));
    arguments.push_back(output);
    ASSERT_TRUE(test::RunProgram(arguments)) << output;
  }
  static void MakeVideo(const std::string& path) {
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x90:rate=5", "-t", "1", "-c:v", "mpeg4"}, path);
  }
  // The data table as the program left it.
  std::unique_ptr<DataTable> OpenTable() const {
    auto table = std::make_unique<DataTable>();
    table->Open({0, Path("data/VelmorVRServer.txt"), Path("thumbnail220")});
    return table;
  }
  // The record's thumbnail file, or "" without a record.
  std::string ThumbnailOf(DataTable& table, const std::string& path, int64_t size) const {
    DataTable::Locked locked = table.Lock();
    const S_DATATABLE* record = locked.Find(path, size);
    std::string thumbnail;
    if (record == nullptr || !ThumbnailPathFor(Path("thumbnail220"), record->id_text, &thumbnail)) {
      return "";
    }
    return thumbnail;
  }
  static std::string Tag(DataTable& table, const std::string& path, int64_t size, const char* key) {
    DataTable::Locked locked = table.Lock();
    const S_DATATABLE* record = locked.Find(path, size);
    std::string value;
    if (record == nullptr || GetTagValue(record->tags, key, &value) < 0) return "(none)";
    return value;
  }

  test::TempFolder home_;
  std::unique_ptr<test::ProgramOutput> running_;
};

TEST_F(BatchCommand, ConvertTurnsAnOldTreeIntoRecordsAndMovesTheOldFilesAside) {
  MakeFolders({"media", "media/Album", "favs", "dropped", "thumbnail", "thumbnail/audio",
               "thumbnail/image", "thumbnail/folder", "trim"});
  const std::string media = Path("media");
  const std::string album = Path("media/Album");
  const struct {
    const char* name;
    const char* bytes;
  } kMedia[] = {{"media/a.mp4", "aaaa"},      {"media/b.mp4", "bbbbbb"}, {"media/e.mp4", "e"},
                {"media/song.mp3", "ss"},     {"media/pic.png", "ppp"},  {"favs/fav.mp4", "fffff"},
                {"dropped/d.mp4", "dddddddd"}};
  for (const auto& file : kMedia) test::WriteFileOrFail(Path(file.name), file.bytes);
  Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x36", "-frames:v", "1", "-update", "1"},
         Path("plain.jpg"));
  const std::string jpeg = test::ReadFileOrEmpty(Path("plain.jpg"));
  const std::string a_old = WithOldInfo(jpeg, "VLVR\n<ver>200\n<make>1\n<size>320,180\n");
  const std::string album_old = WithOldInfo(jpeg, "VLVR\n<ver>200\n<make>4\n");
  // A length that runs past the end of the file: converted without a text.
  std::string fav_old = WithOldInfo(jpeg, "VLVR\n<ver>200\n");
  fav_old[5] = '\x7F';
  fav_old.resize(40);
  const std::vector<std::pair<const char*, std::string>> kOld = {
      {"thumbnail/a.jpg", a_old},
      {"thumbnail/b.jpg", jpeg},
      {"thumbnail/audio/song.jpg", jpeg},
      {"thumbnail/image/pic.jpg", jpeg},
      {"thumbnail/folder/Album.jpg", album_old},
      {"thumbnail/fav.jpg", fav_old},
      {"thumbnail/d.jpg", jpeg},
      {"trim/a.trm",
       "[ITRM.0]\r\nyEnable=1\r\nrtA=600000000\r\nrtB=1200000000\r\n[ITRM.1]\r\nyEnable=0\r\n"
       "rtA=5\r\n[POINT.2]\r\nyEnable=1\r\nrtA=50000000\r\n"},
      {"trim/b.trm", "[ITRM.0]\r\nyEnable=0\r\nrtA=600000000\r\n[POINT.0]\r\nyEnable=0\r\n"},
      {"trim/c.trm", ""},
      {"trim/d.trm",
       "[POINT.0]\r\nyEnable=1\r\nrtA=-30000\r\n[POINT.1]\r\nyEnable=1\r\nrtA=x\r\n"
       "[POINT.4]\r\nyEnable=1\r\nrtA=36000000000\r\n"}};
  for (const auto& [name, bytes] : kOld) test::WriteFileOrFail(Path(name), bytes);
  test::WriteFileOrFail(Path("SearchFolder1.vrl"), media + "\n");
  test::WriteFileOrFail(Path("favorite.vrl"), "#name (Favorite)\n" + album + "?<fs>-2\n" +
                                                  Path("favs/fav.mp4") + "\n#end\n");
  test::WriteFileOrFail(Path("drop.vrl"), Path("dropped/d.mp4") + "\n");

  const Finished first = Run({"--convert"});
  EXPECT_EQ(first.exit_code, 0) << first.output;
  EXPECT_NE(first.output.find("変換中・・・(サムネイル:6  マーカー:1  空:2  チェック:12)\n"
                              "完了しました。\n"),
            std::string::npos)
      << first.output;
  EXPECT_NE(first.output.find("thumbnails 6, markers 1, empty 2, checked 12"), std::string::npos);
  {
    std::unique_ptr<DataTable> table = OpenTable();
    EXPECT_EQ(table->Lock().record_count(), 6u);
    EXPECT_EQ(Tag(*table, media + "/a.mp4", 4, "<thum>"), "<ver>200<make>1<size>320,180");
    EXPECT_EQ(Tag(*table, media + "/a.mp4", 4, "<mark>"), "<t0>60000,120000<p2>5000");
    EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, media + "/a.mp4", 4)) == a_old);
    EXPECT_EQ(Tag(*table, media + "/b.mp4", 6, "<thum>"), "");
    EXPECT_EQ(Tag(*table, media + "/b.mp4", 6, "<mark>"), "(none)");
    EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, media + "/song.mp3", 2)) == jpeg);
    EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, media + "/pic.png", 3)) == jpeg);
    EXPECT_EQ(Tag(*table, album, kSizeFolder, "<thum>"), "<ver>200<make>4");
    EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, album, kSizeFolder)) == album_old);
    EXPECT_EQ(Tag(*table, Path("favs/fav.mp4"), 5, "<thum>"), "");
    EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, Path("favs/fav.mp4"), 5)) == fav_old);
    EXPECT_EQ(ThumbnailOf(*table, media + "/e.mp4", 1), "");  // nothing old, no record
  }
  for (const char* moved :
       {"thumbnail/converted/a.jpg", "thumbnail/converted/b.jpg", "thumbnail/converted/fav.jpg",
        "thumbnail/audio/converted/song.jpg", "thumbnail/image/converted/pic.jpg",
        "thumbnail/folder/converted/Album.jpg", "trim/converted/a.trm", "trim/null/b.trm",
        "trim/null/c.trm", "thumbnail/d.jpg", "trim/d.trm"}) {
    EXPECT_EQ(platform::GetPathType(Path(moved)), platform::PathType::kFile) << moved;
  }
  EXPECT_EQ(platform::GetPathType(Path("thumbnail/a.jpg")), platform::PathType::kNone);

  // A dropped playlist converts the files it lists, not itself.
  const Finished dropped = Run({"--convert", Path("drop.vrl")});
  EXPECT_EQ(dropped.exit_code, 0) << dropped.output;
  EXPECT_NE(dropped.output.find("thumbnails 1, markers 1, empty 0, checked 1"), std::string::npos)
      << dropped.output;
  {
    std::unique_ptr<DataTable> table = OpenTable();
    EXPECT_EQ(table->Lock().record_count(), 7u);
    EXPECT_EQ(Tag(*table, Path("dropped/d.mp4"), 8, "<mark>"), "<p0>0<p1>0<p4>3600000");
    EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, Path("dropped/d.mp4"), 8)) == jpeg);
  }

  // Old files met again: the record holds markers, and a picture the old
  // text says was made from the media does not replace the one there.
  test::WriteFileOrFail(Path("thumbnail/a.jpg"), a_old);
  test::WriteFileOrFail(Path("trim/a.trm"), "[POINT.0]\r\nyEnable=1\r\nrtA=10000000\r\n");
  const Finished again = Run({"--convert"});
  EXPECT_EQ(again.exit_code, 0) << again.output;
  EXPECT_NE(again.output.find("thumbnails 1, markers 1, empty 0, checked 9"), std::string::npos)
      << again.output;
  std::unique_ptr<DataTable> table = OpenTable();
  EXPECT_EQ(table->Lock().record_count(), 7u);
  EXPECT_EQ(Tag(*table, media + "/a.mp4", 4, "<mark>"), "<t0>60000,120000<p2>5000");
  EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, media + "/a.mp4", 4)) == a_old);
  EXPECT_TRUE(test::ReadFileOrEmpty(Path("thumbnail/duplication/a.jpg")) == a_old);
  EXPECT_EQ(platform::GetPathType(Path("trim/duplication/a.trm")), platform::PathType::kFile);
  EXPECT_EQ(platform::GetPathType(Path("thumbnail/converted/a (2).jpg")),
            platform::PathType::kNone);
}

TEST_F(BatchCommand, MakeThumbnailsMakesWhatIsMissingOnceAndChecksTheRest) {
  MakeFolders({"media", "other", "other/sub"});
  const std::string media = Path("media");
  MakeVideo(Path("media/v1.mp4"));
  MakeVideo(Path("media/v2.mp4"));
  MakeVideo(Path("other/sub/clip.mp4"));
  Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "1", "-c:a",
          "libmp3lame"},
         Path("media/song.mp3"));
  Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240", "-frames:v", "1", "-update", "1"},
         Path("media/pic.png"));
  test::WriteFileOrFail(Path("media/notes.txt"), "not media");
  test::WriteFileOrFail(Path("SearchFolder1.vrl"), media + "\n");

  const Finished first = Run({"--make-thumbnails"});
  EXPECT_EQ(first.exit_code, 0) << first.output;
  EXPECT_NE(first.output.find("サムネイル作成中・・・(作成:4  チェック:4)\n完了しました。\n"),
            std::string::npos)
      << first.output;
  EXPECT_NE(first.output.find("made 4, checked 4"), std::string::npos);
  std::vector<std::string> thumbnails;
  {
    std::unique_ptr<DataTable> table = OpenTable();
    EXPECT_EQ(table->Lock().record_count(), 4u);
    for (const char* name : {"v1.mp4", "v2.mp4", "song.mp3", "pic.png"}) {
      const std::string path = media + "/" + name;
      const int64_t size = GetFileSize64(path);
      thumbnails.push_back(test::ReadFileOrEmpty(ThumbnailOf(*table, path, size)));
      EXPECT_TRUE(IsWholeJpeg(thumbnails.back())) << name;
      // Sound without a cover gets the placeholder (made 0), the rest are
      // made from the media.
      const char* made = std::string(name) == "song.mp3" ? "<make>0" : "<make>1";
      EXPECT_NE(Tag(*table, path, size, "<thum>").find(made), std::string::npos) << name;
    }
  }

  const Finished second = Run({"--make-thumbnails"});
  EXPECT_EQ(second.exit_code, 0) << second.output;
  EXPECT_NE(second.output.find("made 0, checked 4"), std::string::npos) << second.output;
  {
    std::unique_ptr<DataTable> table = OpenTable();
    const std::string v1 = media + "/v1.mp4";
    EXPECT_TRUE(test::ReadFileOrEmpty(ThumbnailOf(*table, v1, GetFileSize64(v1))) == thumbnails[0]);
  }

  // A folder given (as if dropped): its subfolders too.
  const Finished dropped = Run({"--make-thumbnails", Path("other")});
  EXPECT_EQ(dropped.exit_code, 0) << dropped.output;
  EXPECT_NE(dropped.output.find("made 1, checked 1"), std::string::npos) << dropped.output;
  std::unique_ptr<DataTable> table = OpenTable();
  EXPECT_EQ(table->Lock().record_count(), 5u);
  EXPECT_TRUE(IsWholeJpeg(test::ReadFileOrEmpty(
      ThumbnailOf(*table, Path("other/sub/clip.mp4"), GetFileSize64(Path("other/sub/clip.mp4"))))));

  // Bad arguments change nothing.
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--make-thumbnails", Path("other/sub/clip.mp4")},
        {"--make-thumbnails", Path("missing")},
        {"--convert", "--make-thumbnails"}}) {
    EXPECT_EQ(Run(bad).exit_code, 2) << bad.back();
  }
  EXPECT_EQ(table->Lock().record_count(), 5u);
}

TEST_F(BatchCommand, InterruptedMakeThumbnailsLeavesALoadableTableAndWholeThumbnails) {
  MakeFolders({"media"});
  MakeVideo(Path("one.mp4"));
  const std::string video = test::ReadFileOrEmpty(Path("one.mp4"));
  for (int i = 0; i < 40; ++i) {
    test::WriteFileOrFail(Path("media/clip" + std::to_string(i) + ".mp4"), video);
  }
  test::ProgramOutput* program = Start({"--make-thumbnails", Path("media")});
  ASSERT_TRUE(program->WaitForLine("サムネイル作成中・・・(", kRunMs));
  ASSERT_TRUE(program->child().RequestStop());  // as Ctrl+C
  EXPECT_EQ(program->Finish(kRunMs), 1) << program->Output();
  const std::string output = program->Output();
  EXPECT_NE(output.find("cancelled after the current file"), std::string::npos) << output;

  std::unique_ptr<DataTable> table = OpenTable();
  std::vector<platform::FileInfo> files;
  ASSERT_TRUE(platform::ListFolder(Path("thumbnail220"), &files));
  for (const platform::FileInfo& file : files) {
    EXPECT_TRUE(IsWholeJpeg(test::ReadFileOrEmpty(Path("thumbnail220/" + file.name)))) << file.name;
  }
  int made = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string thumbnail =
        ThumbnailOf(*table, Path("media/clip" + std::to_string(i) + ".mp4"), video.size());
    if (!thumbnail.empty() && platform::GetPathType(thumbnail) == platform::PathType::kFile) ++made;
  }
  EXPECT_EQ(static_cast<size_t>(made), files.size());
  EXPECT_NE(output.find("made " + std::to_string(made) + ", "), std::string::npos) << output;
  EXPECT_LT(made, 40);
}

// Refusing needs no media tools (Windows has none here).
class BatchCommandRefusal : public BatchCommand {
 protected:
  void SetUp() override {}
};

TEST_F(BatchCommandRefusal, RefusesWhileAServerWithTheSameHomeRuns) {
  const std::string ini = Path("VelmorVRServer.ini");
  ASSERT_TRUE(platform::CreateUtf16File(ini));
  for (const char* key : {"iPortServer", "iPortHttp"}) {
    platform::Socket probe;
    ASSERT_TRUE(probe.ListenTcp(0, 1));
    ASSERT_TRUE(platform::WriteIniString(ini, "Config", key, std::to_string(probe.LocalPort())));
  }
  test::ProgramOutput server;
  ASSERT_TRUE(server.Start({VELMOR_SERVER_PROGRAM, "--home", home_.path()}));
  ASSERT_TRUE(server.WaitForLine("status 0x0001", kRunMs));
  for (const char* mode : {"--convert", "--make-thumbnails"}) {
    // Told on stderr; nothing of the run is started.
    const Finished refused = Run({mode});
    EXPECT_EQ(refused.exit_code, 3);
    EXPECT_EQ(refused.output, "");
  }
#ifdef _WIN32
  // A console program cannot be asked to stop from here: ended, it leaves
  // its process id behind, which names no server any more.
  server.child().Kill();
  int exit_code = 0;
  EXPECT_TRUE(server.child().Wait(kRunMs, &exit_code));
#else
  EXPECT_EQ(server.Stop(kRunMs), 1);
#endif
  EXPECT_EQ(Run({"--convert"}).exit_code, 0);
}

}  // namespace
}  // namespace velmor
