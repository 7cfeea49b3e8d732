#include "base/lead_bytes.h"

#include <gtest/gtest.h>

namespace {

class LeadBytesTest : public ::testing::Test {
 protected:
  void TearDown() override { SelectLeadBytesForCodeSet("UTF-8"); }
};

}  // namespace

TEST_F(LeadBytesTest, GbkHasLeadBytesUtf8HasNone) {
  SelectLeadBytesForCodeSet("GBK");
  EXPECT_TRUE(CodePageHasLeadBytes());
  EXPECT_TRUE(IsLeadByte(0x81));
  EXPECT_TRUE(IsLeadByte(0xFE));
  EXPECT_FALSE(IsLeadByte(0x80));
  EXPECT_FALSE(IsLeadByte(0xFF));
  EXPECT_FALSE(IsLeadByte('/'));
  SelectLeadBytesForCodeSet("UTF-8");
  EXPECT_FALSE(CodePageHasLeadBytes());
  EXPECT_FALSE(IsLeadByte(0x81));
}

TEST_F(LeadBytesTest, PositionSearchStepsOverDoubleByteCharacters) {
  // 0x81 0x5C is one GBK character whose second byte is a backslash; likewise 0x81 0x2F.
  const std::string text =
      "a\x81\x5c"
      "b\\c\x81/d/";
  SelectLeadBytesForCodeSet("GBK");
  EXPECT_EQ(Pos("\\", text), 5);
  EXPECT_EQ(Pos("/", text), 10);
  SelectLeadBytesForCodeSet("UTF-8");
  EXPECT_EQ(Pos("\\", text), 3);
  EXPECT_EQ(Pos("/", text), 8);
}

TEST_F(LeadBytesTest, PositionSearchEdgeCases) {
  SelectLeadBytesForCodeSet("GBK");
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("abcd", "abc"), 0);
  EXPECT_EQ(Pos("c", "abc"), 3);
  // A lead byte at the very end has no trail byte; the search must stop without reading on.
  EXPECT_EQ(Pos("x", std::string("ab\x81")), 0);
  EXPECT_EQ(Pos("\x81", std::string("ab\x81")), 3);
}
