// "#CMD_SAVE_CHANNEL" end to end: the player uploads the favourites or
// search list item by item, possibly over several packets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "running_server.h"

namespace velmor {
namespace {

constexpr char kFavouritesHeader[] = "\xEF\xBB\xBF#name (Favorite)\r\n";

player::Chunk Text(const std::string& text) { return player::MakeTextChunk(text); }

player::Chunk Item(const std::string& path, long long size) {
  return Text("#DAT_SAVE_CHANNEL(<fs>" + std::to_string(size) + ",<path>\"" + path + "\")");
}

class ChannelSaveTest : public test::RunningServerTest {
 protected:
  void SetUp() override {
    RunningServerTest::SetUp();
    StartServer();
  }

  std::vector<std::string> Texts(const player::Reply& reply) {
    std::vector<std::string> texts;
    for (const player::Chunk& chunk : reply.chunks) {
      texts.push_back(player::DecodeWireText(chunk.payload, nullptr).value_or("?"));
    }
    return texts;
  }

  std::string Favourites() { return test::ReadFileOrEmpty(home_.Join("favorite.vrl")); }
};

TEST_F(ChannelSaveTest, FavouritesKeepEachPathOnceTheSearchListKeepsAll) {
  player::Reply reply =
      client_.Exchange({Text("#CMD_SAVE_CHANNEL(<ch>7)"), Item("/v/a.mp4", 100),
                        Item("/v/a.mp4", 100), Item("/v/日本.mp4", -10), Text("#DAT_END(<no>3)")});
  ASSERT_TRUE(reply.LastOk()) << reply.error;
  EXPECT_EQ(Favourites(),
            std::string(kFavouritesHeader) + "/v/a.mp4?<fs>100\r\n/v/日本.mp4\r\n#end\r\n");

  reply = client_.Exchange({Text("#CMD_SAVE_CHANNEL(<ch>6)"), Item("/v/a.mp4", 100),
                            Item("/v/a.mp4", 100), Text("#DAT_END()")});
  ASSERT_TRUE(reply.LastOk());
  EXPECT_EQ(test::ReadFileOrEmpty(home_.Join("search.vrl")),
            "\xEF\xBB\xBF#name (Search)\r\n/v/a.mp4?<fs>100\r\n/v/a.mp4?<fs>100\r\n#end\r\n");
}

TEST_F(ChannelSaveTest, AnUploadMaySpanSeveralPackets) {
  std::string error;
  ASSERT_TRUE(client_.SendPacket({Text("#CMD_SAVE_CHANNEL(<ch>7)")}, &error));
  ASSERT_TRUE(client_.SendPacket({Item("/v/1.mp4", 1), Item("/v/2.mp4", 2)}, &error));
  ASSERT_TRUE(client_.SendPacket(
      {Item("/v/3.mp4", 3), Text("#DAT_END(<no>3)"), Text("#CMD_SAVE_CHANNEL(<ch>1)")}, &error));
  // The save's result line, then the next command's of the same packet.
  std::vector<std::string> results;
  while (results.size() < 2) {
    const auto packet = client_.ReceivePacket(test::kServerWaitMs, &error);
    ASSERT_TRUE(packet.has_value()) << error;
    for (const player::Chunk& chunk : *packet) {
      results.push_back(player::DecodeWireText(chunk.payload, nullptr).value_or("?"));
    }
  }
  EXPECT_EQ(results[0], "#RET_OK()");
  EXPECT_EQ(results[1].rfind("#RET_ERR(", 0), 0u) << "channel 1 is no list channel";
  EXPECT_EQ(Favourites(), std::string(kFavouritesHeader) +
                              "/v/1.mp4?<fs>1\r\n/v/2.mp4?<fs>2\r\n/v/3.mp4?<fs>3\r\n#end\r\n");
}

TEST_F(ChannelSaveTest, ACountMismatchOrAStrangeChunkWritesNothing) {
  test::WriteFileOrFail(home_.Join("favorite.vrl"), "kept");
  player::Reply reply = client_.Exchange(
      {Text("#CMD_SAVE_CHANNEL(<ch>7)"), Item("/v/a.mp4", 1), Text("#DAT_END(<no>2)")});
  ASSERT_EQ(reply.results.size(), 1u);
  EXPECT_EQ(reply.results[0].code, 512);
  EXPECT_EQ(reply.results[0].message, "エラー： CommandSaveChannel 受け取ったデータの数が合わない");
  EXPECT_EQ(Favourites(), "kept");

  reply = client_.Exchange({Text("#CMD_SAVE_CHANNEL(<ch>7)"), Item("/v/a.mp4", 1),
                            Text("#CMD_SETUP()"), Text("#DAT_END(<no>1)")});
  EXPECT_FALSE(reply.results.at(0).ok);
  EXPECT_EQ(Favourites(), "kept");
}

TEST_F(ChannelSaveTest, AnUploadCutOffByADisconnectWritesNothing) {
  test::WriteFileOrFail(home_.Join("favorite.vrl"), "kept");
  std::string error;
  ASSERT_TRUE(client_.SendPacket({Text("#CMD_SAVE_CHANNEL(<ch>7)"), Item("/v/a.mp4", 1)}, &error));
  client_.Close();
  // The next player is served, and nothing was written.
  player::PlayerClient next;
  Connect(&next);
  EXPECT_EQ(Favourites(), "kept");
}

TEST_F(ChannelSaveTest, AListEditedOnDiskIsReloadedFirst) {
  ASSERT_TRUE(client_
                  .Exchange({Text("#CMD_SAVE_CHANNEL(<ch>7)"), Item("/v/a.mp4", 1),
                             Text("#DAT_END(<no>1)")})
                  .LastOk());
  // Edited by hand after the server wrote it.
  test::WriteFileOrFail(home_.Join("favorite.vrl"),
                        std::string(kFavouritesHeader) + "/v/hand.mp4?<fs>9\r\n#end\r\n");
  ASSERT_TRUE(platform::SetFileTimes(home_.Join("favorite.vrl"), 0,
                                     GetFileWriteTime(home_.Join("favorite.vrl")) + 50000000));
  const player::Reply reply = client_.Exchange(
      {Text("#CMD_SAVE_CHANNEL(<ch>7)"), Item("/v/b.mp4", 2), Text("#DAT_END(<no>1)")});
  ASSERT_TRUE(reply.LastOk());
  EXPECT_EQ(Texts(reply), (std::vector<std::string>{"#RET_RELOAD(<ch>7)", "#RET_OK()"}));
  EXPECT_EQ(Favourites(),
            std::string(kFavouritesHeader) + "/v/hand.mp4?<fs>9\r\n/v/b.mp4?<fs>2\r\n#end\r\n");
}

}  // namespace
}  // namespace velmor
