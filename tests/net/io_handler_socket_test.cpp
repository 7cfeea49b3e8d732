#include "net/io_handler_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/net_exceptions.h"
#include "net/anti_freeze.h"
#include "net/stack.h"
#include "tests/support/free_port.h"
#include "tests/support/scripted_peer.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A loopback listener that never accepts and whose accept queue is full, so that a further
// connect gets no answer at all: its SYNs are dropped.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = LoopbackAddress(0);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 0) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("listener");
    port_ = ntohs(address.sin_port);
    // Fill the queue until a connect stays unanswered.
    for (int i = 0; i < 16; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      fillers_.push_back(fd);
      const sockaddr_in target = LoopbackAddress(port_);
      ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
      pollfd p{fd, POLLOUT, 0};
      if (::poll(&p, 1, 200) == 0) return;  // this one hangs: the queue is full
    }
    throw std::runtime_error("the accept queue never filled");
  }
  ~SilentListener() {
    for (int fd : fillers_)
      ::close(fd);
    ::close(fd_);
  }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

// A port nobody listens on.
int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

struct StatusRecord {
  TObject* sender;
  TNetStatus status;
  std::string text;
};

class IOHandlerSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handler_.OnStatus = [this](TObject* sender, TNetStatus status, const std::string& text) {
      statuses_.push_back({sender, status, text});
    };
  }
  void TearDown() override { HostLookupHook = nullptr; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& s : statuses_)
      texts.push_back(s.text);
    return texts;
  }
  void Connect(const std::string& host, int port, int timeoutMs = 0) {
    handler_.OpenHandler();
    handler_.ConnectToPeer(host, port, "", 0, 0, 0, timeoutMs);
  }

  TNetIOHandlerSocket handler_;
  std::vector<StatusRecord> statuses_;
};

ScriptedPeer::Script Echo() {
  return [](PeerConnection& c) {
    std::string line;
    if (c.TryReceiveUntil("\n", &line)) c.Send(line);
    c.WaitForClose();
  };
}

TEST_F(IOHandlerSocketTest, ConnectsToADottedAddressAndMovesBytes) {
  ScriptedPeer peer(Echo());
  Connect("127.0.0.1", peer.Port());
  ASSERT_TRUE(handler_.IsOpen());
  EXPECT_EQ(Texts(), std::vector<std::string>{"Connecting to 127.0.0.1."});
  EXPECT_EQ(statuses_[0].sender, &handler_);
  EXPECT_EQ(statuses_[0].status, TNetStatus::hsConnecting);
  EXPECT_EQ(handler_.SocketHandle()->RemotePort, peer.Port());
  EXPECT_EQ(handler_.SocketHandle()->IP, "127.0.0.1");

  ASSERT_EQ(handler_.SendSome("ping\n", 5), 5);
  ASSERT_TRUE(handler_.WaitReadable(2000));
  char buffer[16] = {};
  EXPECT_EQ(handler_.ReceiveSome(buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), "ping\n");

  handler_.CloseHandler();
  EXPECT_FALSE(handler_.IsOpen());
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      if (attempt == 0)
        handler_.ReceiveSome(buffer, sizeof buffer);
      else
        handler_.SendSome("x", 1);
      FAIL() << "no exception";
    } catch (const ENetClosedSocket& e) {
      EXPECT_EQ(e.Message(), "Disconnected.");
    }
  }
  EXPECT_TRUE(peer.WaitUntilIdle());
}

