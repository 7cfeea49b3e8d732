#include "rescue/client_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "http/http.h"
#include "net/ssl_io_handler.h"
#include "rescue/stored_client_settings.h"
#include "rescue/web_client.h"

namespace {

// The client's settings that options can change, by name.
std::map<std::string, std::string> Settings(TNetHTTP& http, TNetSSLIOHandlerSocket& tls) {
  const TNetHTTPRequest& r = http.Request;
  const TNetSocksInfo& socks = *tls.SocksInfo();
  std::string custom;
  for (int i = 0; i < r.CustomHeaders.Count(); ++i)
    custom += r.CustomHeaders.Get(i) + "|";
  const auto credentials = [](bool basic, const std::string& user, const std::string& password) {
    return (basic ? "basic " : "none ") + user + ":" + password;
  };
  return {
      {"UserAgent", r.UserAgent},
      {"Referer", r.Referer},
      {"Accept", r.Accept},
      {"AcceptCharSet", r.AcceptCharSet},
      {"AcceptEncoding", r.AcceptEncoding},
      {"AcceptLanguage", r.AcceptLanguage},
      {"From", r.From},
      {"ContentType", r.ContentType},
      {"Custom", custom},
      {"User", credentials(r.BasicAuthentication, r.Username, r.Password)},
      {"Redirects",
       std::string(http.HandleRedirects ? "on " : "off ") + std::to_string(http.RedirectMaximum)},
      {"Http10", http.ProtocolVersion == TNetHTTPProtocolVersion::pv1_0 ? "yes" : "no"},
      {"ReadTimeout", std::to_string(http.ReadTimeout)},
      {"ConnectTimeout", std::to_string(http.ConnectTimeout)},
      {"TransferTimeout", std::to_string(http.TransferTimeout)},
      {"DecodeContent", http.DecodeContent ? "yes" : "no"},
      {"Proxy",
       http.ProxyParams.ProxyServer() + ":" + std::to_string(http.ProxyParams.ProxyPort())},
      {"ProxyUser", credentials(http.ProxyParams.BasicAuthentication,
                                http.ProxyParams.ProxyUsername, http.ProxyParams.ProxyPassword)},
      {"Socks", std::to_string(static_cast<int>(socks.Version)) + " " + socks.Host + ":" +
                    std::to_string(socks.Port)},
      {"SocksUser", credentials(socks.Authentication == TSocksAuthentication::saUsernamePassword,
                                socks.Username, socks.Password)},
      {"VerifyPeer", tls.VerifyPeer ? "yes" : "no"},
      {"CAFile", tls.CAFile},
      {"Handler", http.IOHandler() == &tls ? "tls" : "other"},
  };
}

TEST(ClientOptions, EachPartOfTheDescriptionReachesTheClient) {
  const struct {
    const char* name;
    std::function<void(TClientOptions&)> change;
    std::map<std::string, std::string> changed;  // the settings that differ from the window's
  } cases[] = {
      {"the window's clients", [](TClientOptions&) {}, {}},
      {"request fields",
       [](TClientOptions& o) {
         o.UserAgent = "agent/2";
         o.Referer = "http://h/";
         o.User = TCredentials{"me", "secret"};
       },
       {{"UserAgent", "agent/2"}, {"Referer", "http://h/"}, {"User", "basic me:secret"}}},
      {"headers with a field of their own go to it, trimmed; others are added as given",
       [](TClientOptions& o) {
         o.UserAgent = "agent/2";
         o.Headers = {"accept:  text/plain ",
                      "X-One: 1",
                      "User-Agent: agent/3",
                      "Accept-Charset: utf-8",
                      "accept-encoding: gzip",
                      "Accept-Language: de",
                      "From: me@h",
                      "Content-Type: a/b",
                      "Referer: http://r/",
                      "X-Two:2"};
       },
       {{"Accept", "text/plain"},
        {"UserAgent", "agent/3"},
        {"AcceptCharSet", "utf-8"},
        {"AcceptEncoding", "gzip"},
        {"AcceptLanguage", "de"},
        {"From", "me@h"},
        {"ContentType", "a/b"},
        {"Referer", "http://r/"},
        {"Custom", "X-One: 1|X-Two:2|"}}},
      {"redirections counted without the first request",
       [](TClientOptions& o) { o.MaxRedirects = 3; },
       {{"Redirects", "on 4"}}},
      {"no redirections",
       [](TClientOptions& o) { o.FollowRedirects = false; },
       {{"Redirects", "off 15"}}},
      {"protocol, time limits and compression",
       [](TClientOptions& o) {
         o.Http10 = true;
         o.StallTimeoutMs = 700;
         o.ConnectTimeoutMs = 800;
         o.MaxTimeMs = 900;
         o.Compressed = true;
       },
       {{"Http10", "yes"},
        {"ReadTimeout", "700"},
        {"ConnectTimeout", "800"},
        {"TransferTimeout", "900"},
        {"AcceptEncoding", "gzip, deflate"}}},
      {"proxy with credentials",
       [](TClientOptions& o) {
         o.ProxyHost = "proxy.local";
         o.ProxyPort = 3128;
         o.ProxyUser = TCredentials{"p", "q"};
       },
       {{"Proxy", "proxy.local:3128"}, {"ProxyUser", "basic p:q"}}},
      {"proxy credentials without a proxy go nowhere",
       [](TClientOptions& o) {
         o.ProxyUser = TCredentials{"p", "q"};
       },
       {}},
      {"SOCKS with credentials",
       [](TClientOptions& o) {
         o.Socks = TSocksVersion::svSocks4A;
         o.SocksHost = "socks.local";
         o.SocksPort = 1081;
         o.SocksUser = TCredentials{"u", "v"};
       },
       {{"Socks", "2 socks.local:1081"}, {"SocksUser", "basic u:v"}}},
      {"SOCKS credentials without a SOCKS server go nowhere",
       [](TClientOptions& o) {
         o.SocksUser = TCredentials{"u", "v"};
       },
       {}},
      {"TLS",
       [](TClientOptions& o) {
         o.VerifyPeer = false;
         o.CAFile = "/etc/ca.pem";
       },
       {{"VerifyPeer", "no"}, {"CAFile", "/etc/ca.pem"}}},
  };
  // The window's clients and the command line's are made from the options with their handler.
  TWebClient windowClient;
  ASSERT_EQ(windowClient.Http().IOHandler(), &windowClient.Tls());
  const std::map<std::string, std::string> window =
      Settings(windowClient.Http(), windowClient.Tls());
  EXPECT_EQ(window.at("UserAgent"), kStoredUserAgent);
  EXPECT_EQ(window.at("Redirects"), "on 15");
  EXPECT_EQ(window.at("Handler"), "tls");
  EXPECT_EQ(window.at("VerifyPeer"), "yes");
  // Every transfer has time limits, and no coded body reaches a caller as it came.
  EXPECT_EQ(window.at("ConnectTimeout"), "30000");
  EXPECT_EQ(window.at("ReadTimeout"), "60000");
  EXPECT_EQ(window.at("TransferTimeout"), "0");
  EXPECT_EQ(window.at("DecodeContent"), "yes");
  EXPECT_EQ(window.at("AcceptEncoding"), "");
  for (const auto& c : cases) {
    TClientOptions options;
    c.change(options);
    TWebClient client(options);
    std::map<std::string, std::string> expected = window;
    for (const auto& [name, value] : c.changed)
      expected[name] = value;
    EXPECT_EQ(Settings(client.Http(), client.Tls()), expected) << c.name;
  }
}

}  // namespace
