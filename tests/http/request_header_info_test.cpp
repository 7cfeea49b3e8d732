#include "http/request_header_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/basic_authentication.h"
#include "http/response_header_info.h"
#include "uri/internet_date.h"

namespace {

const std::string kUserAgentLine = "User-Agent: Mozilla/3.0 (compatible; Net Library)";

std::vector<std::string> Built(TNetRequestHeaderInfo& request) {
  request.BuildHeaderLines();
  return request.HeaderLines.Strings();
}

// A scheme whose value is empty: nothing may be written for it.
class TSilentAuthentication : public TNetAuthentication {
 public:
  TAuthStepOutcome DecideNextStep() override { return TAuthStepOutcome::giveUp; }
  std::string AuthorizationValue() override { return std::string(); }
  bool KeepsConnection() override { return false; }
};

}  // namespace

TEST(RequestHeaderInfoTest, DefaultsGiveFourLinesInOrder) {
  TNetRequestHeaderInfo request;
  EXPECT_EQ(request.ContentLength, -1);
  EXPECT_FALSE(request.LengthKnown());
  EXPECT_EQ(request.HeaderLines.FoldColumn, 1024);
  request.Host = "localhost:8080";
  EXPECT_EQ(Built(request),
            (std::vector<std::string>{"Content-Type: text/html", "Host: localhost:8080",
                                      "Accept: text/html, */*", kUserAgentLine}));
  // Every build starts from an empty list.
  EXPECT_EQ(Built(request).size(), 4u);
}

TEST(RequestHeaderInfoTest, EveryFieldInItsRow) {
  TNetRequestHeaderInfo request;
  const TDateTime day = 45000.5;  // 15 March 2023, noon
  request.Connection = "keep-alive";
  request.ContentVersion = "1";
  request.ContentEncoding = "gzip";
  request.ContentLanguage = "en";
  request.ContentType = "text/plain";
  request.ContentLength = 12;
  request.CacheControl = "no-cache";
  request.Date = day;
  request.Expires = day + 1;
  request.Pragma = "no-cache";
  request.CustomHeaders.Add("X-Custom: 1");
  request.ProxyConnection = "keep-alive";
  request.Host = "localhost";
  request.AcceptCharSet = "utf-8";
  request.AcceptEncoding = "identity";
  request.AcceptLanguage = "zh-cn";
  request.From = "me@localhost";
  request.Referer = "http://localhost/a.html";
  request.LastModified = day - 1;
  request.ContentRangeStart = 1;
  request.ContentRangeEnd = 2;
  request.BasicAuthentication = true;
  request.Username = "u";
  request.Password = "p";
  const std::vector<std::string> expected = {
      "Connection: keep-alive",
      "Content-Version: 1",
      "Content-Encoding: gzip",
      "Content-Language: en",
      "Content-Type: text/plain",
      "Content-Length: 12",
      "Cache-control: no-cache",
      "Date: " + FormatInternetDate(day, false),
      "Expires: " + FormatInternetDate(day + 1, false),
      "Pragma: no-cache",
      "X-Custom: 1",
      "Proxy-Connection: keep-alive",
      "Host: localhost",
      "Accept: text/html, */*",
      "Accept-Charset: utf-8",
      "Accept-Encoding: identity",
      "Accept-Language: zh-cn",
      "From: me@localhost",
      "Referer: http://localhost/a.html",
      kUserAgentLine,
      "If-Modified-Since: " + FormatInternetDate(day - 1, false),
      "Range: bytes=1-2",
      "Authorization: Basic dTpw",
  };
  EXPECT_EQ(Built(request), expected);
  EXPECT_NE(expected[7].find("Mar 2023 12:00:00"), std::string::npos);
}

TEST(RequestHeaderInfoTest, ContentLengthIsSentFromZeroOn) {
  TNetRequestHeaderInfo request;
  request.ContentLength = 0;
  EXPECT_TRUE(request.LengthKnown());
  request.BuildHeaderLines();
  EXPECT_EQ(request.HeaderLines.ValueOf("Content-Length"), "0");
  request.ContentLength = -1;
  request.BuildHeaderLines();
  EXPECT_EQ(request.HeaderLines.IndexOfHeader("Content-Length"), -1);
}

