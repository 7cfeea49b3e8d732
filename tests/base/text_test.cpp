#include "base/text.h"

#include <gtest/gtest.h>

#include "base/exception.h"

TEST(TextTest, TrimRemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x \x01"), "  x");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("   "), "");
}

TEST(TextTest, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_EQ(UpperCase("abc\xb0\xa1z"), "ABC\xb0\xa1Z");
  EXPECT_TRUE(SameText("Keep-Alive", "KEEP-ALIVE"));
  EXPECT_FALSE(SameText("abc", "abcd"));
  EXPECT_LT(CompareText("a", "B"), 0);
}

TEST(TextTest, SameTextAtStaysInsideTheText) {
  EXPECT_TRUE(SameTextAt("Keep-Alive", 5, "aLIVE"));
  EXPECT_FALSE(SameTextAt("Keep-Alive", 6, "live!"));  // runs past the end
  EXPECT_TRUE(SameTextAt("abc", 3, ""));
  EXPECT_FALSE(SameTextAt("abc", 4, ""));
  EXPECT_FALSE(SameTextAt("a\xb0", 1, "\x90"));  // no folding outside ASCII
}

TEST(TextTest, IntegerConversionFollowsRuntimeRules) {
  struct Row {
    const char* text;
    bool ok;
    int32_t value;
  } rows[] = {
      {"0", true, 0},
      {"  42", true, 42},
      {"-17", true, -17},
      {"+5", true, 5},
      {"$ff", true, 255},
      {"0x10", true, 16},
      {"x1F", true, 31},
      {"0XfF", true, 255},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"", false, 0},
      {" ", false, 0},
      {"12 ", false, 0},
      {"1a", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"$FFFFFFFF", true, -1},
      {"$100000000", false, 0},
      {"1.5", false, 0},
  };
  for (const Row& r : rows) {
    int32_t v = 0;
    EXPECT_EQ(TryStrToInt(r.text, v), r.ok) << r.text;
    if (r.ok) {
      EXPECT_EQ(v, r.value) << r.text;
    }
  }
}

TEST(TextTest, ConversionErrorNamesTheText) {
  try {
    StrToInt("12abc");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'12abc' is not a valid integer value");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
  EXPECT_EQ(StrToIntDef("zz", -1), -1);
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
}

TEST(TextTest, FormatFillsTemplates) {
  EXPECT_EQ(Format("Socket Error # %d\r\n%s", 10061, "Connection refused."),
            "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(Format("%s", ""), "");
  EXPECT_EQ(Format("%s", std::string(100000, 'x').c_str()).size(), 100000u);
}
