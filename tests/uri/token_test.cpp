#include "uri/token.h"

#include <gtest/gtest.h>

#include "base/lead_bytes.h"

namespace {

class TokenTest : public ::testing::Test {
 protected:
  void TearDown() override { SelectLeadBytesForCodeSet("UTF-8"); }
};

struct TakeCase {
  std::string text;
  std::string delimiter;
  std::string token;
  std::string rest;
};

TEST_F(TokenTest, TakeAndPeekToken) {
  const TakeCase cases[] = {
      {"a,b,c", ",", "a", "b,c"}, {"abc", ",", "abc", ""}, {"", ",", "", ""},
      {",a", ",", "", "a"},       {"a,", ",", "a", ""},    {"a::b::c", "::", "a", "b::c"},
      {"abc", "", "abc", ""},
  };
  for (const TakeCase& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(PeekToken(text, c.delimiter), c.token) << c.text;
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(TakeToken(text, c.delimiter), c.token) << c.text;
    EXPECT_EQ(text, c.rest) << c.text;
  }
}

TEST_F(TokenTest, TakeTokenStepsOverDoubleByteCharacters) {
  // 0x81 0x2F is one GBK character whose second byte looks like "/".
  const std::string text = "\x81/x/y";
  SelectLeadBytesForCodeSet("GBK");
  std::string gbk = text;
  EXPECT_EQ(TakeToken(gbk, "/"), "\x81/x");
  EXPECT_EQ(gbk, "y");
  SelectLeadBytesForCodeSet("UTF-8");
  std::string single = text;
  EXPECT_EQ(TakeToken(single, "/"), "\x81");
  EXPECT_EQ(single, "x/y");
}

struct FindLastCase {
  std::string sub;
  std::string text;
  int start;
  int expected;
};

TEST_F(TokenTest, FindLast) {
  const FindLastCase cases[] = {
      {"/", "a/b/c", -1, 4},   {"/", "a/b/c", 3, 2}, {"/", "a/b/c", 4, 4},
      {"/", "a/b/c", 100, 4},  // lowered to the last possible position
      {"/", "a/b/c", 1, 0},    {"/", "a/b/c", 0, 0}, {"/", "abc", -1, 0},
      {"/", "", -1, 0},        {"", "abc", -1, 0},   {"abcd", "abc", -1, 0},
      {"AB", "xabyab", -1, 5},  // case is ignored
      {"ab", "xabyab", 4, 2},  {"ab", "xab", 3, 2},  {"/", "/", -1, 1},
  };
  for (const FindLastCase& c : cases) {
    EXPECT_EQ(FindLast(c.sub, c.text, c.start), c.expected)
        << c.sub << " in " << c.text << " from " << c.start;
  }
}

TEST_F(TokenTest, FindLastNeverStopsOnATrailByte) {
  const std::string slash = "a/\x81/";
  const std::string backslash = "a\\\x81\\";
  SelectLeadBytesForCodeSet("GBK");
  EXPECT_EQ(FindLast("/", slash), 2);
  EXPECT_EQ(FindLast("\\", backslash), 2);
  EXPECT_EQ(FindLast("/", slash, 3), 2);
  // A lead byte at the very end has no second byte; the scan must stop there.
  EXPECT_EQ(FindLast("/", std::string("a/\x81")), 2);
  SelectLeadBytesForCodeSet("UTF-8");
  EXPECT_EQ(FindLast("/", slash), 4);
  EXPECT_EQ(FindLast("\\", backslash), 4);
}

}  // namespace
