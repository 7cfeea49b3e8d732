// The client over the in-memory I/O handler: exact request bytes, response framing with the
// server's bytes split at any offset, connection reuse, redirections and authorization.
#include "http/custom_http.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "cookies/cookie_manager.h"
#include "http/basic_authentication.h"
#include "http/http.h"
#include "http/response_framing.h"
#include "tests/http/response_cases.h"
#include "tests/support/http_text.h"
#include "tests/support/memory_io_handler.h"

using namespace response_cases;

namespace {

// A client on an in-memory handler, with its status texts recorded.
struct Rig {
  TMemoryIOHandler h;
  TNetHTTP http;
  std::vector<std::string> status;

  Rig() {
    http.SetIOHandler(&h);
    http.OnStatus = [this](TObject*, TNetStatus, const std::string& text) {
      status.push_back(text);
    };
  }
  // GETs the address; the body read, and what was raised ("" for nothing).
  std::string Get(const std::string& address, std::string* error = nullptr) {
    TStringStream out;
    const std::string raised = ErrorOf([&] { http.HttpGet(address, out); });
    if (error) {
      *error = raised;
    } else {
      EXPECT_EQ(raised, "") << address;
    }
    return out.DataString();
  }
  // The request heads sent so far.
  std::vector<RequestHead> Heads() const {
    std::vector<RequestHead> heads;
    size_t at = 0;
    while (at < h.Sent.size()) {
      const size_t end = h.Sent.find("\r\n\r\n", at);
      if (end == std::string::npos) break;
      heads.push_back(ParseRequestHead(h.Sent.substr(at, end + 4 - at)));
      at = end + 4;
    }
    return heads;
  }
};

// Runs the case with its bytes cut at `cuts`, then a second request that must succeed: on the
// same connection when the case keeps it, on a new one otherwise.
void RunCase(const ResponseCase& c, const std::vector<size_t>& cuts, const std::string& label) {
  Rig r;
  r.h.ArriveSplit(c.bytes, cuts);
  const std::string next = HttpResponse(200, "OK", {}, "next");
  if (c.closeAfter) r.h.PeerClose();
  if (!c.keeps) r.h.NextConnection();
  r.h.Arrive(next);
  std::string error;
  EXPECT_EQ(r.Get("http://example.test/a", &error), c.body) << c.name << label;
  EXPECT_EQ(error, c.error) << c.name << label;
  EXPECT_EQ(r.Get("http://example.test/b"), "next") << c.name << label;
  EXPECT_EQ(r.h.Connects.size(), c.keeps ? 1u : 2u) << c.name << label;
}

}  // namespace

TEST(CustomHttpResponses, WholeAndSplitAtEveryOffset) {
  for (const ResponseCase& c : ShortCases()) {
    RunCase(c, {}, " whole");
    std::vector<size_t> bytewise;
    for (size_t k = 1; k < c.bytes.size(); ++k) {
      RunCase(c, {k}, " cut at " + std::to_string(k));
      bytewise.push_back(k);
    }
    RunCase(c, bytewise, " byte by byte");
  }
}

TEST(CustomHttpResponses, LongOnesSplitAtRandomOffsets) {
  std::mt19937 random(42);
  for (const ResponseCase& c : LongCases()) {
    RunCase(c, {}, " whole");
    for (int round = 0; round < 12; ++round) {
      std::vector<size_t> cuts;
      for (size_t at = 0;;) {
        // Small cuts near the head, large ones in the body.
        at += 1 + random() % (round % 2 ? 40 : 20000);
        if (at >= c.bytes.size()) break;
        cuts.push_back(at);
      }
      RunCase(c, cuts, " round " + std::to_string(round));
    }
  }
}

TEST(CustomHttpResponses, ErrorBodyAndStatusCodeTravelWithTheException) {
  Rig r;
  r.h.Arrive(HttpResponse(404, "Not Found", {}, "<h1>404</h1>"));
  TStringStream out("kept");
  out.SetPosition(4);
  try {
    r.http.HttpGet("http://example.test/x", out);
    FAIL() << "no exception";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.StatusCode(), 404);
    EXPECT_EQ(e.BodyText(), "<h1>404</h1>");
    EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
  }
  EXPECT_EQ(out.DataString(), "kept");
  EXPECT_EQ(r.http.StatusCode(), 404);
  EXPECT_EQ(r.http.StatusLine(), "HTTP/1.1 404 Not Found");
}

