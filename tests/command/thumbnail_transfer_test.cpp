// The thumbnail transfer end to end: a running server and the player
// client fetch thumbnails ("THUM", answered with "RTDT" and "RTDA"), upload
// them ("MKTH" and "DATA" across packets) and drive the request commands.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "library/data_table.h"
#include "library/list_file.h"
#include "library/tag_text.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "running_server.h"
#include "thumbnail/placeholder_picture.h"
#include "thumbnail/thumbnail_manager.h"
#include "thumbnails.h"

namespace velmor {
namespace {

// Waits for the thumbnail worker; the limit only turns a hang into a
// failure.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 3000; ++i) {
    if (condition()) return true;
    platform::SleepMs(10);
  }
  return condition();
}

// Bytes that do not repeat with a short period, so a piece out of place
// shows.
std::string Picture(size_t size, char seed) {
  std::string bytes(size, '\0');
  uint32_t state = static_cast<uint8_t>(seed) + 1u;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 16);
  }
  return bytes;
}

class ThumbnailTransferTest : public test::RunningServerTest {
 protected:
  void SetUp() override {
    RunningServerTest::SetUp();
    settings().Update([](S_CONFIG& config) { config.iUseFFMpeg = 0; });
  }

  ThumbnailManager* Thumbnails() { return runtime_.library().thumbnails(); }

  // Requests stay in the list: the worker makes nothing.
  void HoldTheWorker() {
    ThumbnailManager::Settings settings = Thumbnails()->settings();
    settings.enabled = false;
    Thumbnails()->Configure(settings);
  }

  player::Reply Exchange(const player::Chunk& chunk) {
    const player::Reply reply = client_.Exchange({chunk});
    EXPECT_TRUE(reply.complete()) << reply.error;
    return reply;
  }

  player::Reply Command(const std::string& name, std::vector<std::string> fields = {}) {
    const player::Reply reply = client_.ExchangeCommand({name, std::move(fields)});
    EXPECT_TRUE(reply.complete()) << reply.error;
    return reply;
  }

  int64_t RequestCount() {
    const player::Reply reply = Command("CM_GET_THUMBNAIL_REQUEST_NUM");
    EXPECT_TRUE(reply.LastOk());
    for (const player::Chunk& chunk : reply.chunks) {
      if (chunk.code != "RTMS") continue;
      if (const auto slot = player::DecodeResultSlot(chunk.payload, nullptr)) return slot->value;
    }
    ADD_FAILURE() << "no result slot";
    return -1;
  }

  // A media file and its record.
  int64_t MediaRecord(const std::string& name, const std::string& bytes = "media") {
    const std::string path = WithForwardSlashes(media_.Join(name));
    test::WriteFileOrFail(path, bytes);
    const player::Reply reply = Command("CM_GET_FILE_ID", {path});
    for (const player::Chunk& chunk : reply.chunks) {
      if (chunk.code != "RTMS") continue;
      if (const auto slot = player::DecodeResultSlot(chunk.payload, nullptr)) return slot->value;
    }
    ADD_FAILURE() << "no id for " << name;
    return 0;
  }

  std::string ThumbnailOf(int64_t id) {
    DataTable::Locked table = runtime_.library().data_table()->Lock();
    const S_DATATABLE* record = table.FindById(id);
    return record == nullptr ? "" : JoinPath(home_.Join("thumbnail220"), record->id_text + ".jpg");
  }

  std::string InfoOf(int64_t id) { return Thumbnails()->StoredInfoText(id); }

  void SetInfo(int64_t id, const std::string& info) {
    DataTable::Locked table = runtime_.library().data_table()->Lock();
    S_DATATABLE* record = table.FindById(id);
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(SetTagValue(&record->tags, "<thum>", &info));
    table.Touch(record);
  }

