// Scripted responses with the body and the error the client must end with, shared by the
// in-memory tests and the tests over real sockets.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "tests/support/http_text.h"

namespace response_cases {

inline const std::string kClosed = "ENetConnClosedGracefully: Connection Closed Gracefully.";

inline std::string Pattern(size_t size, unsigned seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i)
    s[i] = static_cast<char>('a' + (i * 7 + i / 13 + seed) % 26);
  return s;
}

// One scripted response: what the server sends on the first connection, the body and the
// error the call must end with, and whether the connection may serve the next request.
struct ResponseCase {
  std::string name;
  std::string bytes;
  bool closeAfter;  // the server closes once the bytes are sent
  std::string body;
  std::string error;
  bool keeps;
};

inline std::vector<ResponseCase> ShortCases() {
  return {
      {"length", HttpResponse(200, "OK", {}, "hello"), false, "hello", "", true},
      {"chunked with extensions", ChunkedResponse(200, "OK", {}, {"hello ", "world"}, "a=1"), false,
       "hello world", "", true},
      {"chunked in capitals",
       HttpResponseText("HTTP/1.1 200 OK", {"Transfer-Encoding: Chunked"}, ChunkedBody({"abc"})),
       false, "abc", "", true},
      {"chunked wins over length",
       HttpResponseText("HTTP/1.1 200 OK", {"Content-Length: 50", "Transfer-Encoding: chunked"},
                        ChunkedBody({"abc", "de"})),
       false, "abcde", "", true},
      {"chunk trailer fields",
       HttpResponseText("HTTP/1.1 200 OK", {"Transfer-Encoding: chunked"},
                        ChunkedBody({"xyz"}, "", {"X-Sum: 1", "X-More: 2"})),
       false, "xyz", "", true},
      {"close-delimited", HttpResponseText("HTTP/1.1 200 OK", {}, "until the close"), true,
       "until the close", "", false},
      {"100 continue first",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n" +
           HttpResponse(200, "OK", {}, "after"),
       false, "after", "", true},
      {"no reason phrase", HttpResponseText("HTTP/1.1 200", {"Content-Length: 2"}, "ok"), false,
       "ok", "", true},
      {"204", "HTTP/1.1 204 No Content\r\n\r\n", false, "", "", true},
      {"zero length", HttpResponse(200, "OK", {}, ""), false, "", "", true},
      {"101 fails", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: other\r\n\r\n", false, "",
       "ENetHTTPProtocolException: HTTP/1.1 101 Switching Protocols", true},
      {"empty status line", HttpResponseText("", {"Content-Length: 3"}, "abc"), false, "",
       "ENetHTTPProtocolException: ", true},
      {"404", HttpResponse(404, "Not Found", {}, "<p>missing</p>"), false, "",
       "ENetHTTPProtocolException: HTTP/1.1 404 Not Found", true},
      {"302 not followed", HttpResponse(302, "Found", {"Location: /elsewhere"}, "moved"), false, "",
       "ENetHTTPProtocolException: HTTP/1.1 302 Found", true},
      {"200 with a location", HttpResponse(200, "OK", {"Location: /x"}, "body"), false, "",
       "ENetHTTPProtocolException: HTTP/1.1 200 OK", true},
      {"close before the status line", "", true, "", kClosed, false},
      {"close in the head", "HTTP/1.1 200 OK\r\nContent-Len", true, "",
       "ENetException: Undefined situation", false},
      {"close in a chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", true,
       "hel", kClosed, false},
      {"close before a chunk size",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", true, "abc", kClosed,
       false},
      {"close before the declared length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello",
       true, "hello", kClosed, false},
      {"oversized chunk size",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n80000000\r\nabc", false, "",
       "ENetException: Invalid chunk size \"80000000\".", false},
      {"chunk size without digits",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n;x\r\n", false, "ab",
       "ENetException: Invalid chunk size \";x\".", false},
      {"chunk longer than its size",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", false, "ab",
       "ENetException: Chunk of 2 bytes is not followed by a line end.", false},
  };
}

inline std::vector<ResponseCase> LongCases() {
  const std::string big = Pattern(150000, 1);
  std::vector<std::string> pieces;
  std::mt19937 random(7);
  std::string joined;
  for (size_t at = 0; at < 90000;) {
    const size_t n = 1 + random() % 9000;
    pieces.push_back(Pattern(n, static_cast<unsigned>(at)));
    joined += pieces.back();
    at += n;
  }
  const std::string until = Pattern(70000, 3);
  return {
      {"long length", HttpResponse(200, "OK", {}, big), false, big, "", true},
      {"long chunked", ChunkedResponse(200, "OK", {}, pieces, "sig=\"x y\""), false, joined, "",
       true},
      {"long close-delimited", HttpResponseText("HTTP/1.0 200 OK", {}, until), true, until, "",
       false},
      {"long 100 continue", "HTTP/1.1 100 Continue\r\n\r\n" + HttpResponse(200, "OK", {}, big),
       false, big, "", true},
      {"long cut short", HttpResponseText("HTTP/1.1 200 OK", {"Content-Length: 200000"}, big), true,
       big, kClosed, false},
  };
}

}  // namespace response_cases
