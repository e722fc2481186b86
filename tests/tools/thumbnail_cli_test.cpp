// The thumbnail commands of the command-line player: their arguments, and
// runs against a real server.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "command/command_server.h"
#include "core/config.h"
#include "core/paths.h"
#include "core/server_runtime.h"
#include "library/data_table.h"
#include "test_support.h"

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

class ThumbnailCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(home_.path());
    ASSERT_TRUE(LoadConfig());
    Config().iPortServer = 0;
    Config().iPortHttp = 0;
    runtime_.Start();
  }

  CliOptions Options(CliCommand command) {
    CliOptions options;
    options.host = "127.0.0.1";
    options.port = runtime_.command_server()->port();
    options.command = command;
    return options;
  }

  int64_t Record(const std::string& path) {
    DataTable::Locked table = runtime_.command_server()->data_table()->Lock();
    return table.CreateRecord(path, 10)->id_int;
  }

  velmor::test::TempFolder home_;
  velmor::test::TempFolder work_;
  ServerRuntime runtime_;
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