TEST(CustomHttpResponses, ErrorPageCutShortStillRaisesTheStatus) {
  Rig r;
  r.h.Arrive("HTTP/1.1 500 Oops\r\nContent-Length: 100\r\n\r\npartial").PeerClose();
  TStringStream out;
  try {
    r.http.HttpGet("http://example.test/", out);
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.StatusCode(), 500);
    EXPECT_EQ(e.BodyText(), "partial");
  }
}

TEST(CustomHttpResponses, BodyIsWrittenFromTheStreamsPosition) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {}, "body"));
  TStringStream out("prefix-");
  out.SetPosition(7);
  r.http.HttpGet("http://example.test/", out);
  EXPECT_EQ(out.DataString(), "prefix-body");
}

TEST(CustomHttpResponses, HeadLimitsEndTheCall) {
  {
    Rig r;
    std::string head = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 80; ++i)
      head += "X-Filler-" + std::to_string(i) + ": " + std::string(16000, 'f') + "\r\n";
    r.h.Arrive(head + "\r\n");
    std::string error;
    r.Get("http://example.test/", &error);
    EXPECT_EQ(error, "ENetException: Response header block exceeds 1048576 bytes.");
  }
  {
    Rig r;
    std::string interims;
    for (int i = 0; i < 101; ++i)
      interims += "HTTP/1.1 100 Continue\r\n\r\n";
    r.h.Arrive(interims + HttpResponse(200, "OK", {}, "late"));
    std::string error;
    r.Get("http://example.test/", &error);
    EXPECT_EQ(error, "ENetException: More than 100 interim responses.");
  }
  {
    // Exactly 100 interim responses are still skipped.
    Rig r;
    std::string interims;
    for (int i = 0; i < 100; ++i)
      interims += "HTTP/1.1 100 Continue\r\n\r\n";
    r.h.Arrive(interims + HttpResponse(200, "OK", {}, "late"));
    EXPECT_EQ(r.Get("http://example.test/"), "late");
  }
  {
    Rig r;
    r.h.Arrive("HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'x') + "\r\n\r\n");
    std::string error;
    r.Get("http://example.test/", &error);
    EXPECT_EQ(error, "ENetReadLnMaxLineLengthExceeded: Max line length exceeded.");
  }
}

TEST(CustomHttpResponses, SilentServerTimesOutOnlyWithAReadTimeout) {
  Rig r;
  r.http.ReadTimeout = 30;
  r.h.Silence(1).NextConnection().Arrive(HttpResponse(200, "OK", {}, "fresh"));
  std::string error;
  r.Get("http://example.test/", &error);
  EXPECT_EQ(error, "ENetReadTimeout: Read Timeout");
  EXPECT_EQ(r.h.WaitTimeouts.back(), 30);
  // The timed-out exchange is not reused: the next call connects anew.
  EXPECT_EQ(r.Get("http://example.test/"), "fresh");
  EXPECT_EQ(r.h.Connects.size(), 2u);
}

TEST(CustomHttpRequests, WireFormatOfThePageClientsSecondFetch) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {"Set-Cookie: sid=42; Path=/"}, "one"))
      .Arrive(HttpResponse(200, "OK", {}, "two"));
  const std::string first = "http://www.example.test/dir/page.html?q=1";
  r.http.Request.UserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows 98; Maxthon)";
  r.Get(first);
  r.http.Request.Referer = first;
  r.Get("http://www.example.test/dir/other.html");
  const std::string second = r.h.Sent.substr(r.h.Sent.find("GET /dir/other"));
  EXPECT_EQ(second,
            "GET /dir/other.html HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: www.example.test\r\n"
            "Accept: text/html, */*\r\n"
            "Referer: http://www.example.test/dir/page.html?q=1\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows 98; Maxthon)\r\n"
            "Cookie: sid=42\r\n"
            "\r\n");
  // The whole head left in one send.
  EXPECT_EQ(r.h.SentBlocks.back(), second);
}

TEST(CustomHttpRequests, WireFormatOfTheDownloadClient) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {}, "swf"));
  r.Get("http://127.0.0.1:8080/movies/a.swf");
  EXPECT_EQ(r.h.Sent,
            "GET /movies/a.swf HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: 127.0.0.1:8080\r\n"
            "Accept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Net Library)\r\n"
            "\r\n");
  EXPECT_EQ(r.h.SentBlocks.size(), 1u);
  ASSERT_EQ(r.h.Connects.size(), 1u);
  EXPECT_EQ(r.h.Connects[0].Host, "127.0.0.1");
  EXPECT_EQ(r.h.Connects[0].Port, 8080);
}

