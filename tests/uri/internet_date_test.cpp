#include "uri/internet_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <string>

#include "base/net_exceptions.h"
#include "tests/support/time_zone.h"

namespace {

constexpr double kSecond = 1.0 / 86400;
constexpr double kHour = 1.0 / 24;

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0);
}

TEST(DateTimeTest, EncodeDecodeRoundTrip) {
  struct Row {
    int y, mo, d, h, mi, s;
    int weekday;  // 1 = Sunday
  } rows[] = {
      {1899, 12, 30, 0, 0, 0, 7},  {1899, 12, 29, 6, 0, 0, 6},    {1900, 1, 1, 0, 0, 0, 2},
      {1994, 11, 6, 8, 49, 37, 1}, {2000, 2, 29, 23, 59, 59, 3},  {2024, 3, 1, 12, 0, 0, 6},
      {1, 1, 1, 0, 0, 0, 2},       {9999, 12, 31, 23, 59, 59, 6}, {1970, 1, 1, 0, 0, 1, 5},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.y << "-" << r.mo << "-" << r.d);
    TDateTime date, time;
    ASSERT_TRUE(TryEncodeDate(r.y, r.mo, r.d, date));
    ASSERT_TRUE(TryEncodeTime(r.h, r.mi, r.s, 0, time));
    const TDateTime value = date < 0 ? date - time : date + time;
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    EXPECT_EQ(y, r.y);
    EXPECT_EQ(mo, r.mo);
    EXPECT_EQ(d, r.d);
    EXPECT_EQ(h, r.h);
    EXPECT_EQ(mi, r.mi);
    EXPECT_EQ(s, r.s);
    EXPECT_EQ(ms, 0);
    EXPECT_EQ(DayOfWeek(value), r.weekday);
  }
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
}

TEST(DateTimeTest, ImpossibleDatesAndTimesAreRefused) {
  TDateTime v = 42;
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, v));
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, v));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, v));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, v));
  EXPECT_FALSE(TryEncodeDate(2000, 13, 1, v));
  EXPECT_FALSE(TryEncodeDate(2000, 4, 31, v));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, v));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, v));
  EXPECT_FALSE(TryEncodeTime(0, 0, -1, 0, v));
  EXPECT_EQ(v, 42);
  EXPECT_THROW(EncodeDate(2000, 0, 1), EConvertError);
  EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
}

TEST(DateTimeTest, OutOfRangeValuesDecodeAsTheNearestEnd) {
  int y, mo, d;
  DecodeDate(1e300, y, mo, d);
  EXPECT_EQ(y, 9999);
  DecodeDate(-std::numeric_limits<double>::infinity(), y, mo, d);
  EXPECT_EQ(y, 1);
  DecodeDate(std::numeric_limits<double>::quiet_NaN(), y, mo, d);
  EXPECT_EQ(y, 1899);
  EXPECT_EQ(IncSecondsClamped(Now(), 1e30), MaxDateTime);
  EXPECT_EQ(IncSecondsClamped(Now(), -1e30), MinDateTime);
}

TEST(DateTimeTest, NowFollowsTheLocalClock) {
  ScopedTimeZone tz("UTC0");
  const TDateTime unixNow = static_cast<double>(time(nullptr)) / 86400 + 25569;
  EXPECT_NEAR(Now(), unixNow, 2 * kSecond);
}

struct ParseRow {
  const char* text;
  TDateTime expected;
  const char* rest;
};

