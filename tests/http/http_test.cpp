// TNetHTTP against real servers on loopback: nginx, tinyproxy and the SOCKS servers.
#include "http/http.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "net/io_handler_socket.h"
#include "net/socks_info.h"
#include "tests/http/response_cases.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/memory_io_handler.h"
#include "tests/support/microsocks_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/tinyproxy_server.h"

namespace {

// nginx with a second access log that names each request's connection and its cookies.
struct Nginx : NginxServer {
  Nginx() {
    HttpDirectives += "  log_format fgconn '$connection $request \"$http_cookie\"';\n";
    ServerDirectives += "    access_log " + Dir().Path() + "/conn.log fgconn;\n";
  }
  // One line per request: connection number, request line, cookie header. nginx logs a request
  // after answering it, so the last lines may still be on their way.
  std::vector<std::string> Requests(size_t expected) const {
    std::vector<std::string> lines;
    for (int wait = 0; wait < 200; ++wait) {
      lines.clear();
      const std::string text = ReadFileBytes(Dir().Path() + "/conn.log");
      for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
      }
      if (lines.size() >= expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lines;
  }
};

std::string ConnectionOf(const std::string& logLine) {
  return logLine.substr(0, logLine.find(' '));
}

// A client that counts its connects.
struct Client {
  TNetHTTP http;
  int connects = 0;
  Client() {
    http.OnStatus = [this](TObject*, TNetStatus status, const std::string&) {
      if (status == TNetStatus::hsConnected) ++connects;
    };
  }
  std::string Get(const std::string& address) {
    TStringStream out;
    http.HttpGet(address, out);
    return out.DataString();
  }
  std::string Fails(const std::string& address) {
    TStringStream out;
    return ErrorOf([&] { http.HttpGet(address, out); });
  }
};

}  // namespace

TEST(HttpNginx, StaticFilesShareOneKeptConnection) {
  Nginx nginx;
  nginx.WriteFile("a.txt", "first file\n");
  nginx.WriteGeneratedFile("big.bin", 3 * 1024 * 1024 + 17);
  nginx.WriteFile("dir/c.html", "<p>third</p>");
  nginx.Start();
  Client c;
  EXPECT_EQ(c.Get(nginx.Url("/a.txt")), "first file\n");
  EXPECT_EQ(c.Get(nginx.Url("/big.bin")), GeneratedBytes(0, 3 * 1024 * 1024 + 17));
  EXPECT_EQ(c.Get(nginx.Url("/dir/c.html")), "<p>third</p>");
  EXPECT_EQ(c.Get("../a.txt"), "first file\n");  // relative to the last address
  EXPECT_EQ(c.connects, 1);
  const std::vector<std::string> requests = nginx.Requests(4);
  ASSERT_EQ(requests.size(), 4u);
  for (const std::string& line : requests)
    EXPECT_EQ(ConnectionOf(line), ConnectionOf(requests[0])) << line;
  EXPECT_EQ(c.http.LastResponse.ContentLength, 11);
  EXPECT_TRUE(c.http.IsConnected());
}

TEST(HttpNginx, ErrorPageAndRedirections) {
  Nginx nginx;
  nginx.WriteFile("new.txt", "new place");
  nginx.AddLocation("= /old", "return 301 /new.txt;");
  nginx.AddLocation("= /temp", "return 302 /new.txt;");
  nginx.Start();
  Client c;
  TStringStream out;
  try {
    c.http.HttpGet(nginx.Url("/missing.html"), out);
    FAIL() << "no exception";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(e.StatusCode(), 404);
    EXPECT_NE(e.BodyText().find("<title>404 Not Found</title>"), std::string::npos);
  }
  EXPECT_EQ(c.Fails(nginx.Url("/old")),
            "ENetHTTPProtocolException: HTTP/1.1 301 Moved Permanently");
  EXPECT_EQ(c.http.StatusCode(), 301);
  EXPECT_EQ(c.Fails(nginx.Url("/temp")),
            "ENetHTTPProtocolException: HTTP/1.1 302 Moved Temporarily");
  EXPECT_EQ(out.DataString(), "");

  c.http.HandleRedirects = true;
  EXPECT_EQ(c.Get(nginx.Url("/old")), "new place");
  EXPECT_EQ(c.Get(nginx.Url("/temp")), "new place");
  // Error bodies and redirection bodies were read to their end: one connection served all.
  EXPECT_EQ(c.connects, 1);
}

TEST(HttpNginx, BasicAuthenticationUnaskedAndThroughTheHandler) {
  Nginx nginx;
  nginx.WriteFile("private/data.txt", "for alice");
  nginx.AddBasicAuth("/private/", "alice", "s3cret");
  nginx.Start();
  {
    Client c;
    EXPECT_EQ(c.Fails(nginx.Url("/private/data.txt")),
              "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(c.http.LastResponse.WWWAuthenticate.Count(), 1);
  }
  {
    Client c;
    c.http.Request.Username = "alice";
    c.http.Request.Password = "s3cret";
    c.http.Request.BasicAuthentication = true;
    EXPECT_EQ(c.Get(nginx.Url("/private/data.txt")), "for alice");
  }
  {
    Client c;
    c.http.Request.Username = "alice";
    c.http.Request.Password = "wrong";
    c.http.Request.BasicAuthentication = true;
    EXPECT_EQ(c.Fails(nginx.Url("/private/data.txt")),
              "ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized");
  }
  {
    Client c;
    c.http.HTTPOptions.Include(TNetHTTPOption::hoInProcessAuth);
    std::vector<std::string> realms;
    c.http.OnAuthorization = [&](TObject*, TNetAuthentication* authentication, bool& handled) {
      realms.push_back(authentication->AuthValues.ValueOf("realm"));
      authentication->AssignUser("alice");
      authentication->AssignPassword("s3cret");
      handled = true;
    };
    EXPECT_EQ(c.Get(nginx.Url("/private/data.txt")), "for alice");
    EXPECT_EQ(realms, (std::vector<std::string>{"\"Restricted\""}));
    EXPECT_TRUE(c.http.Request.BasicAuthentication);
    EXPECT_EQ(c.connects, 1);
  }
}

TEST(HttpNginx, CookieSetByTheServerIsSentOnTheNextRequest) {
  Nginx nginx;
  nginx.WriteFile("c/set.txt", "set");
  nginx.WriteFile("plain.txt", "plain");
  nginx.AddLocation("/c/", "add_header Set-Cookie \"session=abc123; Path=/\";");
  nginx.Start();
  Client c;
  EXPECT_EQ(c.Get(nginx.Url("/plain.txt")), "plain");
  EXPECT_EQ(c.Get(nginx.Url("/c/set.txt")), "set");
  EXPECT_EQ(c.Get(nginx.Url("/plain.txt")), "plain");
  const std::vector<std::string> requests = nginx.Requests(3);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("\"-\""), std::string::npos) << requests[0];
  EXPECT_NE(requests[1].find("\"-\""), std::string::npos) << requests[1];
  EXPECT_NE(requests[2].find("\"session=abc123\""), std::string::npos) << requests[2];
}

TEST(HttpNginx, ChunkedResponse) {
  Nginx nginx;
  std::string page;
  for (int i = 0; i < 2000; ++i)
    page += "line " + std::to_string(i) + " of the chunked page\n";
  nginx.WriteFile("ssi/page.html", page);
  nginx.WriteFile("after.txt", "after");
  nginx.AddChunkedLocation("/ssi/");
  nginx.Start();
  Client c;
  EXPECT_EQ(c.Get(nginx.Url("/ssi/page.html")), page);
  EXPECT_EQ(c.http.LastResponse.HeaderLines.ValueOf("Transfer-Encoding"), "chunked");
  EXPECT_EQ(c.Get(nginx.Url("/after.txt")), "after");
  EXPECT_EQ(c.connects, 1);
}

TEST(HttpProxy, TinyproxyRelaysAbsoluteTargetsAndAsksForCredentials) {
  Nginx nginx;
  nginx.WriteFile("a.txt", "through the proxy");
  nginx.Start();
  TinyproxyServer proxy;
  proxy.Start();
  {
    Client c;
    std::vector<std::vector<std::string>> heads;
    c.http.OnRequestHead = [&](TObject*, const std::vector<std::string>& lines) {
      heads.push_back(lines);
    };
    c.http.ProxyParams.SetProxyServer("127.0.0.1");
    c.http.ProxyParams.SetProxyPort(proxy.Port());
    c.http.ProtocolVersion = TNetHTTPProtocolVersion::pv1_0;
    EXPECT_EQ(c.Get(nginx.Url("/a.txt")), "through the proxy");
    EXPECT_EQ(c.Get(nginx.Url("/a.txt")), "through the proxy");
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[0][0], "GET " + nginx.Url("/a.txt") + " HTTP/1.0");
    EXPECT_NE(std::find(heads[0].begin(), heads[0].end(), "Proxy-Connection: keep-alive"),
              heads[0].end());
  }
  TinyproxyServer guarded;
  guarded.BasicAuthUser = "puser";
  guarded.BasicAuthPassword = "ppass";
  guarded.Start();
  {
    Client c;
    c.http.ProxyParams.SetProxyServer("127.0.0.1");
    c.http.ProxyParams.SetProxyPort(guarded.Port());
    const std::string error = c.Fails(nginx.Url("/a.txt"));
    EXPECT_EQ(error.rfind("ENetHTTPProtocolException: HTTP/1.", 0), 0u) << error;
    EXPECT_EQ(c.http.StatusCode(), 407);
  }
  {
    Client c;
    c.http.ProxyParams.SetProxyServer("127.0.0.1");
    c.http.ProxyParams.SetProxyPort(guarded.Port());
    c.http.ProxyParams.ProxyUsername = "puser";
    c.http.ProxyParams.ProxyPassword = "ppass";
    c.http.ProxyParams.BasicAuthentication = true;
    EXPECT_EQ(c.Get(nginx.Url("/a.txt")), "through the proxy");
  }
}