TEST(CustomHttpRequests, HeadEventsCarryTheLinesAsSentAndReceived) {
  Rig r;
  std::vector<std::string> sent, received;
  r.http.OnRequestHead = [&](TObject*, const std::vector<std::string>& lines) { sent = lines; };
  r.http.OnResponseHead = [&](TObject*, const std::string& status, const TNetHeaderList& lines) {
    received.push_back(status);
    for (int i = 0; i < lines.Count(); ++i)
      received.push_back(lines.Get(i));
  };
  r.h.Arrive("HTTP/1.1 100 Continue\r\n\r\n" + HttpResponse(200, "OK", {"X-A: 1"}, "b"));
  r.Get("http://h.test/p");
  EXPECT_EQ(sent, (std::vector<std::string>{"GET /p HTTP/1.1", "Content-Type: text/html",
                                            "Host: h.test", "Accept: text/html, */*",
                                            "User-Agent: Mozilla/3.0 (compatible; Net Library)"}));
  EXPECT_EQ(received, (std::vector<std::string>{"HTTP/1.1 100 Continue", "HTTP/1.1 200 OK",
                                                "X-A: 1", "Content-Length: 1"}));
}

TEST(CustomHttpRequests, TargetMergingPortsAndHostLines) {
  const struct {
    std::vector<std::string> addresses;  // fetched in turn; the last one is checked
    std::string requestLine, host;
    int port;
  } cases[] = {
      {{"http://a.test"}, "GET / HTTP/1.1", "a.test", 80},
      {{"http://a.test/x/y.html", "z.html"}, "GET /x/z.html HTTP/1.1", "a.test", 80},
      {{"http://a.test/x/y.html", "../up.html"}, "GET /up.html HTTP/1.1", "a.test", 80},
      {{"http://a.test/x/y.html", "/root.html?k=v"}, "GET /root.html?k=v HTTP/1.1", "a.test", 80},
      {{"http://a.test:8080/x", "http://b.test/y"}, "GET /y HTTP/1.1", "b.test:8080", 8080},
      {{"http://a.test:8080/x", "http://b.test:80/y"}, "GET /y HTTP/1.1", "b.test", 80},
      {{"http://u:p@a.test/f#frag"}, "GET /f HTTP/1.1", "a.test", 80},
  };
  for (const auto& c : cases) {
    Rig r;
    for (size_t i = 0; i < c.addresses.size(); ++i)
      r.h.Arrive(HttpResponse(200, "OK", {"Connection: close"}, "x")).NextConnection();
    for (const std::string& address : c.addresses)
      r.Get(address);
    const std::vector<RequestHead> heads = r.Heads();
    ASSERT_EQ(heads.size(), c.addresses.size());
    EXPECT_EQ(heads.back().RequestLine, c.requestLine) << c.addresses.back();
    EXPECT_EQ(heads.back().Header("Host").value_or(""), c.host) << c.addresses.back();
    EXPECT_EQ(r.http.Port(), c.port);
  }
}

TEST(CustomHttpRequests, PreparationFailures) {
  {
    Rig r;
    std::string error;
    r.Get("ftp://a.test/file", &error);
    EXPECT_EQ(error, "ENetUnknownProtocol: Unknown protocol: ftp");
  }
  {
    Rig r;
    std::string error;
    r.Get("https://a.test/", &error);
    EXPECT_EQ(error, "ENetIOHandlerPropInvalid: IOHandler value is not valid");
    EXPECT_EQ(r.http.Host(), "a.test");  // already switched
    EXPECT_EQ(r.http.Port(), 443);
    EXPECT_EQ(r.http.Request.Host, "a.test:443");
  }
  {
    Rig r;
    std::string error;
    r.Get("http://a.test:8x/", &error);
    EXPECT_EQ(error, "EConvertError: '8x' is not a valid integer value");
  }
  {
    Rig r;
    r.http.ProtocolVersion = TNetHTTPProtocolVersion::pv1_0;
    EXPECT_EQ(ErrorOf([&] {
                r.http.PerformRequest(TNetHTTPMethod::hmDelete, "http://a.test/", nullptr, nullptr);
              }),
              "ENetException: This request method is supported in HTTP 1.1");
  }
  {
    // A line break that would start a header line of its own is refused.
    Rig r;
    r.h.Arrive(HttpResponse(302, "Found", {"Location: /a\rEvil: 1"}, ""));
    r.http.HandleRedirects = true;
    std::string error;
    r.Get("http://a.test/", &error);
    EXPECT_EQ(error, "ENetException: Request target contains a line break.");
    EXPECT_EQ(r.h.Sent.find("Evil"), std::string::npos);
  }
}