  std::vector<player::FetchedThumbnail> Fetch(uint16_t kind,
                                              const std::vector<player::ThumbnailItem>& items,
                                              player::Reply* reply_out = nullptr) {
    std::string error;
    const auto chunk = player::MakeThumbnailFetchChunk(kind, items, &error);
    EXPECT_TRUE(chunk.has_value()) << error;
    if (!chunk) return {};
    const player::Reply reply = Exchange(*chunk);
    EXPECT_TRUE(reply.LastOk());
    if (reply_out != nullptr) *reply_out = reply;
    const auto thumbnails = player::CollectThumbnails(reply.chunks, &error);
    EXPECT_TRUE(thumbnails.has_value()) << error;
    return thumbnails.value_or(std::vector<player::FetchedThumbnail>{});
  }

  player::Reply Upload(int64_t id, const std::string& info, const std::string& data) {
    std::string error;
    const auto packets = player::MakeUploadPackets(id, info, data, &error);
    EXPECT_TRUE(packets.has_value()) << error;
    if (!packets) return {};
    const player::Reply reply = client_.ExchangePackets(*packets);
    EXPECT_TRUE(reply.complete()) << reply.error;
    return reply;
  }

  test::TempFolder media_;
};

TEST_F(ThumbnailTransferTest, FetchSendsEachThumbnailWithItsInfoText) {
  StartServer();
  const int64_t made = MediaRecord("a.mp4");
  const int64_t missing = MediaRecord("b.mp4");
  const std::string picture = Picture(5000, 'a');
  test::WriteFileOrFail(ThumbnailOf(made), picture);
  SetInfo(made, "<ver>220<make>1<size>320,180");

  const auto thumbnails = Fetch(1, {{0, made}, {0, missing}, {0, made}});
  ASSERT_EQ(thumbnails.size(), 3u);
  EXPECT_EQ(thumbnails[0].answer.index, 0);
  EXPECT_EQ(thumbnails[0].answer.status, 1);
  EXPECT_EQ(thumbnails[0].answer.info, "<ver>220<make>1<size>320,180");
  EXPECT_EQ(thumbnails[0].answer.image_size, 5000);
  EXPECT_EQ(thumbnails[0].image, picture);
  // Without "rw.iUseFFMpeg" nothing is made: status 4, no request.
  EXPECT_EQ(thumbnails[1].answer.index, 1);
  EXPECT_EQ(thumbnails[1].answer.status, 4);
  EXPECT_EQ(thumbnails[1].answer.info, "");
  EXPECT_EQ(thumbnails[1].answer.image_size, 0);
  EXPECT_EQ(thumbnails[2].answer.index, 2);
  EXPECT_EQ(thumbnails[2].image, picture);
  EXPECT_EQ(RequestCount(), 0);
}

TEST_F(ThumbnailTransferTest, LargeImagesComeInPiecesOfOneMebibyte) {
  StartServer();
  const int64_t id = MediaRecord("a.mp4");
  const std::string picture = Picture(2 * 1048576 + 1000, 'b');
  test::WriteFileOrFail(ThumbnailOf(id), picture);
  player::Reply reply;
  const auto thumbnails = Fetch(4, {{0, id}}, &reply);
  ASSERT_EQ(thumbnails.size(), 1u);
  EXPECT_EQ(thumbnails[0].image, picture);
  std::vector<size_t> pieces;
  for (const player::Chunk& chunk : reply.chunks) {
    if (chunk.code == "RTDA") pieces.push_back(chunk.payload.size());
  }
  EXPECT_EQ(pieces, (std::vector<size_t>{1048576, 1048576, 1000}));
}

TEST_F(ThumbnailTransferTest, FetchByPathSendsPicturesOnly) {
  StartServer();
  const std::string picture = Picture(3000, 'c');
  test::WriteFileOrFail(media_.Join("photo.jpg"), picture);
  test::WriteFileOrFail(media_.Join("clip.mp4"), "video");
  std::string error;
  for (const auto& [path, status] :
       std::vector<std::pair<std::string, int>>{{media_.Join("photo.jpg"), 1},
                                                {media_.Join("clip.mp4"), 2},
                                                {media_.Join("gone.jpg"), 2}}) {
    const auto chunk = player::MakeThumbnailPathChunk(0, path, &error);
    ASSERT_TRUE(chunk.has_value()) << error;
    const player::Reply reply = Exchange(*chunk);
    EXPECT_TRUE(reply.LastOk());
    const auto thumbnails = player::CollectThumbnails(reply.chunks, &error);
    ASSERT_TRUE(thumbnails.has_value()) << error;
    ASSERT_EQ(thumbnails->size(), 1u);
    EXPECT_EQ((*thumbnails)[0].answer.status, status) << path;
    EXPECT_EQ((*thumbnails)[0].image, status == 1 ? picture : "") << path;
  }
}

