#include "command/thumbnail_payload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmor {
namespace {

// Little-endian bytes written by hand, independently of the parser.
class Bytes {
 public:
  Bytes& U16(uint16_t value) { return Le(value, 2); }
  Bytes& I32(int32_t value) { return Le(static_cast<uint32_t>(value), 4); }
  Bytes& I64(int64_t value) { return Le(static_cast<uint64_t>(value), 8); }
  // UTF-16LE of ASCII or BMP text given as UTF-16 code units.
  Bytes& Text(std::u16string_view text) {
    for (char16_t unit : text) U16(static_cast<uint16_t>(unit));
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }
  const uint8_t* data() const { return bytes_.data(); }

 private:
  Bytes& Le(uint64_t value, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  std::vector<uint8_t> bytes_;
};

TEST(ThumbnailFetchPayloadTest, ReadsItemsByIdAndByPath) {
  const Bytes by_id = Bytes().U16(2).U16(2).U16(1).I64(2024031510'00000007).U16(0).I64(-5);
  ThumbnailFetchRequest request;
  ASSERT_TRUE(ParseThumbnailFetch(by_id.data(), by_id.size(), &request));
  EXPECT_EQ(request.kind, 2);
  EXPECT_FALSE(request.by_path());
  ASSERT_EQ(request.items.size(), 2u);
  EXPECT_EQ(request.items[0].flags, 1);
  EXPECT_EQ(request.items[0].record_id, 2024031510'00000007);
  EXPECT_EQ(request.items[1].record_id, -5);

  // Paths with and without their zero; "旅" is one UTF-16 unit.
  const Bytes by_path = Bytes()
                            .U16(8)
                            .U16(2)
                            .U16(0)
                            .U16(16)
                            .Text(u"/旅/a.jpg")
                            .U16(0)
                            .U16(6)
                            .Text(u"b.p")
                            .I32(99);  // trailing bytes are ignored
  ASSERT_TRUE(ParseThumbnailFetch(by_path.data(), by_path.size(), &request));
  EXPECT_TRUE(request.by_path());
  ASSERT_EQ(request.items.size(), 2u);
  EXPECT_EQ(request.items[0].path, "/旅/a.jpg");
  EXPECT_EQ(request.items[1].path, "b.p");

  const Bytes with_zero = Bytes().U16(8).U16(1).U16(0).U16(8).Text(u"a.jp").U16(0);
  ASSERT_TRUE(ParseThumbnailFetch(with_zero.data(), with_zero.size(), &request));
  EXPECT_EQ(request.items[0].path, "a.jp");
  const Bytes zero_inside = Bytes().U16(8).U16(1).U16(0).U16(8).Text(u"a").U16(0).Text(u"xy");
  ASSERT_TRUE(ParseThumbnailFetch(zero_inside.data(), zero_inside.size(), &request));
  EXPECT_EQ(request.items[0].path, "a");

  const Bytes none = Bytes().U16(1).U16(0);
  ASSERT_TRUE(ParseThumbnailFetch(none.data(), none.size(), &request));
  EXPECT_TRUE(request.items.empty());
}

TEST(ThumbnailFetchPayloadTest, RefusesCountsThePayloadDoesNotHold) {
  ThumbnailFetchRequest request;
  const std::vector<Bytes> refused = {
      Bytes(),
      Bytes().U16(1),
      Bytes().U16(1).U16(2).U16(0).I64(1),              // one item of two
      Bytes().U16(1).U16(1).U16(0).I32(1),              // a cut id
      Bytes().U16(1).U16(65535),                        // a count and nothing
      Bytes().U16(8).U16(1).U16(0).U16(10).Text(u"a"),  // a path shorter than its count
      Bytes().U16(8).U16(1).U16(0).U16(3).Text(u"ab"),  // an odd count
      Bytes().U16(8).U16(1).U16(0),                     // no count
  };
  for (const Bytes& payload : refused) {
    EXPECT_FALSE(ParseThumbnailFetch(payload.data(), payload.size(), &request)) << payload.size();
    EXPECT_TRUE(request.items.empty());
  }
}

TEST(ThumbnailUploadPayloadTest, ReadsTheHeader) {
  const Bytes header =
      Bytes().I64(2024031510'00000007).U16(18).Text(u"<make>3\n").U16(0).I32(123456);
  ThumbnailUploadHeader upload;
  ASSERT_TRUE(ParseThumbnailUpload(header.data(), header.size(), &upload));
  EXPECT_EQ(upload.record_id, 2024031510'00000007);
  EXPECT_EQ(upload.info_text, "<make>3\n");
  EXPECT_EQ(upload.data_size, 123456);

  const Bytes negative = Bytes().I64(1).U16(0).I32(-1);
  ASSERT_TRUE(ParseThumbnailUpload(negative.data(), negative.size(), &upload));
  EXPECT_EQ(upload.info_text, "");
  EXPECT_EQ(upload.data_size, -1);  // the handler refuses it

  for (const Bytes& payload : {Bytes().I64(1).U16(4).Text(u"ab"),  // no size
                               Bytes().I64(1).U16(5).Text(u"ab").U16(0).I32(0),
                               Bytes().I64(1).U16(40).Text(u"ab").I32(0), Bytes().I64(1)}) {
    EXPECT_FALSE(ParseThumbnailUpload(payload.data(), payload.size(), &upload)) << payload.size();
  }
}

TEST(ThumbnailAnswerTest, LaysOutTheAnswerAndKeepsItReadable) {
  const std::vector<uint8_t> answer = EncodeThumbnailAnswer(3, 1, "<ver>220", 70000);
  const std::vector<uint8_t> want = {3,   0,   1,   0,   9, 0,    '<',  'v',  'e', 'r',
                                     '>', '2', '2', '0', 0, 0x70, 0x11, 0x01, 0x00};
  EXPECT_EQ(answer, want);

  // An empty text is its zero alone.
  EXPECT_EQ(EncodeThumbnailAnswer(0, 4, "", 0),
            (std::vector<uint8_t>{0, 0, 4, 0, 1, 0, 0, 0, 0, 0, 0}));
  // A zero inside ends the text; a text too long for the count is cut.
  EXPECT_EQ(EncodeThumbnailAnswer(0, 1, std::string("ab\0cd", 5), 0).size(), 6u + 3 + 4);
  const std::vector<uint8_t> long_answer = EncodeThumbnailAnswer(0, 1, std::string(70000, 'x'), 0);
  EXPECT_EQ(long_answer[4] | long_answer[5] << 8, 65535);
  EXPECT_EQ(long_answer.size(), 6u + 65535 + 4);
}

}  // namespace
}  // namespace velmor
