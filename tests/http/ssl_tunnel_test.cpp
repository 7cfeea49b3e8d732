// The CONNECT tunnel, against scripted peers on loopback. A test handler that "negotiates"
// without encrypting shows the tunnel's bytes in the clear.
#include "net/ssl_io_handler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "http/http.h"
#include "tests/support/http_text.h"
#include "tests/support/memory_io_handler.h"
#include "tests/support/scripted_peer.h"

namespace {

// Counts negotiations and lets bytes pass unchanged afterwards.
class TClearTextTLS : public TNetSSLIOHandlerSocket {
 public:
  int Negotiations = 0;

 protected:
  void StartTLS() override { ++Negotiations; }
};

const std::string kHandshakeFailed = "ENetSSLProtocolReplyError: TLS handshake with ";

bool StartsWith(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

}  // namespace

TEST(SslTunnel, TunnelThroughTheProxyThenTheRequestInside) {
  std::string connectHead, innerHead;
  ScriptedPeer proxy([&](PeerConnection& c) {
    connectHead = c.ReceiveUntil("\r\n\r\n");
    c.Send("HTTP/1.1 200 Connection established\r\n\r\n");
    innerHead = c.ReceiveUntil("\r\n\r\n");
    c.Send(HttpResponse(200, "OK", {}, "secret page"));
  });
  TClearTextTLS tls;
  TNetHTTP http;
  http.SetIOHandler(&tls);
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  TStringStream out;
  http.HttpGet("https://origin.test/secure?x=1", out);
  EXPECT_EQ(out.DataString(), "secret page");
  EXPECT_EQ(connectHead,
            "CONNECT origin.test:443 HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Pragma: no-cache\r\n"
            "Proxy-Connection: keep-alive\r\n"
            "Host: origin.test:443\r\n"
            "Accept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Net Library)\r\n"
            "\r\n");
  const RequestHead inner = ParseRequestHead(innerHead);
  EXPECT_EQ(inner.RequestLine, "GET /secure?x=1 HTTP/1.1");
  EXPECT_EQ(inner.Header("Host").value_or(""), "origin.test:443");
  EXPECT_EQ(tls.Negotiations, 1);
  EXPECT_FALSE(tls.PassThrough());
  EXPECT_EQ(http.Request.ConnectionKind, TNetConnectionKind::ckTlsViaProxy);
}

TEST(SslTunnel, TunnelAnswersAProxyChallenge) {
  std::vector<std::string> heads;
  ScriptedPeer proxy([&](PeerConnection& c) {
    heads.push_back(c.ReceiveUntil("\r\n\r\n"));
    c.Send(HttpResponse(407, "Proxy Authentication Required",
                        {"Proxy-Authenticate: Basic realm=\"p\""}, "who?"));
    heads.push_back(c.ReceiveUntil("\r\n\r\n"));
    c.Send("HTTP/1.1 200 OK\r\n\r\n");
    heads.push_back(c.ReceiveUntil("\r\n\r\n"));
    c.Send(HttpResponse(200, "OK", {}, "inside"));
  });
  TClearTextTLS tls;
  TNetHTTP http;
  http.SetIOHandler(&tls);
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  http.OnProxyAuthorization = [](TObject*, TNetAuthentication* authentication, bool& handled) {
    authentication->AssignUser("pu");
    authentication->AssignPassword("pp");
    handled = true;
  };
  TStringStream out;
  http.HttpGet("https://origin.test/", out);
  EXPECT_EQ(out.DataString(), "inside");
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(ParseRequestHead(heads[0]).HeaderCount("Proxy-Authorization"), 0);
  EXPECT_EQ(ParseRequestHead(heads[1]).Header("Proxy-Authorization").value_or(""),
            "Basic cHU6cHA=");
  // The request inside the tunnel goes to the server: no proxy credentials in it.
  EXPECT_EQ(ParseRequestHead(heads[2]).RequestLine, "GET / HTTP/1.1");
  EXPECT_EQ(ParseRequestHead(heads[2]).HeaderCount("Proxy-Authorization"), 0);
  EXPECT_EQ(http.ProxyParams.ProxyUsername, "pu");
}

TEST(SslTunnel, ProxyThatNeverOpensTheTunnelIsGivenUp) {
  int connects = 0;
  ScriptedPeer proxy([&](PeerConnection& c) {
    std::string head;
    while (c.TryReceiveUntil("\r\n\r\n", &head, std::chrono::milliseconds(2000))) {
      ++connects;
      c.Send(HttpResponse(302, "Found", {"Location: /elsewhere"}, ""));
    }
  });
  TClearTextTLS tls;
  TNetHTTP http;
  http.HandleRedirects = true;
  http.SetIOHandler(&tls);
  http.ProxyParams.SetProxyServer("127.0.0.1");
  http.ProxyParams.SetProxyPort(proxy.Port());
  TStringStream out;
  EXPECT_EQ(ErrorOf([&] { http.HttpGet("https://origin.test/", out); }),
            "ENetHTTPProtocolException: HTTP/1.1 302 Found");
  http.CloseConnection();
  proxy.WaitUntilIdle();
  EXPECT_EQ(connects, 2 * http.AuthRetries + 2);
  EXPECT_EQ(tls.Negotiations, 0);
}

TEST(SslTunnel, FailedHandshakeSendsNothingInTheClear) {
  std::vector<std::string> received;
  ScriptedPeer peer([&](PeerConnection& c) {
    std::string head;
    if (c.TryReceiveUntil("\r\n\r\n", &head, std::chrono::milliseconds(500))) {
      received.push_back(head);
      c.Send("HTTP/1.1 200 Connection established\r\n\r\n");
      c.WaitForClose(std::chrono::milliseconds(1000));
    }
  });
  const std::string port = std::to_string(peer.Port());
  {
    // Directly: the handshake fails, and the connection is closed again.
    TNetSSLIOHandlerSocket tls;
    TNetHTTP http;
    http.SetIOHandler(&tls);
    TStringStream out;
    const std::string error =
        ErrorOf([&] { http.HttpGet("https://127.0.0.1:" + port + "/", out); });
    EXPECT_TRUE(StartsWith(error, kHandshakeFailed + "127.0.0.1 failed: ")) << error;
    EXPECT_FALSE(http.IsConnected());
    EXPECT_FALSE(tls.PassThrough());
    // A plain address puts the handler back into pass-through.
    EXPECT_EQ(http.ChooseEndpoint(), TNetConnectionKind::ckDirectTls);
    http.CurrentAddress.Scheme = "http";
    EXPECT_EQ(http.ChooseEndpoint(), TNetConnectionKind::ckDirect);
    EXPECT_TRUE(tls.PassThrough());
  }
  {
    // Through a proxy: CONNECT in the clear, then the handshake fails.
    TNetSSLIOHandlerSocket tls;
    TNetHTTP http;
    http.SetIOHandler(&tls);
    http.ProxyParams.SetProxyServer("127.0.0.1");
    http.ProxyParams.SetProxyPort(peer.Port());
    TStringStream out;
    // The name checked is the server's behind the proxy.
    const std::string error = ErrorOf([&] { http.HttpGet("https://origin.test/", out); });
    EXPECT_TRUE(StartsWith(error, kHandshakeFailed + "origin.test failed: ")) << error;
    EXPECT_FALSE(http.IsConnected());
  }
  peer.WaitUntilIdle();
  // Only the CONNECT reached a peer; no request head travelled unencrypted.
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].rfind("CONNECT origin.test:443 HTTP/1.1\r\n", 0), 0u);
}