TEST_F(IOHandlerSocketTest, NamesAreReportedBeforeTheLookup) {
  ScriptedPeer peer(Echo());
  std::vector<std::string> lookups;
  HostLookupHook = [&](const std::string& name, std::vector<TNetIPv4Address>& out) {
    lookups.push_back(name);
    out = {{127, 0, 0, 1}};
    return 0;
  };
  Connect("peer.test", peer.Port());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Resolving hostname peer.test.",
                                               "Connecting to 127.0.0.1."}));
  EXPECT_EQ(statuses_[0].status, TNetStatus::hsResolving);
  EXPECT_EQ(lookups, std::vector<std::string>{"peer.test"});

  // LOCALHOST is reported like any name but needs no lookup.
  statuses_.clear();
  Connect("LocalHost", peer.Port());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Resolving hostname LocalHost.",
                                               "Connecting to 127.0.0.1."}));
  EXPECT_EQ(lookups.size(), 1u);
}

TEST_F(IOHandlerSocketTest, UnresolvableHostFailsAfterTheResolvingReport) {
  HostLookupHook = [](const std::string&, std::vector<TNetIPv4Address>&) { return EAI_NONAME; };
  try {
    Connect("no.such.test", 80);
    FAIL() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode(), 11001);
    EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
  }
  EXPECT_EQ(Texts(), std::vector<std::string>{"Resolving hostname no.such.test."});
}

TEST_F(IOHandlerSocketTest, RefusedConnectRaises10061AndLeavesTheSocketAllocated) {
  try {
    Connect("127.0.0.1", ClosedPort());
    FAIL() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode(), 10061);
    EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
  EXPECT_TRUE(handler_.IsOpen());  // the caller closes it
  handler_.CloseHandler();
  EXPECT_FALSE(handler_.IsOpen());
}

TEST_F(IOHandlerSocketTest, TimedConnectWithoutAnswerTimesOut) {
  SilentListener silent;
  const auto start = Clock::now();
  try {
    Connect("127.0.0.1", silent.Port(), 1000);
    FAIL() << "no exception";
  } catch (const ENetConnectTimeout& e) {
    EXPECT_EQ(e.Message(), "Connect timed out.");
  }
  const long long elapsed = MsSince(start);
  EXPECT_GE(elapsed, 990);
  EXPECT_LT(elapsed, 1600);
  EXPECT_FALSE(handler_.IsOpen());

  // A time-out of at most one step is a single sleep.
  const auto shortStart = Clock::now();
  EXPECT_THROW(Connect("127.0.0.1", silent.Port(), 60), ENetConnectTimeout);
  EXPECT_GE(MsSince(shortStart), 55);
  EXPECT_LT(MsSince(shortStart), 400);
}

TEST_F(IOHandlerSocketTest, TimedConnectSucceedsAtTheNextStep) {
  ScriptedPeer peer(Echo());
  for (int timeout : {3000, -2, 100}) {
    const auto start = Clock::now();
    Connect("127.0.0.1", peer.Port(), timeout);
    EXPECT_TRUE(handler_.IsOpen()) << timeout;
    EXPECT_LT(MsSince(start), 500) << timeout;
    EXPECT_EQ(handler_.SocketHandle()->RemotePort, peer.Port());
    ASSERT_EQ(handler_.SendSome("x\n", 2), 2);
    ASSERT_TRUE(handler_.WaitReadable(2000));
    handler_.CloseHandler();
  }
}

// A hook that raises on its Nth call, as a stop the user asked for does.
class StoppingAntiFreeze : public TNetAntiFreezeBase {
 public:
  explicit StoppingAntiFreeze(int stopAt) : stopAt_(stopAt) {}
  void ProcessPending() override {
    if (++Calls == stopAt_) throw ENetTransferStopped("Transfer stopped.");
  }
  int Calls = 0;

 private:
  int stopAt_;
};

TEST_F(IOHandlerSocketTest, AHookThatRaisesEndsAnUntimedConnectWithoutLeavingItsThread) {
  SilentListener silent;
  // With an anti-freeze the untimed connect runs in the thread, in steps of the idle time.
  StoppingAntiFreeze hook(3);
  hook.IdleTimeOut = 20;
  const auto start = Clock::now();
  EXPECT_THROW(Connect("127.0.0.1", silent.Port(), 0), ENetTransferStopped);
  EXPECT_EQ(hook.Calls, 3);
  EXPECT_GE(MsSince(start), 55);
  EXPECT_LT(MsSince(start), 1000);
  EXPECT_FALSE(handler_.IsOpen());
}

