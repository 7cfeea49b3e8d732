#include "net/rfc_reply.h"

#include <gtest/gtest.h>

TEST(RFCReply, ParsesAndFormatsMultiLineReplies) {
  TNetRFCReply reply;
  reply.ParseLines({"250-first", "  indented", "250-", "250 last"});
  EXPECT_EQ(reply.NumericCode, 250);
  EXPECT_EQ(reply.TextCode, "250");
  ASSERT_EQ(reply.Text.Count(), 4);
  EXPECT_EQ(reply.Text.Get(0), "first");
  EXPECT_EQ(reply.Text.Get(1), "  indented");
  EXPECT_EQ(reply.Text.Get(2), "");
  EXPECT_EQ(reply.FormattedReply(), "250-first\r\n250-  indented\r\n250-\r\n250 last\r\n");

  reply.SetReply(421, "closing");
  EXPECT_EQ(reply.FormattedReply(), "421 closing\r\n");
  reply.ParseLines({"OK then"});
  EXPECT_EQ(reply.NumericCode, 0);

  EXPECT_TRUE(TNetRFCReply::ContinuesReply("220-hello"));
  EXPECT_FALSE(TNetRFCReply::ContinuesReply("220 hello"));
  EXPECT_TRUE(TNetRFCReply::EndsReply("220 bye", "220"));
  EXPECT_TRUE(TNetRFCReply::EndsReply("220", "220"));
  EXPECT_FALSE(TNetRFCReply::EndsReply("220-more", "220"));
  EXPECT_FALSE(TNetRFCReply::EndsReply("221 other", "220"));
}
