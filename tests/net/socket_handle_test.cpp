#include "net/socket_handle.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "base/net_exceptions.h"
#include "net/net_component.h"
#include "net/stack.h"

namespace {

using Clock = std::chrono::steady_clock;

// A socket of our own bound to 0.0.0.0:port (listening when asked), so that the port is
// in use for the handle under test; -1 when the port is taken already.
int Occupy(int port, bool listening = false) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(listening ? INADDR_LOOPBACK : INADDR_ANY);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      (listening && ::listen(fd, 8) != 0)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class SocketHandleTest : public ::testing::Test {
 protected:
  ~SocketHandleTest() override {
    for (int fd : held_)
      ::close(fd);
  }
  // Three consecutive ports that are free now, below the ephemeral range; the first one is
  // returned and all three are left free.
  int FreePortRun() {
    std::mt19937 random(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 200; ++attempt) {
      const int base = 20000 + static_cast<int>(random() % 10000);
      int fds[3];
      int taken = 0;
      for (; taken < 3; ++taken)
        if ((fds[taken] = Occupy(base + taken)) < 0) break;
      for (int i = 0; i < taken; ++i)
        ::close(fds[i]);
      if (taken == 3) return base;
    }
    ADD_FAILURE() << "no three free consecutive ports";
    return 0;
  }
  void Hold(int port) {
    const int fd = Occupy(port);
    ASSERT_GE(fd, 0) << "port " << port << " was taken meanwhile";
    held_.push_back(fd);
  }
  int Listener(int& port) {
    int fd = -1;
    for (int attempt = 0; attempt < 50 && fd < 0; ++attempt) {
      port = FreePortRun();
      fd = Occupy(port, true);
    }
    held_.push_back(fd);
    return fd;
  }

  TNetComponent stackReference_;
  std::vector<int> held_;
};

TEST_F(SocketHandleTest, NewHandleIsReset) {
  TNetSocketHandle handle;
  EXPECT_EQ(handle.HandleValue(), -1);
  EXPECT_FALSE(handle.IsAllocated());
  EXPECT_EQ(handle.IP, "");
  EXPECT_EQ(handle.Port, 0);
  EXPECT_EQ(handle.ClientPortMin, 0);
  EXPECT_EQ(handle.ClientPortMax, 0);
}

TEST_F(SocketHandleTest, DefaultsBindToAnyAddressAndAnEphemeralPort) {
  TNetSocketHandle handle;
  handle.AllocateHandle(SOCK_STREAM, 0);
  ASSERT_TRUE(handle.IsAllocated());
  handle.BindHandle();
  EXPECT_EQ(handle.IP, "0.0.0.0");
  EXPECT_GT(handle.Port, 0);

  TNetSocketHandle loopback;
  loopback.AllocateHandle(SOCK_STREAM, 0);
  loopback.IP = "127.0.0.1";
  loopback.BindHandle();
  EXPECT_EQ(loopback.IP, "127.0.0.1");
  EXPECT_GT(loopback.Port, 0);
}

TEST_F(SocketHandleTest, PortRangeBindsTheHighestFreePortFirst) {
  const int low = FreePortRun();
  const int high = low + 2;
  {
    TNetSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM, 0);
    handle.ClientPortMin = low;
    handle.ClientPortMax = high;
    handle.BindHandle();
    EXPECT_EQ(handle.Port, high);
  }
  Hold(high);
  {
    TNetSocketHandle handle;
    handle.AllocateHandle(SOCK_STREAM, 0);
    handle.ClientPortMin = low;
    handle.ClientPortMax = high;
    handle.BindHandle();
    EXPECT_EQ(handle.Port, low + 1);
  }
  Hold(low + 1);
  Hold(low);
  TNetSocketHandle handle;
  handle.AllocateHandle(SOCK_STREAM, 0);
  handle.ClientPortMin = low;
  handle.ClientPortMax = high;
  try {
    handle.BindHandle();
    FAIL() << "no exception";
  } catch (const ENetCanNotBindPortInRange& e) {
    EXPECT_EQ(e.Message(), "Can not bind in port range (" + std::to_string(low) + " - " +
                               std::to_string(high) + ")");
  }
  EXPECT_EQ(handle.Port, low);
}

