#include "http/response_framing.h"

#include <gtest/gtest.h>

#include <string>

#include "base/net_exceptions.h"
#include "tests/support/memory_io_handler.h"

using RS = TNetReaderState;
using PV = TNetHTTPProtocolVersion;

TEST(ResponseFraming, StatusCodeOfStatusLines) {
  const struct {
    std::string line;
    int code;
  } cases[] = {
      {"HTTP/1.1 200 OK", 200},
      {"HTTP/1.1 200", 200},  // no reason phrase
      {"HTTP/1.1   404   Not Found", 404},
      {"HTTP/1.0 302 Found", 302},
      {"", -1},
      {"HTTP/1.1", -1},
      {"HTTP/1.1 OK", -1},
      {"HTTP/1.1 0x1F4 Hex", -1},  // decimal only
      {"HTTP/1.1 -200 Negative", -1},
      {"HTTP/1.1 99999999999 Huge", -1},
      {"garbage", -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseStatusCode(c.line), c.code) << c.line;
}

TEST(ResponseFraming, ServerVersionFromCharactersSixToEight) {
  EXPECT_EQ(ParseServerVersion("HTTP/1.0 200 OK"), PV::pv1_0);
  EXPECT_EQ(ParseServerVersion("http/1.1 200 OK"), PV::pv1_1);
  EXPECT_EQ(ParseServerVersion("HTTP/2.0 200 OK"), std::nullopt);
  EXPECT_EQ(ParseServerVersion("HTTP/1."), std::nullopt);
  EXPECT_EQ(ParseServerVersion(""), std::nullopt);
}

TEST(ResponseFraming, ReusabilityFollowsTheClientsVersion) {
  const struct {
    PV version;
    std::string connection, proxyConnection;
    bool reusable;
  } cases[] = {
      {PV::pv1_1, "", "", true},           {PV::pv1_1, " Close ", "", false},
      {PV::pv1_1, "", "close", false},     {PV::pv1_1, "keep-alive", "", true},
      {PV::pv1_0, "", "", false},          {PV::pv1_0, "Keep-Alive", "", true},
      {PV::pv1_0, "", "KEEP-ALIVE", true}, {PV::pv1_0, "close", "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReusableByHeaders(c.version, c.connection, c.proxyConnection), c.reusable)
        << c.connection << "/" << c.proxyConnection;
}

TEST(ResponseFraming, ChunkedCodingInAnyCaseAndPosition) {
  EXPECT_TRUE(IsChunkedCoding("chunked"));
  EXPECT_TRUE(IsChunkedCoding("Chunked"));
  EXPECT_TRUE(IsChunkedCoding("CHUNKED"));
  EXPECT_TRUE(IsChunkedCoding("gzip, chunked"));
  EXPECT_TRUE(IsChunkedCoding(" chunked ;foo=bar"));
  EXPECT_FALSE(IsChunkedCoding(""));
  EXPECT_FALSE(IsChunkedCoding("gzip"));
  EXPECT_FALSE(IsChunkedCoding("notchunked"));
  EXPECT_FALSE(IsChunkedCoding("chunkedx"));
}

TEST(ResponseFraming, DeclaredLengthIsDecimalAndMayExceedTwoGiB) {
  EXPECT_EQ(DeclaredBodyLength(" 1234 "), 1234);
  EXPECT_EQ(DeclaredBodyLength("0"), 0);
  EXPECT_EQ(DeclaredBodyLength("5368709120"), 5368709120LL);
  EXPECT_EQ(DeclaredBodyLength(""), -1);
  EXPECT_EQ(DeclaredBodyLength("-5"), -1);
  EXPECT_EQ(DeclaredBodyLength("0x10"), -1);
  EXPECT_EQ(DeclaredBodyLength("5, 5"), -1);
  EXPECT_EQ(DeclaredBodyLength("99999999999999999999"), -1);
}

TEST(ResponseFraming, BodyReaderStateTable) {
  using M = TNetHTTPMethod;
  const struct {
    bool stream;
    M method;
    int code;
    std::string te;
    int64_t length;
    RS state;
  } cases[] = {
      {false, M::hmGet, 200, "chunked", 10, RS::rsFinished},
      {true, M::hmHead, 200, "", 10, RS::rsFinished},
      {true, M::hmGet, 101, "", -1, RS::rsFinished},
      {true, M::hmGet, 204, "", -1, RS::rsFinished},
      {true, M::hmGet, 304, "", 10, RS::rsFinished},
      {true, M::hmGet, 200, "chunked", 10, RS::rsBodyByChunks},  // chunked wins
      {true, M::hmGet, 200, "Chunked", -1, RS::rsBodyByChunks},
      {true, M::hmGet, 200, "", 10, RS::rsBodyByLength},
      {true, M::hmGet, 404, "", 10, RS::rsBodyByLength},
      {true, M::hmGet, 200, "", 0, RS::rsFinished},
      {true, M::hmGet, 200, "", -1, RS::rsBodyUntilClose},
      {true, M::hmGet, 200, "gzip", -1, RS::rsBodyUntilClose},
      {true, M::hmGet, -1, "", -1, RS::rsBodyUntilClose},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BodyReaderState(c.stream, c.method, c.code, c.te, c.length), c.state)
        << c.code << " " << c.te << " " << c.length;
}

TEST(ResponseFraming, ChunkSizeLines) {
  EXPECT_EQ(ParseChunkSize("1a"), 26);
  EXPECT_EQ(ParseChunkSize("1A"), 26);
  EXPECT_EQ(ParseChunkSize("1a some text"), 26);
  EXPECT_EQ(ParseChunkSize("1a;name=value"), 26);
  EXPECT_EQ(ParseChunkSize("0"), 0);
  EXPECT_EQ(ParseChunkSize("000000000000000000001"), 1);  // leading zeros are no overflow
  EXPECT_EQ(ParseChunkSize("7fffffff"), 0x7FFFFFFF);

  EXPECT_EQ(ErrorOf([] { ParseChunkSize(""); }), "ENetException: Invalid chunk size \"\".");
  EXPECT_EQ(ErrorOf([] { ParseChunkSize(";ext"); }), "ENetException: Invalid chunk size \";ext\".");
  EXPECT_EQ(ErrorOf([] { ParseChunkSize(" 1a"); }), "ENetException: Invalid chunk size \" 1a\".");
  EXPECT_EQ(ErrorOf([] { ParseChunkSize("80000000"); }),
            "ENetException: Invalid chunk size \"80000000\".");
  EXPECT_EQ(ErrorOf([] { ParseChunkSize("ffffffffffffffffffff"); }),
            "ENetException: Invalid chunk size \"ffffffffffffffffffff\".");
  // A long bad line is quoted only in part.
  const std::string message = ErrorOf([] { ParseChunkSize(std::string(5000, 'x')); });
  EXPECT_LT(message.size(), 120u);
  EXPECT_NE(message.find("xxx...\""), std::string::npos);
}

TEST(ResponseFraming, HeadBudgetStopsPastOneMiB) {
  TNetHeadBudget budget;
  const std::string line(1024, 'h');
  for (int i = 0; i < 1024; ++i)
    budget.AddLine(line);
  EXPECT_EQ(budget.Used(), 1024 * 1024);
  EXPECT_EQ(ErrorOf([&] { budget.AddLine("x"); }),
            "ENetException: Response header block exceeds 1048576 bytes.");
}