TEST(CustomHttpRequests, MethodsAndBodies) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {}, "posted"))
      .Arrive("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n")
      .Arrive(HttpResponse(200, "OK", {}, "opt"));
  TStringStream source("a=1&b=2");
  TStringStream out;
  r.http.PerformRequest(TNetHTTPMethod::hmPost, "http://a.test/form", &source, &out);
  EXPECT_EQ(out.DataString(), "posted");
  // A HEAD response announces a length but carries no body.
  r.http.PerformRequest(TNetHTTPMethod::hmHead, "http://a.test/form", nullptr, &out);
  r.http.PerformRequest(TNetHTTPMethod::hmOptions, "*", nullptr, &out);
  const std::vector<RequestHead> heads = r.Heads();
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[0].RequestLine, "POST /form HTTP/1.1");
  EXPECT_EQ(heads[0].Header("Content-Length").value_or(""), "7");
  EXPECT_NE(r.h.Sent.find("\r\n\r\na=1&b=2HEAD /form HTTP/1.1\r\n"), std::string::npos);
  EXPECT_EQ(heads[1].HeaderCount("Content-Length"), 0);
  EXPECT_EQ(heads[2].RequestLine, "OPTIONS * HTTP/1.1");
  EXPECT_EQ(out.DataString(), "postedopt");
  EXPECT_EQ(r.h.Connects.size(), 1u);
}

TEST(CustomHttpConnections, KeptConnectionIsReusedAndAnIdleCloseReplacesIt) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {}, "1"))
      .Arrive(HttpResponse(200, "OK", {}, "2"))
      .PeerClose()  // the server closes the idle connection
      .NextConnection()
      .Arrive(HttpResponse(200, "OK", {}, "3"));
  EXPECT_EQ(r.Get("http://a.test/1"), "1");
  EXPECT_EQ(r.Get("http://a.test/2"), "2");
  EXPECT_EQ(r.h.Connects.size(), 1u);
  EXPECT_EQ(r.Get("http://a.test/3"), "3");
  EXPECT_EQ(r.h.Connects.size(), 2u);
}

TEST(CustomHttpConnections, CloseHeaderAndHttp10DecideReuse) {
  {
    Rig r;
    r.h.Arrive(HttpResponse(200, "OK", {"Connection: close"}, "1"))
        .NextConnection()
        .Arrive(HttpResponse(200, "OK", {}, "2"));
    r.Get("http://a.test/");
    EXPECT_FALSE(r.http.IsConnected());
    r.Get("http://a.test/");
    EXPECT_EQ(r.h.Connects.size(), 2u);
  }
  {
    // HTTP/1.0 asks for keep-alive and keeps the connection only when the server agrees.
    Rig r;
    r.http.ProtocolVersion = TNetHTTPProtocolVersion::pv1_0;
    r.h.Arrive(HttpResponse(200, "OK", {"Connection: Keep-Alive"}, "1"))
        .Arrive(HttpResponse(200, "OK", {}, "2"))
        .NextConnection()
        .Arrive(HttpResponse(200, "OK", {}, "3"));
    r.Get("http://a.test/");
    r.Get("http://a.test/");
    r.Get("http://a.test/");
    EXPECT_EQ(r.h.Connects.size(), 2u);
    EXPECT_EQ(r.Heads()[0].Header("Connection").value_or(""), "keep-alive");
    EXPECT_EQ(r.Heads()[0].RequestLine, "GET / HTTP/1.0");
  }
}

TEST(CustomHttpConnections, ADisconnectPrecedesTheFirstConnect) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {}, "x"));
  r.Get("http://a.test/");
  ASSERT_GE(r.status.size(), 2u);
  EXPECT_EQ(r.status[0], "Disconnecting.");
  EXPECT_EQ(r.status[1], "Disconnected.");
}

