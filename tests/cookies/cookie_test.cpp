#include "cookies/cookie.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

#include "base/date_time.h"
#include "base/net_exceptions.h"
#include "tests/support/time_zone.h"
#include "uri/internet_date.h"

namespace {

struct ParseRow {
  const char* header;
  const char* name;
  const char* value;
  const char* path;
  const char* domain;
  bool secure;
};

TEST(CookieTest, ParsesNameValueAndAttributes) {
  const ParseRow rows[] = {
      {"a=b", "a", "b", "", "", false},
      {"a=b;", "a", "b", "", "", false},
      {"a=b=c; Path=/x", "a", "b=c", "/x", "", false},
      {"a=b; path=/one; path=/two", "a", "b", "/one", "", false},
      {"a = b", "a ", " b", "", "", false},
      {"a=b; path=\"", "a", "b", "", "", false},
      {"a=b; path=\"/q\"", "a", "b", "/q", "", false},
      {"a=b; PATH=/p\"", "a", "b", "/p", "", false},
      {"a=b; Domain=.d.example; SECURE", "a", "b", "", ".d.example", true},
      {"a=b; ; ;secure", "a", "b", "", "", true},
      {"a=b; secure=yes", "a", "b", "", "", false},
      {"a=1; A=2; path=/", "a", "1", "/", "", false},
      {"a=b\r\npath=/lines", "a", "b", "/lines", "", false},
      {"=b; path=/", "", "b", "/", "", false},
      {"a", "", "", "", "", false},
      {"a; =z", "", "z", "", "", false},
      {"", "", "", "", "", false},
      {";", "", "", "", "", false},
      {"a=", "a", "", "", "", false},
  };
  for (const ParseRow& r : rows) {
    SCOPED_TRACE(r.header);
    TNetCookieRFC2109 c;
    c.ParseCookieText(r.header);
    EXPECT_EQ(c.SourceText, r.header);
    EXPECT_EQ(c.CookieName, r.name);
    EXPECT_EQ(c.CookieValue, r.value);
    EXPECT_EQ(c.CookiePath, r.path);
    EXPECT_EQ(c.CookieDomain, r.domain);
    EXPECT_EQ(c.SecureOnly, r.secure);
    EXPECT_EQ(c.ExpiryText(), "");
    EXPECT_EQ(c.MaxAgeSeconds, -1);
    // Without an expiry a 2109 record is a plain cookie (an empty text is not parsed at all).
    EXPECT_EQ(c.CookieKind, *r.header ? TCookieKind::kindNetscape : TCookieKind::kindRFC2109);
  }
}

TEST(CookieTest, SameTextTwiceIsParsedOnce) {
  TNetCookieRFC2109 c;
  c.ParseCookieText("a=b; path=/p");
  c.CookiePath = "/changed";
  c.ParseCookieText("a=b; path=/p");
  EXPECT_EQ(c.CookiePath, "/changed");
  c.ParseCookieText("a=c");
  EXPECT_EQ(c.CookiePath, "");
  EXPECT_EQ(c.CookieValue, "c");
}

TEST(CookieTest, MaxAgeGivesALocalExpiryWithANumericZone) {
  ScopedTimeZone tz("CET-1");
  TNetCookieRFC2109 c;
  c.ParseCookieText("a=b; max-age=60");
  EXPECT_EQ(c.CookieKind, TCookieKind::kindNetscape);
  ASSERT_GE(c.ExpiryText().size(), 5u);
  EXPECT_EQ(c.ExpiryText().substr(c.ExpiryText().size() - 5), "+0100");
  EXPECT_TRUE(c.MaxAgeSeconds == 59 || c.MaxAgeSeconds == 60) << c.MaxAgeSeconds;
  EXPECT_NEAR(InternetDateToLocal(c.ExpiryText()), Now() + 60.0 / 86400, 2.0 / 86400);
  // The expiry is written out instead of the age.
  EXPECT_EQ(c.ServerText(), "a=b; expires=" + c.ExpiryText());
}

TEST(CookieTest, MaxAgeOfAnySizeStaysDefined) {
  ScopedTimeZone tz("UTC0");
  const struct {
    const char* header;
    bool expires;    // an expiry is computed
    int64_t maxAge;  // checked when no expiry
  } rows[] = {
      {"a=b; max-age=0", true, 0},
      {"a=b; max-age=-5", false, -5},
      {"a=b; max-age=abc", false, -1},
      {"a=b; max-age=", false, -1},
      {"a=b; max-age=9223372036854775807", true, 0},
      {"a=b; max-age=99999999999999999999999999", true, 0},
      {"a=b; max-age=-99999999999999999999999999", false, -1},
      // The most negative value, in each notation the integer reader takes.
      {"a=b; max-age=-9223372036854775808", false, INT64_MIN},
      {"a=b; max-age=-$8000000000000000", false, INT64_MIN},
      {"a=b; max-age=-0x8000000000000000", false, INT64_MIN},
      {"a=b; max-age=$8000000000000000", false, INT64_MIN},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.header);
    TNetCookieRFC2109 c;
    c.ParseCookieText(r.header);
    EXPECT_EQ(!c.ExpiryText().empty(), r.expires);
    if (!r.expires) {
      EXPECT_EQ(c.MaxAgeSeconds, r.maxAge);
    }
  }
  TNetCookieRFC2109 far;
  far.ParseCookieText("a=b; max-age=99999999999999999999999999");
  EXPECT_EQ(far.ExpiryText(), "Fri, 31 Dec 9999 23:59:59 +0000");
  EXPECT_GT(far.MaxAgeSeconds, int64_t{200000000000});
}

