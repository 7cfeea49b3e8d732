// The client asks its I/O handler for TLS instead of knowing the handler's class: any handler
// that answers it carries TLS is told, step by step, when to run it and for which name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/string_stream.h"
#include "http/http.h"
#include "tests/support/http_text.h"
#include "tests/support/memory_io_handler.h"

namespace {

TEST(TransportTls, TheClientAsksTheHandlerForEachStep) {
  struct Case {
    std::string address;
    bool proxy;
    std::vector<std::string> steps;
    std::string firstLine;  // of what was sent
  };
  const std::vector<Case> cases = {
      {"https://a.test/x", false, {"pass-through off"}, "GET /x HTTP/1.1"},
      {"http://a.test/x", false, {"pass-through on"}, "GET /x HTTP/1.1"},
      // Through a proxy, TLS starts inside the tunnel, and the certificate must name the
      // server behind it.
      {"https://a.test/x",
       true,
       {"pass-through on", "server name a.test", "pass-through off"},
       "CONNECT a.test:443 HTTP/1.1"},
      {"http://a.test/x", true, {"pass-through on"}, "GET http://a.test:80/x HTTP/1.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address + (c.proxy ? " via proxy" : ""));
    TMemoryIOHandler handler;
    handler.ClaimsTLS = true;
    TNetHTTP http;
    http.SetIOHandler(&handler);
    if (c.proxy) {
      http.ProxyParams.SetProxyServer("proxy.test");
      http.ProxyParams.SetProxyPort(3128);
      if (c.address.starts_with("https"))
        handler.Arrive("HTTP/1.1 200 Connection established\r\n\r\n");
    }
    handler.Arrive(HttpResponse(200, "OK", {}, "body"));
    TStringStream out;
    EXPECT_EQ(ErrorOf([&] { http.HttpGet(c.address, out); }), "");
    EXPECT_EQ(out.DataString(), "body");
    EXPECT_EQ(handler.TLSSteps, c.steps);
    EXPECT_EQ(handler.Sent.substr(0, handler.Sent.find("\r\n")), c.firstLine);
  }
}

TEST(TransportTls, AHandlerWithoutTlsCannotTakeHttps) {
  TMemoryIOHandler handler;
  TNetHTTP http;
  http.SetIOHandler(&handler);
  TStringStream out;
  EXPECT_EQ(ErrorOf([&] { http.HttpGet("https://a.test/", out); }),
            "ENetIOHandlerPropInvalid: IOHandler value is not valid");
  EXPECT_TRUE(handler.TLSSteps.empty());
  EXPECT_TRUE(handler.Sent.empty());
}

// Secure cookies go only where TLS runs, as the handler reports it.
TEST(TransportTls, SecureCookiesFollowWhatTheHandlerReports) {
  for (const bool claims : {true, false}) {
    SCOPED_TRACE(claims ? "TLS" : "no TLS");
    TMemoryIOHandler handler;
    handler.ClaimsTLS = claims;
    TNetHTTP http;
    http.SetIOHandler(&handler);
    http.AllowCookies = true;
    handler.Arrive(HttpResponse(200, "OK", {"Set-Cookie: s=1; Secure"}, "a"));
    handler.Arrive(HttpResponse(200, "OK", {}, "b"));
    const std::string address = claims ? "https://a.test/" : "http://a.test/";
    TStringStream out;
    http.HttpGet(address, out);
    http.HttpGet(address, out);
    EXPECT_EQ(handler.Sent.find("Cookie: s=1") != std::string::npos, claims);
  }
}

}  // namespace
