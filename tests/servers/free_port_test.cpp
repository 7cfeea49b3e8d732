#include "tests/support/free_port.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/scripted_peer.h"

using namespace std::chrono_literals;

TEST(FreePortTest, NobodyListensOnAFreePort) {
  const int port = FreeTcpPort();
  EXPECT_GT(port, 0);
  EXPECT_LT(port, 65536);
  EXPECT_FALSE(PortAccepts(port));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitUntilPortAccepts(port, 100ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

TEST(FreePortTest, WaitEndsWhenThePortAcceptsOrTheCallerGivesUp) {
  ScriptedPeer peer([](PeerConnection&) {});
  EXPECT_TRUE(WaitUntilPortAccepts(peer.Port(), 1s));

  const int port = FreeTcpPort();
  int asked = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitUntilPortAccepts(port, 10s, [&] { return ++asked < 3; }));
  EXPECT_EQ(asked, 3);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}
