#include "http/response_header_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exception.h"
#include "uri/internet_date.h"

namespace {

void ReadLines(TNetResponseHeaderInfo& response, const std::vector<std::string>& lines) {
  response.HeaderLines.Clear();
  for (const std::string& line : lines)
    response.HeaderLines.Add(line);
  response.ReadHeaderFields();
}

const TDateTime kSecond = 1.0 / 86400;

}  // namespace

TEST(ResponseHeaderInfoTest, ReadsTheFieldsOfABlock) {
  TNetResponseHeaderInfo response;
  ReadLines(
      response,
      {"Location: /next", "Server: test/1", "Proxy-Connection: close", "Connection: keep-alive",
       "Content-Type: text/plain", "Content-Encoding: gzip", "Content-Language: en",
       "Content-Version: 2", "Pragma: no-cache", "Cache-control: private",
       "Date: Sun, 06 Nov 1994 08:49:37 GMT", "Last-Modified: Sat, 05 Nov 1994 08:49:37 GMT"});
  EXPECT_EQ(response.Location, "/next");
  EXPECT_EQ(response.Server, "test/1");
  EXPECT_EQ(response.ProxyConnection, "close");
  EXPECT_EQ(response.Connection, "keep-alive");
  EXPECT_EQ(response.ContentType, "text/plain");
  EXPECT_EQ(response.ContentEncoding, "gzip");
  EXPECT_EQ(response.ContentLanguage, "en");
  EXPECT_EQ(response.ContentVersion, "2");
  EXPECT_EQ(response.Pragma, "no-cache");
  EXPECT_EQ(response.CacheControl, "");  // never read
  EXPECT_EQ(response.Date, InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT"));
  EXPECT_GT(response.Date, 0);
  EXPECT_NEAR(response.Date - response.LastModified, 1.0, 1e-6);
  EXPECT_EQ(response.ContentLength, -1);
  EXPECT_FALSE(response.LengthKnown());

  // Nothing of an earlier block survives, not even the default content type.
  ReadLines(response, {});
  EXPECT_EQ(response.Location, "");
  EXPECT_EQ(response.Server, "");
  EXPECT_EQ(response.ContentType, "");
  EXPECT_EQ(response.Date, 0);
  EXPECT_EQ(response.LastModified, 0);
  EXPECT_EQ(response.Expires, 0);
}

TEST(ResponseHeaderInfoTest, ContentLength) {
  const std::vector<std::pair<std::string, int64_t>> cases = {
      {"Content-Length:   1234  ", 1234},
      {"Content-Length: 0", 0},
      {"Content-Length: abc", -1},
      {"Content-Length:", -1},
      {"Content-Length: 12 34", -1},
      {"Content-Length: -5", -1},
      {"Content-Length: +5", -1},
      // Beyond 32 bits, as a large file declares it; beyond 63 it is no length.
      {"Content-Length: 99999999999", 99999999999},
      {"Content-Length: 99999999999999999999", -1},
      {"X-Other: 5", -1}};
  for (const auto& [line, length] : cases) {
    SCOPED_TRACE(line);
    TNetResponseHeaderInfo response;
    ReadLines(response, {line});
    EXPECT_EQ(response.ContentLength, length);
    EXPECT_EQ(response.LengthKnown(), length >= 0);
  }
}

TEST(ResponseHeaderInfoTest, ContentRangeBounds) {
  struct Case {
    std::string value;
    uint32_t start, end;
  };
  const std::vector<Case> cases = {{"bytes 100-200/1000", 100, 200},
                                   {"bytes 100-200", 100, 200},
                                   {"bytes 0-4294967295/*", 0, 4294967295u}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    TNetResponseHeaderInfo response;
    ReadLines(response, {"Content-Range: " + c.value});
    EXPECT_EQ(response.ContentRangeStart, c.start);
    EXPECT_EQ(response.ContentRangeEnd, c.end);
  }
}

TEST(ResponseHeaderInfoTest, ContentRangeThatIsNoNumberFails) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"bytes */1000", "'*/1000' is not a valid integer value"},
      {"bytes x-5/9", "'x' is not a valid integer value"},
      {"bytes 1-y/9", "'y' is not a valid integer value"},
      {"bytes", "'' is not a valid integer value"},
      {"bytes -5-10/20", "'' is not a valid integer value"},
      {"bytes 0-4294967296/9", "'4294967296' is not a valid integer value"},
      {"bytes 1--2/9", "'-2' is not a valid integer value"},
      {"bytes 1--$8000000000000000/9", "'-$8000000000000000' is not a valid integer value"},
      {"bytes 1--0x8000000000000000/9", "'-0x8000000000000000' is not a valid integer value"},
      {"bytes 0x8000000000000000-1/9", "'0x8000000000000000' is not a valid integer value"},
      {"bytes 1--9223372036854775809/9", "'-9223372036854775809' is not a valid integer value"},
  };
  for (const auto& [value, message] : cases) {
    SCOPED_TRACE(value);
    TNetResponseHeaderInfo response;
    try {
      ReadLines(response, {"Content-Range: " + value});
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), message);
    }
  }
}