TEST(CustomHttpConnections, ServerClosingAfterTheRequestFailsOnceThenConnectsAnew) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {}, "1"));
  r.Get("http://a.test/");
  // The server closes only after the next request was written.
  r.h.OnSent = [&](const std::string&) {
    r.h.OnSent = nullptr;
    r.h.PeerClose().NextConnection().Arrive(HttpResponse(200, "OK", {}, "3"));
  };
  std::string error;
  r.Get("http://a.test/", &error);
  EXPECT_EQ(error, kClosed);
  EXPECT_EQ(r.Get("http://a.test/"), "3");
  EXPECT_EQ(r.h.Connects.size(), 2u);
}

TEST(CustomHttpConnections, RedirectCountStartsAfreshAfterAFailure) {
  Rig r;
  std::vector<int> counts;
  r.http.OnRedirect = [&](TObject*, std::string&, int& count, bool&, TNetHTTPMethod&) {
    counts.push_back(count);
  };
  r.h.Arrive(HttpResponse(301, "Moved", {"Location: /b"}, ""))
      .Arrive(HttpResponse(301, "Moved", {"Location: /b"}, ""));
  std::string error;
  r.Get("http://a.test/", &error);
  EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 301 Moved");
  r.Get("http://a.test/", &error);
  EXPECT_EQ(counts, (std::vector<int>{1, 1}));
  EXPECT_EQ(r.http.RedirectCount, 0);
}

TEST(CustomHttpRedirects, FollowedUpToTheMaximum) {
  Rig r;
  r.http.HandleRedirects = true;
  r.http.RedirectMaximum = 3;
  for (int i = 1; i <= 3; ++i)
    r.h.Arrive(HttpResponse(302, "Found", {"Location: /hop" + std::to_string(i)}, "moved"));
  std::string error;
  // Two redirections followed; the third response fails the call, naming the count, with
  // nothing delivered.
  EXPECT_EQ(r.Get("http://a.test/start", &error), "");
  EXPECT_EQ(error, "ENetHTTPProtocolException: Too many redirects: 2 followed, the next to /hop3");
  EXPECT_EQ(r.http.StatusCode(), 302);
  EXPECT_EQ(r.http.LastResponse.Location, "/hop3");
  const std::vector<RequestHead> heads = r.Heads();
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[1].Target, "/hop1");
  EXPECT_EQ(heads[2].Target, "/hop2");
}

TEST(CustomHttpRedirects, RelativeAndAbsoluteLocationsAndTheHandler) {
  Rig r;
  r.http.HandleRedirects = true;
  r.h.Arrive(HttpResponse(301, "Moved", {"Location: http://b.test:81/new/place"}, "x"))
      .NextConnection()
      .Arrive(HttpResponse(302, "Found", {"Location: ../there"}, ""))
      .Arrive(HttpResponse(200, "OK", {}, "arrived"));
  std::vector<std::string> seen;
  r.http.OnRedirect = [&](TObject*, std::string& dest, int&, bool&, TNetHTTPMethod&) {
    seen.push_back(dest);
  };
  EXPECT_EQ(r.Get("http://a.test/old"), "arrived");
  EXPECT_EQ(seen, (std::vector<std::string>{"http://b.test:81/new/place", "../there"}));
  const std::vector<RequestHead> heads = r.Heads();
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[1].Header("Host").value_or(""), "b.test:81");
  EXPECT_EQ(heads[2].Target, "/there");
  ASSERT_EQ(r.h.Connects.size(), 2u);
  EXPECT_EQ(r.h.Connects[1].Port, 81);
}

TEST(CustomHttpAuthorization, CredentialsStayWithTheServerTheyWereGivenFor) {
  Rig r;
  r.http.HandleRedirects = true;
  r.http.Request.Username = "u";
  r.http.Request.Password = "p";
  r.http.Request.BasicAuthentication = true;
  r.h.Arrive(HttpResponse(302, "Found", {"Location: /same-server"}, ""))
      .Arrive(HttpResponse(302, "Found", {"Location: http://other.test/x"}, ""))
      .NextConnection()
      .Arrive(HttpResponse(200, "OK", {}, "elsewhere"));
  EXPECT_EQ(r.Get("http://a.test/"), "elsewhere");
  const std::vector<RequestHead> heads = r.Heads();
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[0].Header("Authorization").value_or(""), "Basic dTpw");
  EXPECT_EQ(heads[1].Header("Authorization").value_or(""), "Basic dTpw");
  EXPECT_EQ(heads[2].HeaderCount("Authorization"), 0);
}

