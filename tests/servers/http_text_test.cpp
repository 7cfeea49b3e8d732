#include "tests/support/http_text.h"

#include <gtest/gtest.h>

TEST(HttpTextTest, ResponsesAreBuiltByteForByte) {
  EXPECT_EQ(HttpResponseText("HTTP/1.1 204", {"A: 1"}, ""), "HTTP/1.1 204\r\nA: 1\r\n\r\n");
  EXPECT_EQ(HttpResponse(404, "Not Found", {"Connection: close"}, "nope"),
            "HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Length: 4\r\n\r\nnope");
  EXPECT_EQ(ChunkedBody({"hello", "", std::string(26, 'x')}),
            "5\r\nhello\r\n1a\r\n" + std::string(26, 'x') + "\r\n0\r\n\r\n");
  EXPECT_EQ(ChunkedBody({"ab"}, "name=v", {"T: 1"}), "2;name=v\r\nab\r\n0;name=v\r\nT: 1\r\n\r\n");
  EXPECT_EQ(ChunkedResponse(200, "OK", {}, {"ab"}),
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n");
}

TEST(HttpTextTest, RequestHeadIsSplitIntoItsLines) {
  const RequestHead head = ParseRequestHead(
      "GET http://h/p?q HTTP/1.0\r\nHost: h\r\nuser-agent:  UA 1 \r\nX: a\r\nx: b\r\n\r\nbody");
  EXPECT_TRUE(head.WellFormed);
  EXPECT_EQ(head.RequestLine, "GET http://h/p?q HTTP/1.0");
  EXPECT_EQ(head.Method, "GET");
  EXPECT_EQ(head.Target, "http://h/p?q");
  EXPECT_EQ(head.Version, "HTTP/1.0");
  EXPECT_EQ(head.HeaderLines,
            (std::vector<std::string>{"Host: h", "user-agent:  UA 1 ", "X: a", "x: b"}));
  EXPECT_EQ(head.Header("User-Agent"), "UA 1");
  EXPECT_EQ(head.Header("x"), "a");
  EXPECT_EQ(head.HeaderCount("X"), 2);
  EXPECT_FALSE(head.Header("Cookie").has_value());
}

TEST(HttpTextTest, MalformedHeadsAreNotWellFormed) {
  for (const char* text : {"GET / HTTP/1.1\r\nHost: h\r\n", "GET / HTTP/1.1\nHost: h\r\n\r\n",
                           "GET / HTTP/1.1\r\nA: 1\rB: 2\r\n\r\n"}) {
    EXPECT_FALSE(ParseRequestHead(text).WellFormed) << text;
  }
  const RequestHead cut = ParseRequestHead("GET / HTTP/1.1\r\nHost: h");
  EXPECT_EQ(cut.HeaderLines, std::vector<std::string>{"Host: h"});
}