TEST(ResponseHeaderInfoTest, ExpiresInSecondsFromNow) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"3600", 3600}, {"0", 0}, {"100000", 100000}, {"-3600", -3600}, {"+60", 60}};
  for (const auto& [value, seconds] : cases) {
    SCOPED_TRACE(value);
    TNetResponseHeaderInfo response;
    const TDateTime before = Now();
    ReadLines(response, {"Expires: " + value});
    const TDateTime after = Now();
    EXPECT_GE(response.Expires, before + seconds * kSecond - kSecond / 1000);
    EXPECT_LE(response.Expires, after + seconds * kSecond + kSecond / 1000);
  }
}

TEST(ResponseHeaderInfoTest, ExpiresOfAnySizeStaysInRange) {
  const std::string huge(1 << 20, '9');
  const std::vector<std::pair<std::string, TDateTime>> cases = {
      {"9223372036854775807", MaxDateTime},
      {"-9223372036854775808", MinDateTime},
      {"99999999999999999999999", MaxDateTime},
      {"-99999999999999999999999", MinDateTime},
      {"315537897600000", MaxDateTime},
      {huge, MaxDateTime},
      {"-" + huge, MinDateTime},
      {"-$8000000000000000", MinDateTime},
      {"-0x8000000000000000", MinDateTime},
      {"$8000000000000000", MinDateTime},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(value.substr(0, 30));
    TNetResponseHeaderInfo response;
    ReadLines(response, {"Expires: " + value});
    EXPECT_EQ(response.Expires, expected);
  }
}

TEST(ResponseHeaderInfoTest, ExpiresDatesGoThroughTheDateReader) {
  const std::vector<std::string> values = {
      "-1", "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "garbage", "",
      "12a"};
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    TNetResponseHeaderInfo response;
    ReadLines(response, {"Expires: " + value});
    EXPECT_EQ(response.Expires, InternetDateToLocal(value));
  }
  TNetResponseHeaderInfo response;
  ReadLines(response, {"Expires: -1"});
  EXPECT_EQ(response.Expires, 0);
}

TEST(ResponseHeaderInfoTest, ChallengeListsTakeEveryLineAnew) {
  TNetResponseHeaderInfo response;
  ReadLines(response, {"WWW-Authenticate: Unknown x=1", "Proxy-Authenticate: Basic realm=\"p\"",
                       "www-authenticate: Basic realm=\"a,", " b\""});
  EXPECT_EQ(response.WWWAuthenticate.Strings(),
            (std::vector<std::string>{"Unknown x=1", "Basic realm=\"a, b\""}));
  EXPECT_EQ(response.ProxyAuthenticate.Strings(), std::vector<std::string>{"Basic realm=\"p\""});
  ReadLines(response, {"WWW-Authenticate: Basic"});
  EXPECT_EQ(response.WWWAuthenticate.Strings(), std::vector<std::string>{"Basic"});
  EXPECT_EQ(response.ProxyAuthenticate.Count(), 0);
}

TEST(ResponseHeaderInfoTest, EmptyTruncatedAndLongValues) {
  TNetResponseHeaderInfo response;
  ReadLines(response, {"Location:", "Server", "Content-Type: ", ":", "", " stray"});
  EXPECT_EQ(response.Location, "");
  EXPECT_EQ(response.Server, "");
  EXPECT_EQ(response.ContentType, "");
  EXPECT_EQ(response.ContentLength, -1);

  const std::string location = "http://localhost/" + std::string(1 << 20, 'p');
  ReadLines(response, {"Location: " + location, "Content-Length: 5"});
  EXPECT_EQ(response.Location, location);
  EXPECT_EQ(response.ContentLength, 5);
}