TEST(CookieTest, ExpiresKeepsTheDateTextAndTheKind) {
  ScopedTimeZone tz("UTC0");
  TNetCookieRFC2109 c;
  c.ParseCookieText("a=b; expires=Sun, 06 Nov 2094 08:49:37 GMT; path=/");
  EXPECT_EQ(c.ExpiryText(), "Sun, 06 Nov 2094 08:49:37 GMT");
  EXPECT_EQ(c.MaxAgeSeconds, -1);
  EXPECT_EQ(c.CookieKind, TCookieKind::kindRFC2109);
  EXPECT_EQ(c.ServerText(), "a=b; path=/");

  // Setting the text derives the remaining lifetime.
  c.SetExpiryText(FormatInternetDate(Now() + 3600.0 / 86400, true));
  EXPECT_NEAR(static_cast<double>(c.MaxAgeSeconds), 3600, 2);
  // An unreadable text is long past.
  c.SetExpiryText("never");
  EXPECT_LT(c.MaxAgeSeconds, 0);
  EXPECT_EQ(c.ExpiryText(), "never");

  TNetNetscapeCookie n;
  n.ParseCookieText("a=b; expires=Sun, 06 Nov 2094 08:49:37 GMT; domain=.d; secure");
  EXPECT_EQ(n.ServerText(), "a=b; expires=Sun, 06 Nov 2094 08:49:37 GMT; domain=.d; secure");
}

TEST(CookieTest, ServerTextWritesNonEmptyItemsInOrder) {
  TNetCookieRFC2109 c;
  c.CookieName = "n";
  c.CookieValue = "v";
  c.CookiePath = "/p";
  c.CookieDomain = ".d";
  c.SecureOnly = true;
  c.MaxAgeSeconds = 5;
  c.CommentText = "c";
  c.VersionText = "1";
  EXPECT_EQ(c.ServerText(), "n=v; path=/p; domain=.d; secure; max-age=5; comment=c; version=1");
  EXPECT_EQ(c.ServerCookie(), c.ServerText());
  EXPECT_EQ(c.ClientCookie(), "n=v");
  c.CookieValue.clear();
  c.MaxAgeSeconds = -1;
  c.SecureOnly = false;
  EXPECT_EQ(c.ServerText(), "path=/p; domain=.d; comment=c; version=1");
  EXPECT_EQ(c.ClientCookie(), "n=");
  TNetCookieRFC2109 empty;
  EXPECT_EQ(empty.ServerText(), "");
}

TEST(CookieTest, Rfc2965Attributes) {
  const struct {
    const char* header;
    std::vector<int32_t> ports;
  } rows[] = {
      {"a=b; Port=\"80,8080\"", {80, 8080}},
      {"a=b", {80}},
      {"a=b; Port", {80}},
      {"a=b; Port=8080", {}},
      {"a=b; port=\"80 8080, 81\"", {80, 8080, 81}},
      {"a=b; Port=\"\"", {80}},
      {"a=b; Port=\"", {80}},
      {"a=b; Port=\" , \"", {80}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.header);
    TNetCookieRFC2965 c;
    c.ParseCookieText(r.header);
    EXPECT_EQ(c.PortList.Items(), r.ports);
  }
  TNetCookieRFC2965 c;
  c.ParseCookieText("a=b; CommentURL=http://h/why; Discard; Version=1; Comment=x");
  EXPECT_EQ(c.CommentAddress, "http://h/why");
  EXPECT_TRUE(c.DiscardFlag);
  EXPECT_EQ(c.VersionText, "1");
  EXPECT_EQ(c.CommentText, "x");
}

