#include "tests/support/microsocks_server.h"

#include <gtest/gtest.h>

#include "tests/servers/socks_handshake.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_peer.h"

namespace {

const std::string kGranted("\x05\x00\x00\x01", 4);

ScriptedPeer::Script Pong() {
  return [](PeerConnection& c) {
    c.ReceiveExactly(4);
    c.Send("pong");
  };
}

}  // namespace

TEST(MicrosocksServerTest, RelaysSocks5WithoutAuthenticationAndStops) {
  ScriptedPeer target(Pong());
  MicrosocksServer socks;
  socks.Start();
  const pid_t pid = socks.Pid();

  auto client = TcpChannel::Connect(socks.Port());
  EXPECT_EQ(Socks5Connect(*client, target.Port()).substr(0, 4), kGranted) << socks.Log();
  client->Send("ping");
  EXPECT_EQ(client->ReceiveExactly(4), "pong");
  client->Close();
  EXPECT_TRUE(target.WaitUntilIdle());
  EXPECT_EQ(target.Received(0), "ping");

  socks.Stop();
  EXPECT_FALSE(socks.Running());
  EXPECT_FALSE(ProcessAlive(pid));
}

TEST(MicrosocksServerTest, AsksForTheGivenUserAndPassword) {
  ScriptedPeer target(Pong());
  MicrosocksServer socks("mu", "mp");
  socks.Start();

  auto noAuth = TcpChannel::Connect(socks.Port());
  EXPECT_EQ(Socks5Connect(*noAuth, target.Port()), "\x05\xff");
  auto wrong = TcpChannel::Connect(socks.Port());
  EXPECT_NE(Socks5Connect(*wrong, target.Port(), "mu", "bad")[1], 0);
  auto good = TcpChannel::Connect(socks.Port());
  EXPECT_EQ(Socks5Connect(*good, target.Port(), "mu", "mp").substr(0, 4), kGranted);
  good->Send("ping");
  EXPECT_EQ(good->ReceiveExactly(4), "pong");
  EXPECT_EQ(target.ConnectionCount(), 1);
}
