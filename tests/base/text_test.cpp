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

// The edges of both ranges, in every notation and sign: the most negative value has no
// positive counterpart, and hexadecimal text wraps.
TEST(TextTest, IntegerRangeEdgesNeitherOverflowNorWrapWrongly) {
  const struct {
    const char* text;
    bool ok;
    int64_t value64;
    bool ok32;
    int32_t value32;
  } rows[] = {
      {"-9223372036854775808", true, INT64_MIN, false, 0},
      {"-9223372036854775809", false, 0, false, 0},
      {"9223372036854775807", true, INT64_MAX, false, 0},
      {"-$8000000000000000", true, INT64_MIN, false, 0},
      {"-0x8000000000000000", true, INT64_MIN, false, 0},
      {"-x8000000000000000", true, INT64_MIN, false, 0},
      {"$8000000000000000", true, INT64_MIN, false, 0},
      {"-$7FFFFFFFFFFFFFFF", true, -INT64_MAX, false, 0},
      {"-$FFFFFFFFFFFFFFFF", true, 1, false, 0},
      {"$FFFFFFFFFFFFFFFF", true, -1, false, 0},
      {"-$10000000000000000", false, 0, false, 0},
      {"-$80000000", true, -0x80000000LL, true, INT32_MIN},
      {"$80000000", true, 0x80000000LL, true, INT32_MIN},
      {"-$FFFFFFFF", true, -0xFFFFFFFFLL, true, 1},
      {"-2147483649", true, -2147483649LL, false, 0},
      {"-0", true, 0, true, 0},
      {"-$0", true, 0, true, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    int64_t v64 = 0;
    EXPECT_EQ(TryStrToInt64(r.text, v64), r.ok);
    if (r.ok) {
      EXPECT_EQ(v64, r.value64);
    } else {
      EXPECT_THROW(StrToInt64(r.text), EConvertError);
    }
    int32_t v32 = 0;
    EXPECT_EQ(TryStrToInt(r.text, v32), r.ok32);
    if (r.ok32) {
      EXPECT_EQ(v32, r.value32);
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