TEST_F(IOHandlerSocketTest, TimedConnectFailureKeepsOnlyTheMessage) {
  try {
    Connect("127.0.0.1", ClosedPort(), 2000);
    FAIL() << "no exception";
  } catch (const ENetSocketError&) {
    FAIL() << "the thread's failure must arrive as ENetConnectException";
  } catch (const ENetConnectException& e) {
    EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
}

TEST_F(IOHandlerSocketTest, BindsTheGivenLocalPortRangeAndNagleOption) {
  ScriptedPeer peer(Echo());
  handler_.UseNagle = false;
  handler_.OpenHandler();
  handler_.ConnectToPeer("127.0.0.1", peer.Port(), "127.0.0.1", 0, 0, 0, 0);
  int value = 0, length = sizeof value;
  ASSERT_EQ(GlobalStack->GetOption(handler_.SocketHandle()->HandleValue(), IPPROTO_TCP, TCP_NODELAY,
                                   &value, length),
            0);
  EXPECT_NE(value, 0);
  handler_.CloseHandler();

  // The bound address and port range reach the socket before it connects.
  handler_.UseNagle = true;
  handler_.OpenHandler();
  EXPECT_EQ(handler_.SocketHandle()->Port, 0);  // reset by OpenHandler
  const int local = FreeTcpPort();
  handler_.ConnectToPeer("127.0.0.1", peer.Port(), "127.0.0.1", 0, local, local, 0);
  EXPECT_EQ(handler_.SocketHandle()->Port, local);
  EXPECT_EQ(handler_.SocketHandle()->ClientPortMin, local);
  ASSERT_EQ(GlobalStack->GetOption(handler_.SocketHandle()->HandleValue(), IPPROTO_TCP, TCP_NODELAY,
                                   &value, length),
            0);
  EXPECT_EQ(value, 0);
}

TEST_F(IOHandlerSocketTest, SocksInfoIsPrivateReferredOrCopied) {
  TNetSocksInfo* own = handler_.SocksInfo();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Version, TSocksVersion::svNoSocks);
  EXPECT_EQ(own->Port, 1080);
  EXPECT_EQ(own->IOHandler(), &handler_);
  EXPECT_EQ(handler_.SocksInfo(), own);

  // Without an owner: the settings are copied into the private instance.
  TNetSocksInfo loose;
  loose.Version = TSocksVersion::svSocks5;
  loose.Host = "127.0.0.1";
  loose.Port = 1234;
  handler_.SetSocksInfo(&loose);
  EXPECT_NE(handler_.SocksInfo(), &loose);
  EXPECT_EQ(handler_.SocksInfo()->Version, TSocksVersion::svSocks5);
  EXPECT_EQ(handler_.SocksInfo()->Port, 1234);

  // With an owner: referred to, and forgotten when it goes away.
  TComponent form;
  auto* shared = new TNetSocksInfo(&form);
  shared->Version = TSocksVersion::svSocks4;
  handler_.SetSocksInfo(shared);
  EXPECT_EQ(handler_.SocksInfo(), shared);
  EXPECT_EQ(shared->IOHandler(), &handler_);
  delete shared;
  TNetSocksInfo* fresh = handler_.SocksInfo();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->Version, TSocksVersion::svNoSocks);

  // A referred instance outlives a handler without keeping a reference to it.
  auto* kept = new TNetSocksInfo(&form);
  {
    TNetIOHandlerSocket shortLived;
    shortLived.SetSocksInfo(kept);
    EXPECT_EQ(kept->IOHandler(), &shortLived);
  }
  EXPECT_EQ(kept->IOHandler(), nullptr);
}

}  // namespace