TEST(InternetDateTest, ParsesTheThreeFormsAndTheirVariants) {
  const TDateTime sample = At(1994, 11, 6, 8, 49, 37);
  const ParseRow rows[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", sample, "GMT"},
      {"Sunday, 06-Nov-94 08:49:37 GMT", sample, "GMT"},
      {"Sun Nov  6 08:49:37 1994", sample, ""},
      {"Sun, 06 Nov 1994 08:49:37 +0100", sample, "+0100"},
      {"  sun, 06 nov 1994 08:49:37   GMT  ", sample, "GMT"},
      {"06 Nov 1994 08:49:37 GMT", sample, "GMT"},
      {"Nov 6 1994 08:49:37", sample, ""},
      {"06 Nov 94", At(1994, 11, 6), ""},
      {"06-Nov-94 08:49:37 GMT", sample, "GMT"},
      {"06 Nov 79", At(2079, 11, 6), ""},
      {"06 Nov 80", At(1980, 11, 6), ""},
      {"06 Nov 0", At(2000, 11, 6), ""},
      {"06 Nov 100", At(100, 11, 6), ""},
      {"Thu, 01 Jan 1970 00:00:00 GMT", At(1970, 1, 1), "GMT"},
      // The hour, minute and second default to 0 when unreadable.
      {"06 Nov 1994 08:xx:37", At(1994, 11, 6, 8, 0, 37), ""},
      {"06 Nov 1994 99999999999999999999:49:37", At(1994, 11, 6, 0, 49, 37), ""},
      // A year of 1900 is taken as the asctime form, so the time after it is not read.
      {"06 Nov 1900 08:49:37 GMT", At(1900, 11, 6), "1900"},
      // An unreadable day is the first.
      {"xx Nov 1994", At(1994, 11, 1), ""},
      {"Sun, 99999999999999999999 Nov 1994 08:49:37 GMT", At(1994, 11, 1, 8, 49, 37), "GMT"},
  };
  for (const ParseRow& r : rows) {
    SCOPED_TRACE(r.text);
    std::string text = r.text;
    EXPECT_NEAR(ParseInternetDate(text), r.expected, kSecond / 10);
    EXPECT_EQ(text, r.rest);
  }
}

TEST(InternetDateTest, UnreadableDatesGiveZero) {
  const char* texts[] = {
      "",
      "   ",
      "Sun,",
      "garbage",
      "Sun, 06 Nov 1994 25:49:37 GMT",       // hour of 25
      "Sun, 06 Nov 1994 08:60:00 GMT",       // minute of 60
      "Sun, 06 November 1994 08:49:37 GMT",  // only abbreviations are months
      "Sun, 31 Feb 1994 08:49:37 GMT",
      "Sun, 06 Nov 99999 08:49:37 GMT",
      "Sun, 06 Nov 2147483647 08:49:37 GMT",
      "Sun, 06 Nov -2147483648 08:49:37 GMT",
      "Sun, 06 Nov 1994 -1:00:00 GMT",
  };
  for (const char* t : texts) {
    SCOPED_TRACE(t);
    std::string text = t;
    EXPECT_EQ(ParseInternetDate(text), 0);
    EXPECT_EQ(InternetDateToLocal(t), 0);
  }
}

TEST(InternetDateTest, TruncatedAndHugeTextsNeverFail) {
  ScopedTimeZone tz("CET-1");
  const std::string full = "Sunday, 06-Nov-94 08:49:37 +0100";
  for (size_t n = 0; n <= full.size(); ++n) {
    std::string text = full.substr(0, n);
    const TDateTime d = ParseInternetDate(text);
    EXPECT_TRUE(d == 0 || (d >= At(1994, 11, 1) && d < At(1994, 11, 7))) << full.substr(0, n);
    EXPECT_NO_THROW(InternetDateToLocal(full.substr(0, n)));
  }
  const std::string mib(1 << 20, '9');
  const std::string huge[] = {mib,
                              "Sun, 06 Nov 1994 " + mib,
                              "Sun, 06 Nov " + mib + " 08:49:37",
                              "Sun, " + mib + ":" + mib,
                              std::string(1 << 20, '-'),
                              "Sun, 06 Nov 1994 08:49:37 +" + mib};
  for (const std::string& h : huge) {
    std::string text = h;
    const TDateTime d = ParseInternetDate(text);
    EXPECT_TRUE(d >= MinDateTime && d <= MaxDateTime);
    const TDateTime local = InternetDateToLocal(h);
    EXPECT_TRUE(local >= MinDateTime && local <= MaxDateTime);
  }
}

TEST(InternetDateTest, ZoneOffsets) {
  const struct {
    const char* text;
    double hours;
  } rows[] = {{"+0100", 1}, {"-0530", -5.5}, {" +1400 trailing", 14},
              {"GMT", 0},   {"GMT+0100", 0}, {"+01", 0},
              {"+2500", 0}, {"+0160", 0},    {"-xx00", 0},
              {"", 0},      {"0100", 0}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_NEAR(ParseZoneOffset(r.text), r.hours * kHour, kSecond / 10);
  }
  EXPECT_EQ(FormatZoneOffset(0, true), "GMT");
  EXPECT_EQ(FormatZoneOffset(0, false), "+0000");
  EXPECT_EQ(FormatZoneOffset(kHour, true), "+0100");
  EXPECT_EQ(FormatZoneOffset(-5.5 * kHour, false), "-0530");
  EXPECT_EQ(FormatZoneOffset(5.75 * kHour, false), "+0545");
}

