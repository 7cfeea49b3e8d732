#include "base/charset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Charset, LabelsNameTheEncodingsBrowsersRead) {
  const struct {
    const char* Label;
    const char* Name;
  } rows[] = {
      {"gb2312", "GBK"},
      {" X-GBK\t", "GBK"},
      {"chinese", "GBK"},
      {"GB18030", "gb18030"},
      {"big5-hkscs", "Big5"},
      {"x-sjis", "Shift_JIS"},
      {"windows-31j", "Shift_JIS"},
      {"ks_c_5601-1987", "EUC-KR"},
      {"utf8", "UTF-8"},
      {"iso-8859-1", "windows-1252"},
      {"US-ASCII", "windows-1252"},
      {"cp1251", "windows-1251"},
      {"tis-620", "windows-874"},
      {"koi8-r", "KOI8-R"},
      {"utf-16", ""},
      {"", ""},
      {"gbk2", ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(CharsetOfLabel(row.Label), row.Name) << row.Label;

  EXPECT_EQ(CharsetOfContentType("text/html; charset=gb2312"), "GBK");
  EXPECT_EQ(CharsetOfContentType("text/html;Charset=\"Big5\" ; x=1"), "Big5");
  EXPECT_EQ(CharsetOfContentType("text/html; name=charset"), "");
  EXPECT_EQ(CharsetOfContentType("text/html"), "");
}

TEST(Charset, BytesOfEachEncodingBecomeUtf8AndBack) {
  // 游戏/连连看 (遊戲 in Big5) and their kin, as pages in each encoding carry them.
  const struct {
    const char* Charset;
    std::string Bytes;
    std::string Utf8;
  } rows[] = {
      {"GBK", "\xD3\xCE\xCF\xB7/\xC1\xAC", "\xE6\xB8\xB8\xE6\x88\x8F/\xE8\xBF\x9E"},
      {"gb18030", "\x81\x30\x81\x30", "\xC2\x80"},  // a four-byte sequence
      {"Big5", "\xB9\x43\xC0\xB8", "\xE9\x81\x8A\xE6\x88\xB2"},
      {"Shift_JIS", "\x83\x5C\x83\x74", "\xE3\x82\xBD\xE3\x83\x95"},
      {"EUC-KR", "\xB0\xD4", "\xEA\xB2\x8C"},
      {"windows-1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},
      {"windows-1251", "\xC8\xE3\xF0\xE0", "\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0"},
      {"UTF-8", "\xE8\xBF\x9E", "\xE8\xBF\x9E"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ToUtf8(row.Bytes, row.Charset), row.Utf8) << row.Charset;
    EXPECT_EQ(FromUtf8(row.Utf8, row.Charset), row.Bytes) << row.Charset;
  }
  // What is no character of the encoding reads as U+FFFD, as a browser shows it.
  EXPECT_EQ(ToUtf8("a\xFF"
                   "b",
                   "GBK"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(ToUtf8("a\xC1", "GBK"), "a\xEF\xBF\xBD");  // cut short
  EXPECT_EQ(ToUtf8("a\xC3(", "UTF-8"), "a\xEF\xBF\xBD(");
  // What the encoding cannot hold becomes "?".
  EXPECT_EQ(FromUtf8("\xE6\xB8\xB8\xE2\x82\xAC", "windows-1251"), "?\x88");
}

TEST(Charset, Utf8IsToldFromOtherBytes) {
  const struct {
    std::string Bytes;
    bool Utf8;
  } rows[] = {
      {"", true},
      {"plain", true},
      {"\xE6\xB8\xB8\xF0\x9F\x98\x80", true},
      {"\xC1\xAC\xC1\xAC\xBF\xB4", false},  // GBK
      {"\xC0\xAF", false},                  // overlong
      {"\xED\xA0\x80", false},              // a surrogate
      {"\xF4\x90\x80\x80", false},          // beyond U+10FFFF
      {"\xE6\xB8", false},                  // cut short
  };
  for (const auto& row : rows)
    EXPECT_EQ(IsUtf8(row.Bytes), row.Utf8) << row.Bytes;
}

TEST(Charset, ThePagesFallbackFollowsTheUsersLanguage) {
  const struct {
    const char* Locale;
    const char* Charset;
  } rows[] = {
      {"zh_CN.UTF-8", "GBK"},
      {"zh_TW.UTF-8", "Big5"},
      {"zh_HK", "Big5"},
      {"ja_JP.UTF-8", "Shift_JIS"},
      {"ko_KR.eucKR", "EUC-KR"},
      {"ru_RU.UTF-8", "windows-1251"},
      {"de_DE.UTF-8@euro", "windows-1252"},
      {"en_US", "windows-1252"},
      {"C", "GBK"},
      {"C.UTF-8", "GBK"},
      {"POSIX", "GBK"},
      {"", "GBK"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(FallbackPageCharsetOf(row.Locale), row.Charset) << row.Locale;
}

}  // namespace