TEST_F(SocketHandleTest, FixedPortInUseAndBadRanges) {
  const int port = FreePortRun();
  Hold(port);
  TNetSocketHandle handle;
  handle.AllocateHandle(SOCK_STREAM, 0);
  handle.Port = port;
  // A fixed port wins over a range.
  handle.ClientPortMin = port + 1;
  handle.ClientPortMax = port + 2;
  try {
    handle.BindHandle();
    FAIL() << "no exception";
  } catch (const ENetCouldNotBindSocket& e) {
    EXPECT_EQ(e.Message(), "Could not bind socket. Address and port are already in use.");
  }

  TNetSocketHandle reversed;
  reversed.AllocateHandle(SOCK_STREAM, 0);
  reversed.ClientPortMin = 5002;
  reversed.ClientPortMax = 5000;
  try {
    reversed.BindHandle();
    FAIL() << "no exception";
  } catch (const ENetInvalidPortRange& e) {
    EXPECT_EQ(e.Message(), "Invalid Port Range (5002 - 5000)");
  }
  EXPECT_FALSE(reversed.BindInPortRange());

  // Only one end set: no range, one bind to an ephemeral port.
  TNetSocketHandle oneEnd;
  oneEnd.AllocateHandle(SOCK_STREAM, 0);
  oneEnd.ClientPortMin = port;
  oneEnd.BindHandle();
  EXPECT_NE(oneEnd.Port, port);
}

TEST_F(SocketHandleTest, OtherBindErrorsRaiseTheSocketError) {
  TNetSocketHandle handle;
  handle.AllocateHandle(SOCK_STREAM, 0);
  handle.IP = "192.0.2.1";  // not an address of this machine; nothing is sent
  try {
    handle.BindHandle();
    FAIL() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode(), 10049);
    EXPECT_EQ(e.Message(), "Socket Error # 10049\r\nCannot assign requested address.");
  }
}

TEST_F(SocketHandleTest, ConnectAcceptMoveBytesAndClose) {
  int port = 0;
  const int listener = Listener(port);
  TNetSocketHandle client;
  client.AllocateHandle(SOCK_STREAM, 0);
  client.BindHandle();
  client.SetPeerAddress("127.0.0.1", port);
  ASSERT_EQ(client.ConnectHandle(AF_INET), 0);
  EXPECT_EQ(client.RemoteIP, "127.0.0.1");
  EXPECT_EQ(client.RemotePort, port);
  EXPECT_EQ(client.IP, "127.0.0.1");  // refreshed from the connected socket

  TNetSocketHandle server;
  ASSERT_TRUE(server.AcceptInto(listener));
  EXPECT_EQ(server.Port, port);
  EXPECT_EQ(server.RemotePort, client.Port);

  const auto start = Clock::now();
  EXPECT_FALSE(server.WaitReadable(0));  // a poll
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50));
  ASSERT_EQ(client.SendSome("abc", 3, 0), 3);
  EXPECT_TRUE(server.WaitReadable(1000));
  char buffer[8] = {};
  EXPECT_EQ(server.ReceiveSome(buffer, sizeof buffer, 0), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");

  const int value = client.HandleValue();
  client.ShutAndClose();
  EXPECT_FALSE(client.IsAllocated());
  EXPECT_EQ(client.HandleValue(), value);  // kept until the next reset
  EXPECT_EQ(client.RemotePort, port);
  EXPECT_TRUE(server.WaitReadable(1000));  // the close is readable
  EXPECT_EQ(server.ReceiveSome(buffer, sizeof buffer, 0), 0);

  try {
    client.WaitReadable(0);
    FAIL() << "no exception";
  } catch (const ENetConnClosedGracefully& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }

  TNetSocketHandle copy;
  copy.CopyAddresses(client);
  EXPECT_EQ(copy.RemotePort, port);
  EXPECT_EQ(copy.Port, client.Port);
  client.ResetHandle(false);
  EXPECT_EQ(client.HandleValue(), -1);
  EXPECT_EQ(client.RemoteIP, "");
  EXPECT_EQ(client.RemotePort, 0);
  EXPECT_EQ(client.Port, copy.Port);
  client.ResetHandle(true);
  EXPECT_EQ(client.Port, 0);
  EXPECT_EQ(client.IP, "");
}

TEST_F(SocketHandleTest, SetOptionFailureRaises) {
  TNetSocketHandle handle;
  handle.AllocateHandle(SOCK_STREAM, 0);
  const int on = 1;
  EXPECT_NO_THROW(handle.SetHandleOption(SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on));
  EXPECT_THROW(handle.SetHandleOption(SOL_SOCKET, 0x7777, &on, sizeof on), ENetSocketError);
}

}  // namespace