TEST(CookieTest, NonIntegerPortRaisesTheConversionError) {
  TNetCookieRFC2965 c;
  try {
    c.ParseCookieText("a=b; Port=\"80,http\"");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'http' is not a valid integer value");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
}

TEST(CookieTest, PortListIndexes) {
  TNetPortList list;
  list.Put(0, 1);
  list.Put(1, 2);
  list.Put(0, 3);
  EXPECT_EQ(list.Items(), (std::vector<int32_t>{3, 2}));
  for (int bad : {-1, 3}) {
    try {
      list.Put(bad, 9);
      FAIL() << bad;
    } catch (const ENetException& e) {
      EXPECT_STREQ(e.what(), "Index out of range.");
    }
  }
  EXPECT_THROW(list.Get(2), ENetException);
  EXPECT_THROW(list.Get(-1), ENetException);
  EXPECT_EQ(list.Get(1), 2);
}

TEST(CookieTest, CopyCookieTakesTheContentButKeepsTheClass) {
  ScopedTimeZone tz("UTC0");
  TNetCookieRFC2965 target;
  target.ParseCookieText("a=1; path=/old; secure");
  TNetCookieRFC2109 source;
  source.ParseCookieText("A=2; path=/new; domain=.d; version=1");
  source.CookieKind = TCookieKind::kindRFC2109;
  target.CopyCookie(source);
  EXPECT_EQ(target.CookieName, "A");
  EXPECT_EQ(target.CookieValue, "2");
  EXPECT_EQ(target.CookiePath, "/new");
  EXPECT_EQ(target.CookieDomain, ".d");
  EXPECT_FALSE(target.SecureOnly);
  EXPECT_EQ(target.VersionText, "1");
  EXPECT_EQ(target.CookieKind, TCookieKind::kindRFC2109);

  // Only 2109 and 2965 records are taken.
  TNetNetscapeCookie plain;
  plain.ParseCookieText("z=9");
  target.CopyCookie(plain);
  EXPECT_EQ(target.CookieName, "A");
}

TEST(CookieTest, CopyCookieKeepsANewExpiryAndAnEmptiedValue) {
  ScopedTimeZone tz("UTC0");
  TNetCookieRFC2109 target;
  target.ParseCookieText("a=1; path=/");
  TNetCookieRFC2109 source;
  source.ParseCookieText("a=2; path=/; expires=Thu, 01 Jan 1970 00:00:00 GMT");
  ASSERT_EQ(source.CookieKind, TCookieKind::kindRFC2109);
  target.CopyCookie(source);
  EXPECT_EQ(target.ExpiryText(), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(target.CookieValue, "2");

  TNetCookieRFC2109 emptied;
  emptied.ParseCookieText("a=; path=/p; domain=h");
  target.CopyCookie(emptied);
  EXPECT_EQ(target.CookieName, "a");
  EXPECT_EQ(target.CookieValue, "");
  EXPECT_EQ(target.CookiePath, "/p");
  EXPECT_EQ(target.CookieDomain, "h");
  EXPECT_EQ(target.ExpiryText(), "");
}

TEST(CookieTest, IsValidFor) {
  const struct {
    const char* domain;
    const char* server;
    bool valid;
  } rows[] = {
      {".d", "x.d", true},
      {".d", "y.x.d", false},
      {".x.d", "y.x.d", true},
      {"x.d", "x.d", true},
      {"x.d", "X.D", false},
      {"d", "x.d", false},
      {"x.d", "y.x.d", false},
      {".D", "x.d", false},
      {"10.0.0.1", "10.0.0.1", true},
      {".0.0.1", "10.0.0.1", false},
      {"10.0.0.1", "10.0.0.2", false},
      {"h", "h", true},
      {"", "h", false},
      // A server name beginning with "." is compared with its parent ignoring case.
      {".X.D", ".x.d", true},
      {".d", ".x.d", false},
      {"", "", true},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.domain << " from " << r.server);
    TNetCookieRFC2109 c;
    c.CookieDomain = r.domain;
    EXPECT_EQ(c.IsValidFor(r.server), r.valid);
  }
}

TEST(CookieTest, EmptyTruncatedAndHugeValuesNeverFail) {
  ScopedTimeZone tz("UTC0");
  const std::string full =
      "SID=31d4d96e407aad42; Path=/a; Domain=.example.org; Expires=Wed, 09 Jun 2021 10:18:14 "
      "GMT; Max-Age=3600; Secure; Version=1; Comment=\"x\"; Port=\"80,443\"; Discard";
  for (size_t n = 0; n <= full.size(); ++n) {
    TNetCookieRFC2965 c;
    EXPECT_NO_THROW(c.ParseCookieText(full.substr(0, n))) << full.substr(0, n);
  }
  const size_t mib = size_t{1} << 20;
  std::string repeated;
  while (repeated.size() < mib)
    repeated += "x=y; ";
  std::string ports = "a=b; Port=\"";
  while (ports.size() < mib)
    ports += "80,";
  ports += "\"";
  const std::string huge[] = {std::string(mib, ';'),
                              "a=" + std::string(mib, 'v'),
                              std::string(mib, '='),
                              "a=b; path=" + std::string(mib, '/'),
                              "a=b; expires=" + std::string(mib, '9'),
                              "a=b; max-age=" + std::string(mib, '9'),
                              "a=b; domain=" + std::string(mib, '.'),
                              repeated,
                              ports};
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& h : huge) {
    TNetCookieRFC2965 c;
    EXPECT_NO_THROW(c.ParseCookieText(h));
    EXPECT_NO_THROW(c.IsValidFor(c.CookieDomain));
    EXPECT_NO_THROW(c.ServerText());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