TEST_F(ThumbnailTransferTest, AFetchWhoseCountOutrunsItsPayloadIsRefused) {
  StartServer();
  const int64_t id = MediaRecord("a.mp4");
  test::WriteFileOrFail(ThumbnailOf(id), "jpeg");
  std::string error;
  auto chunk = player::MakeThumbnailFetchChunk(1, {{0, id}}, &error);
  ASSERT_TRUE(chunk.has_value());
  chunk->payload[2] = 3;  // three items, one sent
  const player::Reply reply = Exchange(*chunk);
  ASSERT_EQ(reply.results.size(), 1u);
  EXPECT_FALSE(reply.results[0].ok);
  for (const player::Chunk& answer : reply.chunks) EXPECT_NE(answer.code, "RTDT");
  // The session goes on.
  EXPECT_EQ(Fetch(1, {{0, id}}).at(0).image, "jpeg");
}

TEST_F(ThumbnailTransferTest, AMissingThumbnailIsMadeByTheWorkerAndFetchedNextTime) {
  settings().Update([](S_CONFIG& config) { config.iUseFFMpeg = 1; });
  StartServer();
  // Not a video ffprobe can read (and no ffmpeg under Wine): the placeholder.
  const int64_t id = MediaRecord("broken.mp4", "not a video");
  ASSERT_EQ(Fetch(2, {{1, id}}).at(0).answer.status, 3);
  std::vector<player::FetchedThumbnail> next;
  ASSERT_TRUE(Eventually([&] {
    next = Fetch(4, {{0, id}});
    return !next.empty() && next[0].answer.status == 1 && !next[0].answer.info.empty();
  }));
  EXPECT_EQ(next[0].image,
            test::ReadFileOrEmpty(JoinPath(platform::ExecutableFolder(), kPlaceholderVideo)));
  EXPECT_NE(next[0].answer.info.find("<make>0"), std::string::npos) << next[0].answer.info;
  EXPECT_EQ(RequestCount(), 0);
}

TEST_F(ThumbnailTransferTest, RequestCommandsCountAndDelete) {
  settings().Update([](S_CONFIG& config) { config.iUseFFMpeg = 1; });
  StartServer();
  HoldTheWorker();
  const int64_t first = MediaRecord("a.mp4");
  const int64_t second = MediaRecord("b.mp4");
  const int64_t made = MediaRecord("c.mp4");
  test::WriteFileOrFail(ThumbnailOf(made), "jpeg");
  // The id below the record range ends the list.
  EXPECT_TRUE(Command("CM_MAKE_THUMBNAIL_REQUEST",
                      {std::to_string(first), "99999999", std::to_string(second)})
                  .LastOk());
  EXPECT_EQ(RequestCount(), 1);
  EXPECT_TRUE(Command("CM_MAKE_THUMBNAIL_REQUEST",
                      {std::to_string(made), std::to_string(second), "", std::to_string(first)})
                  .LastOk());
  EXPECT_EQ(RequestCount(), 2);  // the made one is skipped, the empty field ends it
  Thumbnails()->ClearRequests();

  const std::string moved = WithForwardSlashes(media_.Join("moved/c.mp4"));
  EXPECT_TRUE(Command("CM_DEL_THUMBNAIL", {std::to_string(made), moved}).LastOk());
  EXPECT_EQ(platform::GetPathType(ThumbnailOf(made)), platform::PathType::kNone);
  EXPECT_EQ(runtime_.library().data_table()->Lock().FindById(made)->path, moved);
}