TEST(CustomHttpAuthorization, ChallengeWithoutHandlerOrSchemeFails) {
  // Without a handler no scheme object is kept, whatever the challenge names: an empty one
  // would send empty credentials on every later request of the client.
  const struct {
    std::vector<std::string> challenges;
    bool createsScheme;
  } cases[] = {
      {{}, false},
      {{"Digest realm=\"x\"", "NTLM"}, false},
      {{"Digest realm=\"x\"", "Basic realm=\"r\""}, false},
  };
  for (const auto& c : cases) {
    Rig r;
    std::vector<std::string> lines;
    for (const std::string& challenge : c.challenges)
      lines.push_back("WWW-Authenticate: " + challenge);
    r.h.Arrive(HttpResponse(401, "Unauthorized", lines, "denied"));
    std::string error;
    r.Get("http://a.test/", &error);
    EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(r.http.Request.Authentication != nullptr, c.createsScheme);
  }
}

TEST(CustomHttpAuthorization, CredentialsGivenAfterARefusalAreSent) {
  Rig r;
  r.h.Arrive(HttpResponse(401, "Unauthorized", {"WWW-Authenticate: Basic realm=\"r\""}, "no"))
      .Arrive(HttpResponse(200, "OK", {}, "welcome"));
  std::string error;
  r.Get("http://a.test/", &error);
  EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
  r.http.Request.Username = "alice";
  r.http.Request.Password = "secret";
  r.http.Request.BasicAuthentication = true;
  EXPECT_EQ(r.Get("http://a.test/"), "welcome");
  const std::vector<RequestHead> heads = r.Heads();
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[1].Header("Authorization").value_or(""), "Basic YWxpY2U6c2VjcmV0");
}

TEST(CustomHttpAuthorization, AcceptedChallengeWithoutInProcessAuthIsNotTheDocument) {
  Rig r;
  r.http.OnAuthorization = [](TObject*, TNetAuthentication* authentication, bool& handled) {
    authentication->AssignUser("alice");
    handled = true;
  };
  r.h.Arrive(HttpResponse(401, "Unauthorized", {"WWW-Authenticate: Basic realm=\"r\""}, "no"));
  std::string error;
  EXPECT_EQ(r.Get("http://a.test/", &error), "");
  EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
}

TEST(CustomHttpAuthorization, AcceptingHandlerSendsCredentials) {
  Rig r;
  r.http.HTTPOptions.Include(TNetHTTPOption::hoInProcessAuth);
  int asked = 0;
  r.http.OnAuthorization = [&](TObject*, TNetAuthentication* authentication, bool& handled) {
    ++asked;
    authentication->AssignUser("alice");
    authentication->AssignPassword("secret");
    handled = true;
  };
  r.h.Arrive(HttpResponse(401, "Unauthorized", {"WWW-Authenticate: Basic realm=\"r\""}, "no"))
      .Arrive(HttpResponse(200, "OK", {}, "welcome"));
  EXPECT_EQ(r.Get("http://a.test/secret"), "welcome");
  EXPECT_EQ(asked, 1);
  const std::vector<RequestHead> heads = r.Heads();
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0].HeaderCount("Authorization"), 0);
  EXPECT_EQ(heads[1].Header("Authorization").value_or(""), "Basic YWxpY2U6c2VjcmV0");
  EXPECT_TRUE(r.http.Request.BasicAuthentication);
  EXPECT_EQ(r.http.Request.Username, "alice");
  EXPECT_EQ(r.h.Connects.size(), 1u);
}

TEST(CustomHttpAuthorization, WrongCredentialsStopAtAuthRetries) {
  Rig r;
  r.http.HTTPOptions.Include(TNetHTTPOption::hoInProcessAuth);
  r.http.Request.Username = "bob";
  r.http.OnAuthorization = [](TObject*, TNetAuthentication*, bool& handled) { handled = true; };
  for (int i = 0; i < 5; ++i)
    r.h.Arrive(HttpResponse(401, "Unauthorized", {"WWW-Authenticate: Basic realm=\"r\""}, "no"));
  std::string error;
  r.Get("http://a.test/", &error);
  EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(r.Heads().size(), 4u);  // the first request and AuthRetries (3) retries
}

TEST(CustomHttpAuthorization, ServerClosingAfterEach401IsBoundedByAuthRetries) {
  Rig r;
  r.http.Request.Username = "bob";
  r.http.OnAuthorization = [](TObject*, TNetAuthentication*, bool& handled) { handled = true; };
  for (int i = 0; i < 10; ++i) {
    // The server closes before the head is complete, so the challenge arrives on a connection
    // that is already gone.
    r.h.Arrive("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n")
        .PeerClose()
        .NextConnection();
  }
  std::string error;
  r.Get("http://a.test/", &error);
  EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(r.h.Connects.size(), 4u);
}

