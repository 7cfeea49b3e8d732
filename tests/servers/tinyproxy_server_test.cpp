#include "tests/support/tinyproxy_server.h"

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/free_port.h"
#include "tests/support/http_text.h"
#include "tests/support/scripted_peer.h"

namespace {

// Answers one request with "hi", recording it.
ScriptedPeer::Script Hi() {
  return [](PeerConnection& c) {
    c.ReceiveUntil("\r\n\r\n");
    c.Send(HttpResponse(200, "OK", {}, "hi"));
  };
}

std::string ProxyGet(const std::string& url, const std::string& extraLine = "") {
  return "GET " + url + " HTTP/1.1\r\nHost: " + url.substr(7, url.find('/', 7) - 7) + "\r\n" +
         extraLine + "Proxy-Connection: close\r\n\r\n";
}

int StatusOf(const std::string& head) {
  return std::stoi(head.substr(9, 3));
}

}  // namespace

TEST(TinyproxyServerTest, RelaysAnAbsoluteFormRequestAndStops) {
  ScriptedPeer origin(Hi());
  TinyproxyServer proxy;
  proxy.Start();
  const pid_t pid = proxy.Pid();

  auto client = TcpChannel::Connect(proxy.Port());
  client->Send(ProxyGet(origin.Url("/x?y=1")));
  const std::string head = client->ReceiveUntil("\r\n\r\n");
  EXPECT_EQ(StatusOf(head), 200) << head << proxy.Log();
  EXPECT_EQ(ParseRequestHead(head).Header("Content-Length"), "2");
  EXPECT_EQ(client->ReceiveExactly(2), "hi");

  ASSERT_TRUE(origin.WaitForConnections(1));
  const RequestHead forwarded = ParseRequestHead(origin.Received(0));
  EXPECT_EQ(forwarded.Method, "GET");
  EXPECT_EQ(forwarded.Target, "/x?y=1");
  EXPECT_EQ(forwarded.Header("Host"), "127.0.0.1:" + std::to_string(origin.Port()));

  proxy.Stop();
  EXPECT_FALSE(ProcessAlive(pid));
  EXPECT_FALSE(ProcessGroupAlive(pid));
}

TEST(TinyproxyServerTest, BasicAuthConnectPortsAndHostFilter) {
  ScriptedPeer origin(Hi());
  TinyproxyServer proxy;
  proxy.BasicAuthUser = "pu";
  proxy.BasicAuthPassword = "pp";
  proxy.ConnectPorts = {origin.Port()};
  proxy.AllowedHosts = {"^127\\.0\\.0\\.1$"};
  proxy.Start();

  auto anonymous = TcpChannel::Connect(proxy.Port());
  anonymous->Send(ProxyGet(origin.Url("/")));
  const std::string refused = anonymous->ReceiveUntil("\r\n\r\n");
  EXPECT_EQ(StatusOf(refused), 407);
  EXPECT_TRUE(ParseRequestHead(refused).Header("Proxy-Authenticate").has_value());

  // "pu:pp" in Base64.
  const std::string credentials = "Proxy-Authorization: Basic cHU6cHA=\r\n";
  auto authorized = TcpChannel::Connect(proxy.Port());
  authorized->Send(ProxyGet(origin.Url("/"), credentials));
  EXPECT_EQ(StatusOf(authorized->ReceiveUntil("\r\n\r\n")), 200);

  const std::string target = "127.0.0.1:" + std::to_string(origin.Port());
  auto tunnel = TcpChannel::Connect(proxy.Port());
  tunnel->Send("CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n" + credentials +
               "\r\n");
  EXPECT_EQ(StatusOf(tunnel->ReceiveUntil("\r\n\r\n")), 200);
  tunnel->Send("GET / HTTP/1.1\r\nHost: h\r\n\r\n");
  EXPECT_EQ(tunnel->ReceiveUntil("\r\n\r\n"), "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n");

  const std::string otherPort = "127.0.0.1:" + std::to_string(FreeTcpPort());
  auto forbidden = TcpChannel::Connect(proxy.Port());
  forbidden->Send("CONNECT " + otherPort + " HTTP/1.1\r\nHost: " + otherPort + "\r\n" +
                  credentials + "\r\n");
  EXPECT_EQ(StatusOf(forbidden->ReceiveUntil("\r\n\r\n")), 403);

  // Not on the allow list: refused without a connection.
  auto filtered = TcpChannel::Connect(proxy.Port());
  filtered->Send(ProxyGet("http://localhost:" + std::to_string(origin.Port()) + "/", credentials));
  EXPECT_EQ(StatusOf(filtered->ReceiveUntil("\r\n\r\n")), 403);
  EXPECT_EQ(origin.ConnectionCount(), 2);
}
