// The thumbnail commands of the command-line player: their arguments, and
// runs against a real server.
#include <gtest/gtest.h>

#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "library/data_table.h"
#include "running_server.h"
#include "thumbnail/test_media.h"

namespace velmor::player {
namespace {

TEST(ThumbnailCommandLineTest, ReadsTheThumbnailCommands) {
  const CliParse thumb = ParseCommandLine(
      {"h", "thumb", "2024031510000000007", "5", "--kind", "2", "--flags", "1", "-o", "out"});
  ASSERT_TRUE(thumb.options) << thumb.error;
  EXPECT_EQ(thumb.options->command, CliCommand::kThumb);
  EXPECT_EQ(thumb.options->record_ids, (std::vector<int64_t>{2024031510000000007, 5}));
  EXPECT_EQ(thumb.options->thumbnail_kind, 2);
  EXPECT_EQ(thumb.options->thumbnail_flags, 1);
  EXPECT_EQ(thumb.options->output, "out");

  EXPECT_FALSE(thumb.options->wait_seconds);

  // A number after --wait below the smallest record id is its seconds.
  struct Wait {
    std::vector<std::string> arguments;
    uint32_t seconds;
    std::vector<int64_t> ids;
  };
  for (const Wait& wait : std::vector<Wait>{
           {{"h", "thumb", "--wait", "30", "202612081000000001"}, 30, {202612081000000001}},
           {{"h", "thumb", "202612081000000001", "--wait"}, 60, {202612081000000001}},
           {{"h", "thumb", "--wait", "202612081000000001", "-o", "d"}, 60, {202612081000000001}},
           {{"h", "thumb", "7", "--wait", "-o", "d"}, 60, {7}},
       }) {
    const CliParse parse = ParseCommandLine(wait.arguments);
    ASSERT_TRUE(parse.options) << parse.error;
    EXPECT_EQ(parse.options->wait_seconds, wait.seconds) << wait.arguments[2];
    EXPECT_EQ(parse.options->record_ids, wait.ids) << wait.arguments[2];
  }

  const CliParse path = ParseCommandLine({"h", "thumb-path", "/p/a b.jpg", "-o", "x.jpg"});
  ASSERT_TRUE(path.options) << path.error;
  EXPECT_EQ(path.options->path, "/p/a b.jpg");
  EXPECT_EQ(path.options->output, "x.jpg");

  const CliParse upload = ParseCommandLine({"h", "upload", "7", "pic.jpg", "--info", "<make>3"});
  ASSERT_TRUE(upload.options) << upload.error;
  EXPECT_EQ(upload.options->record_ids, (std::vector<int64_t>{7}));
  EXPECT_EQ(upload.options->upload_file, "pic.jpg");
  EXPECT_EQ(upload.options->info_text, "<make>3");

  struct Refused {
    std::vector<std::string> arguments;
    std::string error;
  };
  for (const Refused& refused : std::vector<Refused>{
           {{"h", "thumb"}, "thumb needs record ids"},
           {{"h", "thumb", "x1"}, "a record id is a number, not \"x1\""},
           {{"h", "thumb", "1", "--kind", "70000"},
            "--kind needs a number from 0 to 65535, not "
            "\"70000\""},
           {{"h", "thumb", "1", "--wait", "86401"}, "--wait takes at most 86400 seconds"},
           {{"h", "thumb-path", "x", "--wait"}, "unknown option \"--wait\""},
           {{"h", "thumb-path"}, "thumb-path needs a path"},
           {{"h", "thumb-path", "a", "b"}, "unexpected argument \"b\""},
           {{"h", "upload", "7"}, "upload needs a record id and a file"},
           {{"h", "upload", "7", "a", "b"}, "unexpected argument \"b\""},
           {{"h", "upload", "7", "a", "--kind", "1"}, "unknown option \"--kind\""},
       }) {
    const CliParse parse = ParseCommandLine(refused.arguments);
    EXPECT_FALSE(parse.options);
    EXPECT_EQ(parse.error, refused.error);
  }
}

class ThumbnailCliTest : public velmor::test::RunningServerTest {
 protected:
  void SetUp() override {
    RunningServerTest::SetUp();
    StartRuntime();
  }

  CliOptions Options(CliCommand command) {
    CliOptions options;
    options.host = "127.0.0.1";
    options.port = runtime_.command_server()->port();
    options.command = command;
    return options;
  }

  int64_t Record(const std::string& path) {
    DataTable::Locked table = runtime_.library().data_table()->Lock();
    return table.CreateRecord(path, 10)->id_int;
  }