TEST(RequestHeaderInfoTest, RangeForms) {
  struct Case {
    uint32_t start, end;
    std::string range;
  };
  const std::vector<Case> cases = {{0, 500, "bytes=0-500"},
                                   {100, 0, "bytes=100-"},
                                   {0, 0, ""},
                                   {4294967295u, 4294967295u, "bytes=4294967295-4294967295"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    TNetRequestHeaderInfo request;
    request.ContentRangeStart = c.start;
    request.ContentRangeEnd = c.end;
    request.BuildHeaderLines();
    EXPECT_EQ(request.HeaderLines.ValueOf("Range"), c.range);
    EXPECT_EQ(request.HeaderLines.IndexOfHeader("Range") >= 0, !c.range.empty());
  }
}

TEST(RequestHeaderInfoTest, CustomLinesAreReplacedOnlyByLaterRows) {
  TNetRequestHeaderInfo request;
  request.CustomHeaders.Add("Content-Type: text/plain");
  request.CustomHeaders.Add("user-agent: Custom/1.0");
  request.CustomHeaders.Add("X-Other: y");
  request.Host = "h";
  EXPECT_EQ(Built(request),
            (std::vector<std::string>{"Content-Type: text/html", "Content-Type: text/plain",
                                      kUserAgentLine, "X-Other: y", "Host: h",
                                      "Accept: text/html, */*"}));
  EXPECT_EQ(request.CustomHeaders.Count(), 3);
}

TEST(RequestHeaderInfoTest, UnaskedBasicCredentials) {
  TNetRequestHeaderInfo request;
  request.BuildHeaderLines();
  EXPECT_EQ(request.HeaderLines.IndexOfHeader("Authorization"), -1);
  EXPECT_EQ(request.Authentication, nullptr);

  request.BasicAuthentication = true;
  request.BuildHeaderLines();
  EXPECT_EQ(request.HeaderLines.ValueOf("Authorization"), "Basic Og==");
  ASSERT_NE(request.Authentication, nullptr);
  EXPECT_STREQ(request.Authentication->ClassName(), "TNetBasicAuthentication");

  // The object is kept and used even once BasicAuthentication is off again.
  TNetAuthentication* kept = request.Authentication.get();
  request.BasicAuthentication = false;
  request.BuildHeaderLines();
  EXPECT_EQ(request.Authentication.get(), kept);
  EXPECT_EQ(request.HeaderLines.ValueOf("Authorization"), "Basic Og==");

  request.Authentication = std::make_unique<TSilentAuthentication>();
  request.BasicAuthentication = true;
  request.BuildHeaderLines();
  EXPECT_EQ(request.HeaderLines.IndexOfHeader("Authorization"), -1);
}

TEST(RequestHeaderInfoTest, LongValuesFoldBeyondColumn1024) {
  TNetRequestHeaderInfo request;
  std::string referer = "http://localhost/?";
  while (referer.size() < 3000)
    referer += "k=v,";
  referer += " tail";
  request.Referer = referer;
  request.BuildHeaderLines();
  const int at = request.HeaderLines.IndexOfHeader("Referer");
  ASSERT_GE(at, 0);
  EXPECT_LE(request.HeaderLines.Get(at).size(), 1024u);
  EXPECT_GT(request.HeaderLines.Get(at).size(), 900u);
  EXPECT_EQ(request.HeaderLines.Get(at + 1)[0], ' ');
  EXPECT_EQ(request.HeaderLines.Get(request.HeaderLines.Count() - 1), kUserAgentLine);
  // Reading back joins at the cuts with one blank each.
  std::string joined = request.HeaderLines.ValueOf("Referer");
  EXPECT_EQ(joined.size(), referer.size() + 2);

  // Without break characters a value stays on one line whatever its length.
  request.Referer = std::string(1 << 20, 'r');
  request.BuildHeaderLines();
  EXPECT_EQ(request.HeaderLines.ValueOf("Referer"), request.Referer);
  EXPECT_EQ(request.HeaderLines.Count(), 5);
}

TEST(RequestHeaderInfoTest, AssignmentCopiesWhatTheClassesShare) {
  TNetRequestHeaderInfo source;
  source.Accept = "a";
  source.AcceptCharSet = "b";
  source.AcceptEncoding = "c";
  source.AcceptLanguage = "d";
  source.From = "e";
  source.Password = "f";
  source.Referer = "g";
  source.UserAgent = "h";
  source.Username = "i";
  source.BasicAuthentication = true;
  source.Host = "not copied";
  source.ContentType = "not copied";
  source.ContentLength = 5;
  source.HeaderLines.Add("X: 1");

  TNetRequestHeaderInfo request;
  request.Assign(source);
  EXPECT_EQ(request.Accept + request.AcceptCharSet + request.AcceptEncoding +
                request.AcceptLanguage + request.From + request.Password + request.Referer +
                request.UserAgent + request.Username,
            "abcdefghi");
  EXPECT_TRUE(request.BasicAuthentication);
  EXPECT_EQ(request.Host, "");
  EXPECT_EQ(request.ContentType, "text/html");
  EXPECT_EQ(request.ContentLength, -1);
  EXPECT_EQ(request.HeaderLines.Count(), 0);

  // Into another kind of record the entity fields go.
  TNetResponseHeaderInfo response;
  response.HeaderLines.FoldColumn = 1024;
  response.Location = "kept";
  response.Assign(source);
  EXPECT_EQ(response.ContentType, "not copied");
  EXPECT_EQ(response.ContentLength, 5);
  EXPECT_TRUE(response.LengthKnown());
  EXPECT_EQ(response.HeaderLines.Strings(), std::vector<std::string>{"X: 1"});
  EXPECT_EQ(response.HeaderLines.FoldColumn, 1024);
  EXPECT_EQ(response.Location, "kept");

  // And from a response into a request too.
  TNetRequestHeaderInfo fromResponse;
  fromResponse.Assign(response);
  EXPECT_EQ(fromResponse.ContentType, "not copied");
  request.Assign(request);
  EXPECT_EQ(request.Accept, "a");
}

TEST(RequestHeaderInfoTest, ResetKeepsCachePragmaCustomLinesAndReferer) {
  TNetRequestHeaderInfo request;
  request.UserAgent = "x";
  request.ContentLength = 3;
  request.CacheControl = "c";
  request.Pragma = "p";
  request.CustomHeaders.Add("X: 1");
  request.Referer = "r";
  request.HeaderLines.Add("Y: 2");
  request.ResetFields();
  EXPECT_EQ(request.UserAgent, "Mozilla/3.0 (compatible; Net Library)");
  EXPECT_EQ(request.ContentLength, -1);
  EXPECT_EQ(request.HeaderLines.Count(), 0);
  EXPECT_EQ(request.CacheControl + request.Pragma + request.Referer, "cpr");
  EXPECT_EQ(request.CustomHeaders.Count(), 1);
}

TEST(RequestHeaderInfoTest, ServerSideReadsTheRequestFields) {
  struct Case {
    std::string range;
    uint32_t start, end;
  };
  const std::vector<Case> cases = {{"bytes=100-200", 100, 200},
                                   {"bytes=100-", 100, 0},
                                   {"bytes=abc-x", 0, 0},
                                   {"bytes=5", 5, 0},
                                   {"bytes", 0, 0},
                                   {"bytes=-500", 0, 500},
                                   {"bytes=-7-9", 0, 0},
                                   {"bytes=1-99999999999 x", 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    TNetRequestHeaderInfo request;
    request.HeaderLines.SetText("Host: localhost\r\nUser-Agent: t/1\r\nRange: " + c.range +
                                "\r\nAccept: */*\r\nContent-Length: 7\r\n");
    request.ReadHeaderFields();
    EXPECT_EQ(request.Host, "localhost");
    EXPECT_EQ(request.UserAgent, "t/1");
    EXPECT_EQ(request.Accept, "*/*");
    EXPECT_EQ(request.ContentRangeStart, c.start);
    EXPECT_EQ(request.ContentRangeEnd, c.end);
    EXPECT_EQ(request.ContentLength, 7);
    EXPECT_EQ(request.ContentType, "");
  }
}
