#include "base/get_token.h"

#include <gtest/gtest.h>

namespace velmor {
namespace {

TEST(GetToken, BlanksAndTabsSeparate) {
  EXPECT_EQ(TokenAt("#name  My list\tx", 1), "#name");
  EXPECT_EQ(TokenAt("#name  My list\tx", 2), "My");
  EXPECT_EQ(TokenAt("#name  My list\tx", 3), "list");
  EXPECT_EQ(TokenAt("#name  My list\tx", 4), "x");
  std::string token = "unchanged";
  EXPECT_FALSE(GetToken("#name  My list\tx", 5, &token));
  EXPECT_EQ(token, "unchanged");
}

TEST(GetToken, QuotesGroupAndAreRemoved) {
  EXPECT_EQ(TokenAt("#name \"My list\" next", 2), "My list");
  EXPECT_EQ(TokenAt("#name \"My list\" next", 3), "next");
  // A quote inside a token switches quoting there.
  EXPECT_EQ(TokenAt("a/\"b c\"/d e", 1), "a/b c/d");
  std::string token;
  EXPECT_TRUE(GetToken("\"\" x", 1, &token));
  EXPECT_EQ(token, "");
}

TEST(GetToken, LineEndsAtLfOrCrLf) {
  EXPECT_EQ(TokenAt("one two\r\n", 2), "two");
  EXPECT_EQ(TokenAt("one\ntwo", 1), "one");
  std::string token;
  EXPECT_FALSE(GetToken("one\ntwo", 2, &token));
  EXPECT_FALSE(GetToken("one \r\n two", 2, &token));
  // A CR without LF is dropped from the token.
  EXPECT_EQ(TokenAt("on\re two", 1), "one");
  EXPECT_FALSE(GetToken("", 1, &token));
  EXPECT_FALSE(GetToken("   ", 1, &token));
  EXPECT_FALSE(GetToken("x", 0, &token));
}

TEST(GetToken, NextPositionLetsCallersWalkTheLine) {
  const std::string line = "#dat 0001 \"word one\" two";
  std::vector<std::string> tokens;
  size_t pos = 0;
  std::string token;
  size_t next = 0;
  while (GetToken(std::string_view(line).substr(pos), 1, &token, &next)) {
    tokens.push_back(token);
    pos += next;
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"#dat", "0001", "word one", "two"}));
}

}  // namespace
}  // namespace velmor