TEST_F(ThumbnailTransferTest, AnUploadAcrossPacketsIsStoredWhole) {
  StartServer();
  const int64_t id = MediaRecord("a.mp4");
  const std::string picture = Picture(1048576 + 300000, 'd');  // two packets
  const player::Reply reply = Upload(id, "<make>3\n<size>1280,720\n<player>v2\n", picture);
  ASSERT_EQ(reply.results.size(), 1u);
  EXPECT_TRUE(reply.results[0].ok);
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), picture);
  const std::string info = InfoOf(id);
  EXPECT_NE(info.find("<make>3"), std::string::npos) << info;
  EXPECT_NE(info.find("<size>1280,720"), std::string::npos) << info;
  EXPECT_NE(info.find("<player>v2\n"), std::string::npos) << info;

  // The player says it made it from the media: an existing file stays.
  EXPECT_TRUE(Upload(id, "<make>2\n", "other").LastOk());
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), picture);
  EXPECT_NE(InfoOf(id).find("<make>2"), std::string::npos);

  // Nothing at all: the placeholder.
  EXPECT_TRUE(Upload(id, "", "").LastOk());
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)),
            test::ReadFileOrEmpty(JoinPath(platform::ExecutableFolder(), kPlaceholderVideo)));
}

TEST_F(ThumbnailTransferTest, AnUploadWithMoreOrOtherThanAnnouncedStoresNothing) {
  StartServer();
  const int64_t id = MediaRecord("a.mp4");
  std::string error;
  auto packets = player::MakeUploadPackets(id, "<make>3\n", "12345", &error);
  ASSERT_TRUE(packets.has_value());
  // The second piece runs beyond the announced size.
  (*packets)[0][1].payload = "1234";
  (*packets)[0].push_back({"DATA", "56"});
  player::Reply reply = client_.ExchangePackets(*packets);
  ASSERT_FALSE(reply.results.empty()) << reply.error;
  EXPECT_FALSE(reply.results[0].ok);
  EXPECT_EQ(platform::GetPathType(ThumbnailOf(id)), platform::PathType::kNone);
  EXPECT_EQ(InfoOf(id), "");

  // Another chunk between the pieces.
  packets = player::MakeUploadPackets(id, "<make>3\n", "12345", &error);
  ASSERT_TRUE(packets.has_value());
  (*packets)[0][1].payload = "12";
  (*packets)[0].push_back(player::MakeTextChunk("#CMD_NOTHING"));
  (*packets)[0].push_back({"DATA", "345"});
  reply = client_.ExchangePackets(*packets);
  ASSERT_FALSE(reply.results.empty()) << reply.error;
  EXPECT_FALSE(reply.results[0].ok);
  EXPECT_EQ(platform::GetPathType(ThumbnailOf(id)), platform::PathType::kNone);

  // A size no thumbnail has is refused before anything is set aside.
  packets = player::MakeUploadPackets(id, "", "", &error);
  (*packets)[0][0].payload.replace((*packets)[0][0].payload.size() - 4, 4, "\xff\xff\xff\x7f");
  reply = client_.ExchangePackets(*packets);
  ASSERT_FALSE(reply.results.empty()) << reply.error;
  EXPECT_FALSE(reply.results[0].ok);

  // The session is still good.
  EXPECT_TRUE(Upload(id, "<make>3\n", "12345").LastOk());
  EXPECT_EQ(test::ReadFileOrEmpty(ThumbnailOf(id)), "12345");
}

TEST_F(ThumbnailTransferTest, AnUploadCutOffByTheEndOfTheSessionStoresNothing) {
  StartServer();
  const int64_t id = MediaRecord("a.mp4");
  std::string error;
  const auto packets =
      player::MakeUploadPackets(id, "<make>3\n", Picture(1048576 + 5000, 'e'), &error);
  ASSERT_TRUE(packets.has_value());
  ASSERT_EQ(packets->size(), 2u);
  ASSERT_TRUE(client_.SendPacket((*packets)[0], &error)) << error;
  client_.Close();

  // One player at a time: the next is admitted once the cut session ended.
  player::PlayerClient next;
  Connect(&next);
  EXPECT_EQ(platform::GetPathType(ThumbnailOf(id)), platform::PathType::kNone);
  EXPECT_EQ(InfoOf(id), "");
}

}  // namespace
}  // namespace velmor