TEST(CustomHttpAuthorization, HandlerThatNeverSuppliesAUserIsNotAskedForEver) {
  Rig r;
  int asked = 0;
  r.http.OnAuthorization = [&](TObject*, TNetAuthentication*, bool& handled) {
    ++asked;
    handled = true;
  };
  r.h.Arrive(HttpResponse(401, "Unauthorized", {"WWW-Authenticate: Basic realm=\"r\""}, "no"));
  std::string error;
  r.Get("http://a.test/", &error);
  EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(asked, http_limits::kMaxAuthorizationSteps);
}

TEST(CustomHttpAuthorization, UnaskedBasicCredentials) {
  Rig r;
  r.http.Request.Username = "u";
  r.http.Request.Password = "p";
  r.http.Request.BasicAuthentication = true;
  r.h.Arrive(HttpResponse(200, "OK", {}, "in"));
  r.Get("http://a.test/");
  EXPECT_EQ(r.Heads()[0].Header("Authorization").value_or(""), "Basic dTpw");
}

TEST(CustomHttpAuthorization, CompletedAuthenticationGoesToTheStoreOnDisconnect) {
  // A scheme that is complete at once (its step count is 0).
  // A scheme whose single step is done once its value has been sent.
  class TOneShotAuthentication : public TNetAuthentication {
   public:
    const char* ClassName() const override { return "TOneShotAuthentication"; }
    TAuthStepOutcome DecideNextStep() override { return TAuthStepOutcome::sendRequest; }
    int StepCount() override { return 1; }
    std::string AuthorizationValue() override {
      StepNumber = 1;
      return "OneShot " + CurrentUser();
    }
    bool KeepsConnection() override { return false; }
  };
  Rig r;
  TNetAuthenticationStore store;
  r.http.SetAuthenticationStore(&store);
  r.http.Request.Authentication = std::make_unique<TOneShotAuthentication>();
  r.http.Request.Authentication->AssignUser("carol");
  r.h.Arrive(HttpResponse(200, "OK", {"Connection: close"}, "x"));
  r.Get("http://a.test/dir/page");
  EXPECT_EQ(r.Heads()[0].Header("Authorization").value_or(""), "OneShot carol");
  EXPECT_EQ(r.http.Request.Authentication, nullptr);
  ASSERT_EQ(store.Count(), 1);
  EXPECT_EQ(store.Items(0).URI.HostName, "a.test");
  EXPECT_EQ(store.Items(0).Params.ValueOf("Username"), "carol");
}

TEST(CustomHttpProxy, AbsoluteTargetsProxyConnectionAnd407) {
  {
    Rig r;
    r.http.ProxyParams.SetProxyServer("proxy.test");
    r.http.ProxyParams.SetProxyPort(3128);
    r.http.ProtocolVersion = TNetHTTPProtocolVersion::pv1_0;
    r.h.Arrive(HttpResponse(200, "OK", {"Proxy-Connection: keep-alive"}, "via proxy"));
    EXPECT_EQ(r.Get("http://u:pw@origin.test:81/a/b?c#d"), "via proxy");
    ASSERT_EQ(r.h.Connects.size(), 1u);
    EXPECT_EQ(r.h.Connects[0].Host, "proxy.test");
    EXPECT_EQ(r.h.Connects[0].Port, 3128);
    EXPECT_EQ(r.h.Sent,
              "GET http://origin.test:81/a/b?c HTTP/1.0\r\n"
              "Content-Type: text/html\r\n"
              "Proxy-Connection: keep-alive\r\n"
              "Host: origin.test:81\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Net Library)\r\n"
              "\r\n");
    EXPECT_EQ(r.http.CurrentAddress.HostName, "origin.test");
  }
  {
    Rig r;
    r.http.ProxyParams.SetProxyServer("proxy.test");
    r.http.ProxyParams.SetProxyPort(3128);
    r.http.ProxyParams.ProxyUsername = "pu";
    r.http.ProxyParams.ProxyPassword = "pp";
    r.http.ProxyParams.BasicAuthentication = true;
    r.h.Arrive(HttpResponse(407, "Proxy Authentication Required",
                            {"Proxy-Authenticate: Basic realm=\"proxy\""}, "who?"));
    std::string error;
    r.Get("http://origin.test/", &error);
    EXPECT_EQ(error, "ENetHTTPProtocolException: HTTP/1.1 407 Proxy Authentication Required");
    EXPECT_EQ(r.Heads()[0].Header("Proxy-Authorization").value_or(""), "Basic cHU6cHA=");
    // A 407 empties the proxy password, with or without a handler.
    EXPECT_EQ(r.http.ProxyParams.ProxyPassword, "");
  }
}