TEST(HttpSocks, Socks5WithCredentialsThroughMicrosocks) {
  Nginx nginx;
  nginx.WriteGeneratedFile("g.bin", 200000);
  nginx.Start();
  MicrosocksServer socks("suser", "spass");
  socks.Start();
  TNetIOHandlerSocket handler;
  TNetSocksInfo* info = handler.SocksInfo();
  info->Version = TSocksVersion::svSocks5;
  info->Host = "127.0.0.1";
  info->Port = socks.Port();
  info->Username = "suser";
  info->Password = "spass";
  info->Authentication = TSocksAuthentication::saUsernamePassword;
  Client c;
  c.http.SetIOHandler(&handler);
  EXPECT_EQ(c.Get(nginx.Url("/g.bin")), GeneratedBytes(0, 200000));
  EXPECT_EQ(c.Get(nginx.Url("/g.bin")), GeneratedBytes(0, 200000));
  EXPECT_EQ(c.connects, 1);
}

TEST(HttpScriptedPeers, ResponseTableOverRealSockets) {
  using namespace response_cases;
  const std::string next = HttpResponse(200, "OK", {}, "next");
  for (const ResponseCase& c : ShortCases()) {
    for (const size_t piece : {size_t{0}, size_t{7}}) {
      // The first connection gets the case (in pieces of 7 bytes with pauses, or whole); the
      // request after it is answered on the same connection or on a new one.
      ScriptedPeer peer([&](PeerConnection& pc) {
        std::string head;
        if (pc.Index() == 0) {
          pc.ReceiveUntil("\r\n\r\n");
          if (piece == 0)
            pc.Send(c.bytes);
          else
            pc.SendInPieces(c.bytes, piece, std::chrono::milliseconds(1));
          if (c.closeAfter) {
            pc.Close();
            return;
          }
        }
        while (pc.TryReceiveUntil("\r\n\r\n", &head, std::chrono::milliseconds(2000)))
          pc.Send(next);
      });
      const std::string label = c.name + (piece ? " in pieces" : " whole");
      Client client;
      TStringStream out;
      EXPECT_EQ(ErrorOf([&] { client.http.HttpGet(peer.Url("/a"), out); }), c.error) << label;
      EXPECT_EQ(out.DataString(), c.body) << label;
      EXPECT_EQ(client.Get(peer.Url("/b")), "next") << label;
      EXPECT_EQ(client.connects, c.keeps ? 1 : 2) << label;
      client.http.CloseConnection();
      EXPECT_TRUE(peer.Failures().empty()) << label;
    }
  }
}

TEST(HttpScriptedPeers, IdleConnectionClosedByTheServerIsReplaced) {
  ScriptedPeer peer([](PeerConnection& pc) {
    pc.ReceiveUntil("\r\n\r\n");
    pc.Send(HttpResponse(200, "OK", {}, "served by " + std::to_string(pc.Index())));
    // Idle after the answer: the server gives up on the kept connection.
    pc.Close();
  });
  Client c;
  EXPECT_EQ(c.Get(peer.Url("/")), "served by 0");
  ASSERT_TRUE(peer.WaitUntilIdle());
  EXPECT_EQ(c.Get(peer.Url("/")), "served by 1");
  EXPECT_EQ(c.connects, 2);
}