  velmor::test::TempFolder work_;
};

TEST_F(ThumbnailCliTest, UploadThenFetchTheSamePictureBack) {
  const int64_t id = Record("/m/a.mp4");
  const std::string picture(300000, 'p');
  velmor::test::WriteFileOrFail(work_.Join("pic.jpg"), picture);

  CliOptions upload = Options(CliCommand::kUpload);
  upload.record_ids = {id};
  upload.upload_file = work_.Join("pic.jpg");
  upload.info_text = "<make>3";
  std::ostringstream out, err;
  ASSERT_EQ(RunCli(upload, out, err), kExitOk) << err.str();
  EXPECT_EQ(out.str(), "#RET_OK()\n");

  CliOptions thumb = Options(CliCommand::kThumb);
  thumb.record_ids = {id, id + 1};
  thumb.thumbnail_kind = 4;
  thumb.output = work_.path();
  std::ostringstream out2, err2;
  ASSERT_EQ(RunCli(thumb, out2, err2), kExitOk) << err2.str();
  EXPECT_EQ(velmor::test::ReadFileOrEmpty(work_.Join(std::to_string(id) + ".jpg")), picture);
  const std::string printed = out2.str();
  EXPECT_NE(printed.find("thumbnail item 0: status 1 info \"<ver>220<make>3"), std::string::npos)
      << printed;
  EXPECT_NE(printed.find("thumbnail item 1: status 4"), std::string::npos) << printed;
  EXPECT_NE(printed.find("saved 300000 bytes to " + work_.Join(std::to_string(id) + ".jpg")),
            std::string::npos)
      << printed;
  EXPECT_EQ(PathKind(work_.Join(std::to_string(id + 1) + ".jpg")), kPathAbsent);
}

// The player's way to a thumbnail that is not there yet: ask, wait in the
// same session while the server's worker runs ffmpeg, fetch again.
TEST_F(ThumbnailCliTest, WaitGetsTheThumbnailTheServerMakes) {
  VELMOR_REQUIRE_MEDIA_TOOLS();
  const int64_t id = Record(velmor::test::TestMedia::Get().Video20s());  // 320 x 180
  CliOptions thumb = Options(CliCommand::kThumb);
  thumb.record_ids = {id};
  thumb.output = work_.Join("new/thumbs");
  thumb.wait_seconds = 60;
  thumb.poll_ms = 20;
  const std::string saved = thumb.output + "/" + std::to_string(id) + ".jpg";

  // Without "rw.iUseFFMpeg" nothing is being made, and a listing's
  // temporary id never has a thumbnail: no waiting, exit 1.
  thumb.record_ids = {id, 5};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(thumb, out, err), kExitRefused);
  for (const std::string& note :
       {"no thumbnail for " + std::to_string(id) + ", and the server is not making one",
        std::string("5 is no record id")}) {
    EXPECT_NE(err.str().find(note), std::string::npos) << err.str();
  }
  EXPECT_EQ(err.str().find("waiting"), std::string::npos) << err.str();
  EXPECT_EQ(PathKind(thumb.output), kPathFolder) << "-o makes the folder";
  thumb.record_ids = {id};

  settings().Update([](S_CONFIG& config) { config.iUseFFMpeg = 1; });
  {
    std::lock_guard<std::recursive_mutex> lock(runtime_.command_server()->lock());
    runtime_.ApplySettings();
  }
  std::ostringstream out2, err2;
  ASSERT_EQ(RunCli(thumb, out2, err2), kExitOk) << err2.str();
  const std::string printed = out2.str();
  EXPECT_NE(printed.find("thumbnail item 0: status 3"), std::string::npos) << printed;
  EXPECT_NE(printed.find("thumbnail " + std::to_string(id) +
                         ": made while waiting, info \"<ver>220"
                         "<make>1"),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find("bytes to " + saved), std::string::npos) << printed;
  const std::string picture = velmor::test::ReadFileOrEmpty(saved);
  EXPECT_TRUE(velmor::test::StartsLikeJpeg(picture));
  const velmor::test::DecodedPicture decoded = velmor::test::DecodePicture(picture);
  EXPECT_EQ(decoded.codec, "mjpeg");
  EXPECT_EQ(decoded.width, 426);  // the short side 240, the aspect kept
  EXPECT_EQ(decoded.height, 240);
}

TEST_F(ThumbnailCliTest, ThumbPathSavesThePictureAndUploadNeedsItsFile) {
  velmor::test::WriteFileOrFail(work_.Join("photo.png"), "png bytes");
  CliOptions options = Options(CliCommand::kThumbPath);
  options.path = work_.Join("photo.png");
  options.output = work_.Join("copy.png");
  std::ostringstream out, err;
  ASSERT_EQ(RunCli(options, out, err), kExitOk) << err.str();
  EXPECT_EQ(velmor::test::ReadFileOrEmpty(work_.Join("copy.png")), "png bytes");

  CliOptions upload = Options(CliCommand::kUpload);
  upload.record_ids = {Record("/m/b.mp4")};
  upload.upload_file = work_.Join("missing.jpg");
  std::ostringstream out2, err2;
  EXPECT_EQ(RunCli(upload, out2, err2), kExitFailure);
  EXPECT_EQ(err2.str(), "error: cannot read " + work_.Join("missing.jpg") + "\n");

  // An upload for a record the server does not know is refused.
  velmor::test::WriteFileOrFail(work_.Join("pic.jpg"), "jpeg");
  upload.record_ids = {2024031500'00000099};
  upload.upload_file = work_.Join("pic.jpg");
  std::ostringstream out3, err3;
  EXPECT_EQ(RunCli(upload, out3, err3), kExitRefused) << err3.str();
}

}  // namespace
}  // namespace velmor::player
