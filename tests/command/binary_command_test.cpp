#include "command/binary_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmor {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::string_view_literals;

void Put16(uint16_t value, Bytes* out) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

// A UTF-16LE text with `count` as its byte count, whatever the text's length.
void PutText(std::u16string_view text, uint16_t count, Bytes* out) {
  Put16(count, out);
  for (char16_t unit : text) Put16(unit, out);
}

Bytes Encoded(const BinaryCommand& command) {
  Bytes payload;
  EXPECT_TRUE(EncodeBinaryCommand(command, &payload));
  return payload;
}

bool Parse(const Bytes& payload, BinaryCommand* command) {
  return ParseBinaryCommand(payload.data(), payload.size(), command);
}

TEST(BinaryCommandTest, WireLayout) {
  const Bytes payload = Encoded({"CM", {"7", ""}});
  const Bytes expected = {6, 0, 'C', 0, 'M', 0, 0, 0,  // name with its zero
                          2, 0,                        // field count
                          4, 0, '7', 0, 0,   0,        // "7"
                          2, 0, 0,   0};               // ""
  EXPECT_EQ(payload, expected);
}

TEST(BinaryCommandTest, RoundTripsUpToFourFields) {
  const std::vector<std::vector<std::string>> field_sets = {
      {}, {"1"}, {"C:\\動画\\a.mp4", "-12"}, {"a", "", "\xF0\x9F\x98\x80", "4"}};
  for (const auto& fields : field_sets) {
    BinaryCommand parsed;
    ASSERT_TRUE(Parse(Encoded({"CM_PLAY", fields}), &parsed));
    EXPECT_EQ(parsed.name, "CM_PLAY");
    EXPECT_EQ(parsed.fields, fields);
  }
}

TEST(BinaryCommandTest, FieldsAreNumberedFromOne) {
  BinaryCommand command{"CM_X", {"first", "second"}};
  EXPECT_EQ(command.Field(1), "first");
  EXPECT_EQ(command.Field(2), "second");
  EXPECT_EQ(command.Field(3), "");
  EXPECT_EQ(command.Field(0), "");
}

TEST(BinaryCommandTest, NameIsWholeTextWithoutItsZero) {
  BinaryCommand parsed;
  ASSERT_TRUE(Parse(Encoded({"CM_PLAYX", {}}), &parsed));
  EXPECT_NE(parsed.name, "CM_PLAY");
  // Units after an inner zero are not part of the name.
  Bytes payload;
  PutText(u"CM_A\0B\0"sv, 14, &payload);
  Put16(0, &payload);
  ASSERT_TRUE(Parse(payload, &parsed));
  EXPECT_EQ(parsed.name, "CM_A");
}

TEST(BinaryCommandTest, FieldWithoutItsZeroKeepsItsBytes) {
  Bytes payload;
  PutText(u"CM\0"sv, 6, &payload);
  Put16(2, &payload);
  PutText(u"12", 4, &payload);
  PutText(u"", 0, &payload);
  payload.insert(payload.end(), {'x', 'y', 'z'});  // after the last field: ignored
  BinaryCommand parsed;
  ASSERT_TRUE(Parse(payload, &parsed));
  EXPECT_EQ(parsed.fields, (std::vector<std::string>{"12", ""}));
}

TEST(BinaryCommandTest, RefusesMalformedPayloads) {
  struct Case {
    const char* what;
    Bytes payload;
  };
  const Bytes good = Encoded({"CM", {"ab"}});  // 6+2 name, 2 count, 2+6 field
  std::vector<Case> cases = {
      {"empty payload", {}},
      {"name count cut", {6}},
      {"name count of 0", {0, 0, 0, 0}},
      {"odd name count", {3, 0, 'C', 0, 0, 0, 0}},
      {"name past the payload", {8, 0, 'C', 0, 0, 0}},
      {"name without its zero", {4, 0, 'C', 0, 'M', 0, 0, 0}},
      {"field count missing", Bytes(good.begin(), good.begin() + 8)},
      {"field count cut", Bytes(good.begin(), good.begin() + 9)},
      {"field byte count cut", Bytes(good.begin(), good.begin() + 11)},
      {"field past the payload", Bytes(good.begin(), good.end() - 1)},
  };
  Bytes odd_field;
  PutText(u"CM\0"sv, 6, &odd_field);
  Put16(1, &odd_field);
  PutText(u"ab\0"sv, 5, &odd_field);
  cases.push_back({"odd field count", odd_field});
  Bytes five_fields;
  PutText(u"CM\0"sv, 6, &five_fields);
  Put16(5, &five_fields);
  for (int i = 0; i < 5; ++i) PutText(u"1\0"sv, 4, &five_fields);
  cases.push_back({"five fields", five_fields});
  Bytes huge_count;
  PutText(u"CM\0"sv, 6, &huge_count);
  Put16(0xFFFF, &huge_count);
  cases.push_back({"field count 65535", huge_count});

  for (const Case& c : cases) {
    BinaryCommand parsed{"untouched", {}};
    EXPECT_FALSE(Parse(c.payload, &parsed)) << c.what;
    EXPECT_EQ(parsed.name, "untouched") << c.what;
  }
  BinaryCommand parsed;
  EXPECT_TRUE(Parse(good, &parsed));
}

TEST(BinaryCommandTest, EncoderRefusesWhatTheLayoutCannotCarry) {
  Bytes payload;
  EXPECT_FALSE(EncodeBinaryCommand({"CM", {"1", "2", "3", "4", "5"}}, &payload));
  EXPECT_FALSE(EncodeBinaryCommand({"CM", {std::string(32767, 'a')}}, &payload));
  ASSERT_TRUE(EncodeBinaryCommand({"CM", {std::string(32766, 'a')}}, &payload));
  BinaryCommand parsed;
  ASSERT_TRUE(Parse(payload, &parsed));
  EXPECT_EQ(parsed.Field(1).size(), 32766u);
}

}  // namespace
}  // namespace velmor
