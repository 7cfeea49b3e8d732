#include "tests/support/dante_server.h"

#include <gtest/gtest.h>

#include "tests/servers/socks_handshake.h"
#include "tests/support/child_process.h"
#include "tests/support/free_port.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/tcp_channel.h"

namespace {

// Answers "ping" with "pong" on every connection.
ScriptedPeer::Script Pong() {
  return [](PeerConnection& c) {
    c.ReceiveExactly(4);
    c.Send("pong");
  };
}

}  // namespace

TEST(DanteServerTest, RelaysSocks5AndSocks4WithoutAuthentication) {
  ScriptedPeer target(Pong());
  DanteServer dante;
  dante.Start();
  const pid_t pid = dante.Pid();

  auto five = TcpChannel::Connect(dante.Port());
  const std::string reply = Socks5Connect(*five, target.Port());
  EXPECT_EQ(reply.substr(0, 4), std::string("\x05\x00\x00\x01", 4)) << dante.Log();
  five->Send("ping");
  EXPECT_EQ(five->ReceiveExactly(4), "pong");

  auto four = TcpChannel::Connect(dante.Port());
  EXPECT_EQ(Socks4Connect(*four, target.Port(), "me").substr(0, 2), std::string("\x00\x5a", 2));
  four->Send("ping");
  EXPECT_EQ(four->ReceiveExactly(4), "pong");
  five->Close();
  four->Close();
  EXPECT_TRUE(target.WaitUntilIdle());
  EXPECT_EQ(target.Received(0), "ping");
  EXPECT_EQ(target.Received(1), "ping");

  // A refused target is reported, not relayed.
  auto refused = TcpChannel::Connect(dante.Port());
  EXPECT_EQ(Socks5Connect(*refused, FreeTcpPort()).substr(0, 2), std::string("\x05\x05", 2));

  dante.Stop();
  EXPECT_FALSE(ProcessAlive(pid));
  EXPECT_FALSE(ProcessGroupAlive(pid));
}

TEST(DanteServerTest, RequiresTheTestAccountsPassword) {
  ScriptedPeer target(Pong());
  DanteServer dante(true);
  dante.Start();

  auto noAuth = TcpChannel::Connect(dante.Port());
  EXPECT_EQ(Socks5Connect(*noAuth, target.Port()), "\x05\xff");
  auto wrong = TcpChannel::Connect(dante.Port());
  EXPECT_NE(Socks5Connect(*wrong, target.Port(), DanteServer::kUserName, "wrong")[1], 0);
  auto four = TcpChannel::Connect(dante.Port());
  EXPECT_NE(Socks4Connect(*four, target.Port()).substr(0, 2), std::string("\x00\x5a", 2));

  auto good = TcpChannel::Connect(dante.Port());
  EXPECT_EQ(Socks5Connect(*good, target.Port(), DanteServer::kUserName, DanteServer::kPassword)
                .substr(0, 4),
            std::string("\x05\x00\x00\x01", 4))
      << dante.Log();
  good->Send("ping");
  EXPECT_EQ(good->ReceiveExactly(4), "pong");
  EXPECT_EQ(target.ConnectionCount(), 1);
}