TEST(CustomHttpProxy, ProxyCredentialsNeverGoToAServerDirectly) {
  Rig r;
  r.http.ProxyParams.ProxyUsername = "pu";
  r.http.ProxyParams.ProxyPassword = "pp";
  r.http.ProxyParams.BasicAuthentication = true;
  r.h.Arrive(HttpResponse(200, "OK", {}, "direct"));
  EXPECT_EQ(r.Get("http://origin.test/"), "direct");
  EXPECT_EQ(r.Heads()[0].HeaderCount("Proxy-Authorization"), 0);
}

TEST(CustomHttpCookies, SetCookieIsSentBackAndManagerIsOwned) {
  Rig r;
  EXPECT_EQ(r.http.CookieManager(), nullptr);
  r.h.Arrive(HttpResponse(200, "OK", {"Set-Cookie: a=1", "set-cookie: b=2; Path=/"}, "x"))
      .Arrive(HttpResponse(200, "OK", {}, "y"))
      .Arrive(HttpResponse(200, "OK", {}, "z"));
  r.Get("http://a.test/dir/page");
  ASSERT_NE(r.http.CookieManager(), nullptr);
  EXPECT_TRUE(r.http.OwnsCookieManager());
  r.Get("http://a.test/dir/next");
  r.Get("http://a.test/other/x");
  const std::vector<RequestHead> heads = r.Heads();
  EXPECT_EQ(heads[0].HeaderCount("Cookie"), 0);
  // A cookie without a path belongs to the directory of the address that set it.
  const std::string both = heads[1].Header("Cookie").value_or("");
  EXPECT_NE(both.find("a=1"), std::string::npos) << both;
  EXPECT_NE(both.find("b=2"), std::string::npos) << both;
  EXPECT_EQ(heads[2].Header("Cookie").value_or(""), "b=2");

  // Another manager replaces (and frees) the owned one.
  TNetCookieManager mine;
  r.http.SetCookieManager(&mine);
  EXPECT_FALSE(r.http.OwnsCookieManager());
  EXPECT_EQ(r.http.CookieManager(), &mine);
}

TEST(CustomHttpCookies, NoCookiesWhenNotAllowed) {
  Rig r;
  r.http.AllowCookies = false;
  r.h.Arrive(HttpResponse(200, "OK", {"Set-Cookie: a=1"}, "x"))
      .Arrive(HttpResponse(200, "OK", {}, "y"));
  r.Get("http://a.test/");
  r.Get("http://a.test/");
  EXPECT_EQ(r.http.CookieManager(), nullptr);
  EXPECT_EQ(r.Heads()[1].HeaderCount("Cookie"), 0);
}

TEST(CustomHttpBody, ChunkedBodyReportsOneWorkPhasePerChunk) {
  Rig r;
  int begins = 0;
  std::vector<int64_t> maxima;
  r.http.OnWorkBegin = [&](TObject*, TWorkMode mode, int64_t max) {
    if (mode == TWorkMode::wmRead) maxima.push_back(max);
    ++begins;
  };
  r.h.Arrive(ChunkedResponse(200, "OK", {}, {std::string(26, 'a'), std::string(5, 'b')}));
  EXPECT_EQ(r.Get("http://a.test/"), std::string(26, 'a') + std::string(5, 'b'));
  EXPECT_EQ(maxima, (std::vector<int64_t>{26, 5}));
  EXPECT_NE(std::find(r.status.begin(), r.status.end(), "Chunk Started"), r.status.end());
  EXPECT_EQ(r.http.ReaderState(), TNetReaderState::rsFinished);
}

TEST(CustomHttpBody, BodyWithoutStreamReadsNothing) {
  Rig r;
  r.h.Arrive(HttpResponse(200, "OK", {}, "ignored"));
  r.http.PerformRequest(TNetHTTPMethod::hmGet, "http://a.test/", nullptr, nullptr);
  // What is left on the connection would be taken for the next response: it is not kept.
  EXPECT_FALSE(r.http.IsConnected());
}
