#include "rescue/web_client_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "http/http.h"
#include "net/ssl_io_handler.h"
#include "rescue/page_grab.h"
#include "rescue/stored_client_settings.h"
#include "tests/support/memory_io_handler.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_certificates.h"

TEST(WebClientSettings, TypedAddresses) {
  const struct {
    const char* typed;
    std::string result;  // the address, or the error
  } cases[] = {
      {"www.example.org/games/", "http://www.example.org/games/"},
      {"  localhost:8080/a.html ", "http://localhost:8080/a.html"},
      {"https://example.org/", "https://example.org/"},
      {"HTTP://Example.ORG", "http://example.org"},
      // As a browser's address bar takes it: blanks and characters above ASCII percent-encoded
      // in UTF-8, the query too, dot segments gone, escapes left alone.
      {"h.example/games/my game.swf", "http://h.example/games/my%20game.swf"},
      {"http://h.example/\xE6\xB8\xB8\xE6\x88\x8F/a.swf?n=\xE8\xBF\x9E",
       "http://h.example/%E6%B8%B8%E6%88%8F/a.swf?n=%E8%BF%9E"},
      {"http://h.example/a/../b/./my%20c.swf", "http://h.example/b/my%20c.swf"},
      {"http://127.0.0.1:99999/a.swf",
       "ENetURIException: not a valid port: 99999 (in http://127.0.0.1:99999/a.swf)"},
      {"127.0.0.1:18081:/a.swf",
       "ENetURIException: not a valid port: 18081: (in 127.0.0.1:18081:/a.swf)"},
      {"http://h.example:0/", "ENetURIException: not a valid port: 0 (in http://h.example:0/)"},
      {"http://my host/a.swf",
       "ENetURIException: not a valid host: my host (in http://my host/a.swf)"},
      {"ftp://example.org/f", "ENetUnknownProtocol: Unknown protocol: ftp"},
      {"gopher://x/", "ENetUnknownProtocol: Unknown protocol: gopher"},
      {"http:///path", "ENetURIException: Invalid address (no host): http:///path"},
      {"", "ENetURIException: Invalid address (no host): "},
  };
  for (const auto& c : cases) {
    std::string result;
    const std::string error = ErrorOf([&] { result = TypedAddress(c.typed); });
    EXPECT_EQ(error.empty() ? result : error, c.result) << c.typed;
  }
}

TEST(WebClientSettings, APageGrabEndsAtTheAddressTheRedirectsLeadTo) {
  TestCertificates certificates;
  const CertificateFiles files = certificates.Server(CertificateKind::ckGood);
  NginxServer secure;
  secure.UseTls(files.Certificate, files.Key);
  secure.WriteFile("games/index.html", "<p>games</p>");
  secure.Start();
  NginxServer plain;
  plain.AddLocation("/", "return 301 " + secure.Url("") + "$request_uri;");
  plain.Start();

  TNetSSLIOHandlerSocket tls;
  tls.CAFile = certificates.CAFile();
  TNetHTTP http;
  ApplyStoredClientSettings(http);
  ApplyWebClientSettings(http, tls);
  std::string statuses;
  http.OnStatus = [&](TObject*, TNetStatus, const std::string& text) { statuses += text + "\n"; };
  TPageFetchOutcome outcome;
  EXPECT_EQ(GetPageHtml(http, plain.Url("/games/index.html"), 1, outcome), "<p>games</p>");
  EXPECT_EQ(outcome.FinalAddress, secure.Url("/games/index.html"));
  EXPECT_EQ(http.Request.Referer, outcome.FinalAddress);
  // The handler's reports reach the status event assigned after the set-up.
  EXPECT_NE(statuses.find("TLS session with localhost: TLSv1."), std::string::npos) << statuses;

  // Without a redirect the Referer is the address as given.
  EXPECT_EQ(GetPageHtml(http, secure.Url("/games/index.html"), 1, outcome), "<p>games</p>");
  EXPECT_EQ(http.Request.Referer, secure.Url("/games/index.html"));
  EXPECT_EQ(FinalAddressOf(http), secure.Url("/games/index.html"));
}