TEST(InternetDateTest, LocalOffsetFollowsTheTimeZone) {
  const struct {
    const char* tz;
    double hours;
  } rows[] = {
      {"UTC0", 0}, {"CET-1", 1}, {"EST5", -5}, {"<+0545>-5:45", 5.75}, {"<-0330>3:30", -3.5}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.tz);
    ScopedTimeZone tz(r.tz);
    EXPECT_NEAR(LocalOffsetFromUTC(), r.hours * kHour, kSecond / 10);
  }
}

TEST(InternetDateTest, ToLocalAppliesTheZoneAndTheLocalOffset) {
  const TDateTime sample = At(1994, 11, 6, 8, 49, 37);
  {
    ScopedTimeZone tz("UTC0");
    EXPECT_NEAR(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT"), sample, kSecond / 10);
    // A numeric zone ahead of UTC means an earlier moment.
    EXPECT_NEAR(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 +0100"), sample - kHour,
                kSecond / 10);
    EXPECT_NEAR(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 -0230"), sample + 2.5 * kHour,
                kSecond / 10);
    // "GMT" directly followed by an offset still counts as GMT; so do short zone names.
    EXPECT_NEAR(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT+0100"), sample, kSecond / 10);
    EXPECT_NEAR(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 CEST"), sample, kSecond / 10);
  }
  {
    ScopedTimeZone tz("EST5");
    EXPECT_NEAR(InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT"), sample - 5 * kHour,
                kSecond / 10);
  }
  {
    ScopedTimeZone tz("UTC0");
    // The last representable moment stays representable after the zone is applied.
    EXPECT_EQ(InternetDateToLocal("Fri, 31 Dec 9999 23:59:59 -0100"), MaxDateTime);
  }
}

TEST(InternetDateTest, FormatWritesTheDateAsGivenWithTheLocalZone) {
  const TDateTime sample = At(1994, 11, 6, 8, 49, 7);
  {
    ScopedTimeZone tz("UTC0");
    EXPECT_EQ(FormatInternetDate(sample, true), "Sun, 6 Nov 1994 08:49:07 GMT");
    EXPECT_EQ(FormatInternetDate(sample, false), "Sun, 6 Nov 1994 08:49:07 +0000");
    EXPECT_EQ(FormatInternetDate(At(2024, 2, 29, 23, 0, 0), true), "Thu, 29 Feb 2024 23:00:00 GMT");
    EXPECT_EQ(FormatInternetDate(1e300, true), "Fri, 31 Dec 9999 23:59:59 GMT");
    EXPECT_EQ(FormatInternetDate(std::nan(""), true), "Sat, 30 Dec 1899 00:00:00 GMT");
  }
  {
    ScopedTimeZone tz("CET-1");
    EXPECT_EQ(FormatInternetDate(sample, true), "Sun, 6 Nov 1994 08:49:07 +0100");
  }
}

TEST(InternetDateTest, FormattedLocalDatesReadBackUnchanged) {
  const char* zones[] = {"UTC0", "CET-1", "EST5", "<+0545>-5:45"};
  const TDateTime dates[] = {At(1994, 11, 6, 8, 49, 37), At(2038, 1, 19, 3, 14, 8),
                             At(2000, 2, 29, 0, 0, 0), At(2099, 12, 31, 23, 59, 59)};
  for (const char* zone : zones) {
    ScopedTimeZone tz(zone);
    for (TDateTime d : dates) {
      SCOPED_TRACE(testing::Message() << zone << " " << FormatInternetDate(d, false));
      EXPECT_NEAR(InternetDateToLocal(FormatInternetDate(d, false)), d, kSecond / 10);
      EXPECT_NEAR(InternetDateToLocal(FormatInternetDate(d, true)), d, kSecond / 10);
    }
  }
}

}  // namespace
