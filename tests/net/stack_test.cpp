#include "net/stack.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>

#include "base/net_exceptions.h"
#include "net/net_component.h"
#include "net/sockets_library.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Holds a stack reference for one test.
class StackTest : public ::testing::Test {
 protected:
  void SetUp() override { TNetStack::AcquireStack(); }
  void TearDown() override {
    HostLookupHook = nullptr;
    for (int fd : fds_)
      ::close(fd);
    TNetStack::ReleaseStack();
  }
  TNetStack& Stack() { return *GlobalStack; }
  int Track(int fd) {
    fds_.push_back(fd);
    return fd;
  }
  // A listening socket on 127.0.0.1 through the stack itself; fills `port`.
  int Listen(int& port, int backlog = 8) {
    const int fd = Track(Stack().NewSocketHandle(SOCK_STREAM, 0));
    EXPECT_EQ(Stack().BindTo(fd, AF_INET, 0, "127.0.0.1"), 0);
    EXPECT_EQ(Stack().StartListening(fd, backlog), 0);
    int family = 0;
    std::string ip;
    Stack().LocalAddressOf(fd, family, port, ip);
    EXPECT_EQ(ip, "127.0.0.1");
    EXPECT_EQ(family, AF_INET);
    return fd;
  }
  // A client socket connected to 127.0.0.1:port, and the server side of it.
  void ConnectedPair(int& client, int& server) {
    int port = 0;
    const int listener = Listen(port);
    client = Track(Stack().NewSocketHandle(SOCK_STREAM, 0));
    ASSERT_EQ(Stack().ConnectTo(client, AF_INET, port, "127.0.0.1"), 0);
    std::string ip;
    int peerPort = 0;
    server = Track(Stack().AcceptOn(listener, ip, peerPort));
    ASSERT_GE(server, 0);
    EXPECT_EQ(ip, "127.0.0.1");
  }

 private:
  std::vector<int> fds_;
};

TEST_F(StackTest, ErrorTextIsTwoLinesWithTheTableText) {
  const struct {
    int code;
    const char* text;
  } rows[] = {
      {10004, "Interrupted system call."},
      {10035, "Operation would block. "},
      {10048, "Address already in use."},
      {10053, "Software caused connection abort."},
      {10058, "Cannot send or receive after socket is closed."},
      {10061, "Connection refused."},
      {10066, "Directory not empty"},
      {11001, "Host not found."},
      {10091, ""},
      {0, ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(Stack().ErrorText(row.code),
              "Socket Error # " + std::to_string(row.code) + "\r\n" + row.text);
}

TEST_F(StackTest, ErrnoValuesBecomeTheTableNumbers) {
  const struct {
    int errnoValue;
    int code;
  } rows[] = {{EINTR, 10004},         {EBADF, 10009},        {EAGAIN, 10035},
              {EINPROGRESS, 10036},   {ENOTSOCK, 10038},     {EADDRINUSE, 10048},
              {EADDRNOTAVAIL, 10049}, {ECONNABORTED, 10053}, {ECONNRESET, 10054},
              {ENOTCONN, 10057},      {ESHUTDOWN, 10058},    {EPIPE, 10058},
              {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065},
              {ENOTEMPTY, 10066},     {ENOMEM, ENOMEM}};
  for (const auto& row : rows)
    EXPECT_EQ(TranslateErrno(row.errnoValue), row.code) << row.errnoValue;
  EXPECT_EQ(TranslateLookupError(EAI_NONAME, 0), 11001);
  EXPECT_EQ(TranslateLookupError(EAI_NODATA, 0), 11001);
  EXPECT_EQ(TranslateLookupError(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST_F(StackTest, CheckSocketResultIgnoresOnlyListedCodes) {
  EXPECT_FALSE(Stack().CheckSocketResult(0));
  EXPECT_FALSE(Stack().CheckSocketResult(5, {10054}));

  Stack().SetLastErrorCode(10054);
  EXPECT_TRUE(Stack().CheckSocketResult(-1, {10053, 10054}));
  EXPECT_EQ(Stack().StoredError.load(), 10054);

  Stack().SetLastErrorCode(10091);
  try {
    Stack().CheckSocketResult(-1, {10053});
    FAIL() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode(), 10091);
    EXPECT_EQ(e.Message(), "Socket Error # 10091\r\n");
    EXPECT_STREQ(e.ClassName(), "ENetSocketError");
  }
  EXPECT_EQ(Stack().StoredError.load(), 10091);
}

TEST(StackDottedIP, FourPartsOfZeroTo255ByTheRuntimeIntegerRules) {
  const struct {
    const char* text;
    bool dotted;
  } rows[] = {
      {"1.2.3.4", true},
      {"0.0.0.0", true},
      {"255.255.255.255", true},
      {"$ff.0x10.X1. 7", true},  // hexadecimal forms and leading blanks are integers
      {"+1.2.3.4", true},
      {"1.2.3", false},
      {"1.2.3.4.5", false},
      {"256.1.1.1", false},
      {"1.2.3.-1", false},
      {"a.b.c.d", false},
      {"", false},
      {"1..3.4", false},
      {"1.2.3.4 ", false},
      {"localhost", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(TNetStack::IsDottedIP(row.text), row.dotted) << '"' << row.text << '"';
}

TEST_F(StackTest, TextAndAddressConversions) {
  EXPECT_EQ(Stack().TextToAddress("127.0.0.1"), (TNetIPv4Address{127, 0, 0, 1}));
  // Each part keeps its low 8 bits.
  EXPECT_EQ(Stack().TextToAddress("300.1.$10.0"), (TNetIPv4Address{44, 1, 16, 0}));
  EXPECT_THROW(Stack().TextToAddress("1.2.x.4"), EConvertError);
  EXPECT_THROW(Stack().TextToAddress("1.2.3"), EConvertError);
  EXPECT_EQ(Stack().AddressToText({10, 0, 200, 255}), "10.0.200.255");
  EXPECT_EQ(Stack().NetToHost16(Stack().HostToNet16(0x1234)), 0x1234);
  const uint16_t net = Stack().HostToNet16(80);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&net)[1], 80);
  EXPECT_EQ(Stack().NetToHost32(Stack().HostToNet32(0x01020304u)), 0x01020304u);
}

TEST_F(StackTest, LocalhostInAnyCaseNeedsNoLookup) {
  int lookups = 0;
  HostLookupHook = [&](const std::string&, std::vector<TNetIPv4Address>&) {
    ++lookups;
    return EAI_NONAME;
  };
  for (const char* name : {"localhost", "LOCALHOST", "LocalHost"})
    EXPECT_EQ(Stack().ResolveHostToIP(name), "127.0.0.1");
  EXPECT_EQ(Stack().ResolveHostToIP("10.1.2.3"), "10.1.2.3");
  EXPECT_EQ(lookups, 0);
}

TEST_F(StackTest, NamesResolveToTheFirstAddress) {
  std::string asked;
  HostLookupHook = [&](const std::string& name, std::vector<TNetIPv4Address>& out) {
    asked = name;
    out = {{127, 0, 0, 5}, {127, 0, 0, 6}};
    return 0;
  };
  EXPECT_EQ(Stack().ResolveHostToIP("peer.test"), "127.0.0.5");
  EXPECT_EQ(asked, "peer.test");
}

TEST_F(StackTest, PlatformLookupOfLocalhostNameGivesLoopback) {
  // Only /etc/hosts answers this; "localhost" is special-cased before the lookup, so ask
  // the lookup directly.
  const std::string address = Stack().HostNameToAddress("localhost");
  EXPECT_EQ(address.substr(0, 4), "127.");
}

TEST_F(StackTest, UnresolvableHostRaisesHostNotFound) {
  const int failures[] = {EAI_NONAME, EAI_NODATA};
  for (int failure : failures) {
    HostLookupHook = [failure](const std::string&, std::vector<TNetIPv4Address>&) {
      return failure;
    };
    try {
      Stack().ResolveHostToIP("no.such.host");
      FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
      EXPECT_EQ(e.SocketErrorCode(), 11001);
      EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
      EXPECT_EQ(Stack().StoredError.load(), 11001);
    }
  }
  // A lookup that reports success without an address is no success either.
  HostLookupHook = [](const std::string&, std::vector<TNetIPv4Address>&) { return 0; };
  EXPECT_THROW(Stack().HostNameToAddress("empty.test"), ENetSocketError);
}

TEST_F(StackTest, LocalAddressesComeFromTheOwnHostName) {
  std::string asked;
  HostLookupHook = [&](const std::string& name, std::vector<TNetIPv4Address>& out) {
    asked = name;
    out = {{127, 0, 1, 1}, {10, 9, 8, 7}};
    return 0;
  };
  TStringList* list = Stack().LocalAddressList();
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->Get(1), "10.9.8.7");
  EXPECT_EQ(Stack().FirstLocalAddress(), "127.0.1.1");
  EXPECT_EQ(asked, Stack().OwnHostName());
  EXPECT_FALSE(asked.empty());
  // Refilled on every call.
  HostLookupHook = [](const std::string&, std::vector<TNetIPv4Address>&) { return EAI_NONAME; };
  EXPECT_THROW(Stack().LocalAddressList(), ENetSocketError);
}

TEST_F(StackTest, ReverseLookupAndServices) {
  EXPECT_EQ(Stack().AddressToHostName("127.0.0.1"), "localhost");
  EXPECT_EQ(Stack().ServiceNameToPort("http"), 80);
  EXPECT_EQ(Stack().ServiceNameToPort("8123"), 8123);
  EXPECT_EQ(Stack().ServiceNameToPort("$10"), 16);
  try {
    Stack().ServiceNameToPort("no-such-service");
    FAIL() << "no exception";
  } catch (const ENetInvalidServiceName& e) {
    EXPECT_EQ(e.Message(), "no-such-service is not a valid service.");
  }
  const TStringList names = Stack().PortToServiceNames(80);
  ASSERT_GE(names.Count(), 1);
  EXPECT_EQ(names.Get(0), "http");
  EXPECT_EQ(Stack().PortToServiceNames(65000).Count(), 0);
}

TEST_F(StackTest, RefusedConnectGivesCode10061) {
  int port = 0;
  ::close(Listen(port));  // nobody listens there any more
  const int fd = Track(Stack().NewSocketHandle(SOCK_STREAM, 0));
  EXPECT_EQ(Stack().ConnectTo(fd, AF_INET, port, "127.0.0.1"), -1);
  EXPECT_EQ(Stack().LastErrorCode(), 10061);
  try {
    Stack().CheckSocketResult(-1);
    FAIL() << "no exception";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode(), 10061);
    EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
}

TEST_F(StackTest, BytesTravelAndSendAfterPeerCloseRaisesNoSignal) {
  int client = -1, server = -1;
  ConnectedPair(client, server);
  int family = 0, port = 0;
  std::string ip;
  Stack().PeerAddressOf(client, family, port, ip);
  EXPECT_EQ(ip, "127.0.0.1");

  EXPECT_EQ(Stack().SendOn(client, "hello", 5, 0), 5);
  char buffer[16] = {};
  EXPECT_EQ(Stack().ReceiveOn(server, buffer, sizeof buffer, 0), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");

  ::close(server);
  EXPECT_EQ(Stack().ReceiveOn(client, buffer, sizeof buffer, 0), 0);
  // The first send may still be taken; a later one fails instead of killing the process.
  int result = 0;
  for (int i = 0; i < 10 && result != -1; ++i)
    result = Stack().SendOn(client, "x", 1, 0);
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(Stack().LastErrorCode() == 10058 || Stack().LastErrorCode() == 10054)
      << Stack().LastErrorCode();
}

TEST_F(StackTest, OptionsRoundTrip) {
  const int fd = Track(Stack().NewSocketHandle(SOCK_STREAM, 0));
  const int on = 1;
  EXPECT_EQ(Stack().SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on), 0);
  int value = 0, length = sizeof value;
  EXPECT_EQ(Stack().GetOption(fd, SOL_SOCKET, SO_KEEPALIVE, &value, length), 0);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(Stack().SetOption(-1, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on), -1);
  EXPECT_EQ(Stack().LastErrorCode(), 10009);
}

TEST_F(StackTest, DatagramsCarryTheirSender) {
  const int a = Track(Stack().NewSocketHandle(SOCK_DGRAM, 0));
  const int b = Track(Stack().NewSocketHandle(SOCK_DGRAM, 0));
  ASSERT_EQ(Stack().BindTo(a, AF_INET, 0, "127.0.0.1"), 0);
  ASSERT_EQ(Stack().BindTo(b, AF_INET, 0, "127.0.0.1"), 0);
  int family = 0, portA = 0, portB = 0;
  std::string ip;
  Stack().LocalAddressOf(a, family, portA, ip);
  Stack().LocalAddressOf(b, family, portB, ip);
  EXPECT_EQ(Stack().SendDatagram(a, "ping", 4, 0, "127.0.0.1", portB), 4);
  char buffer[8] = {};
  int fromPort = 0;
  std::string fromIP;
  EXPECT_EQ(Stack().ReceiveDatagram(b, buffer, sizeof buffer, 0, fromIP, fromPort), 4);
  EXPECT_EQ(fromIP, "127.0.0.1");
  EXPECT_EQ(fromPort, portA);
}

TEST_F(StackTest, WaitOnSocketsKeepsOnlyReadyHandles) {
  int client = -1, server = -1;
  ConnectedPair(client, server);
  TNetSocketListPosix reads, writes;
  reads.Add(client);
  reads.Add(server);
  writes.Add(client);
  ASSERT_EQ(Stack().SendOn(client, "x", 1, 0), 1);
  // The server can read, the client can write: two ready handles.
  EXPECT_EQ(Stack().WaitOnSockets(&reads, &writes, 1000, nullptr), 2);
  ASSERT_EQ(reads.Count(), 1);
  EXPECT_EQ(reads.Items(0), server);
  ASSERT_EQ(writes.Count(), 1);

  TNetSocketListPosix quiet;
  quiet.Add(client);
  const auto start = Clock::now();
  EXPECT_EQ(Stack().WaitOnSockets(&quiet, nullptr, 150, nullptr), 0);
  EXPECT_GE(MsSince(start), 140);
  EXPECT_EQ(quiet.Count(), 0);
}

// A list that is not bound to the descriptor-set size.
class UnboundedList : public TNetSocketList {
 public:
  void Add(int handle) override { items_.push_back(handle); }
  void Remove(int) override {}
  void Clear() override { items_.clear(); }
  int Count() const override { return static_cast<int>(items_.size()); }
  int Items(int index) const override { return items_.at(static_cast<size_t>(index)); }

 private:
  std::vector<int> items_;
};

TEST_F(StackTest, WaitOnSocketsRefusesSetsOfMoreThan64) {
  int client = -1, server = -1;
  ConnectedPair(client, server);
  UnboundedList list;
  for (int i = 0; i < 64; ++i)
    list.Add(client);
  EXPECT_NO_THROW(Stack().WaitOnSockets(nullptr, &list, 0, nullptr));
  for (int i = 0; i < 65; ++i)
    list.Add(client);
  try {
    Stack().WaitOnSockets(&list, nullptr, 0, nullptr);
    FAIL() << "no exception";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_EQ(e.Message(), "Set Size Exceeded.");
  }
}

TEST_F(StackTest, ReadableTestWorksBeyondTheDescriptorSetLimit) {
  int client = -1, server = -1;
  ConnectedPair(client, server);
  const int high = Track(::fcntl(server, F_DUPFD_CLOEXEC, 1500));
  ASSERT_GE(high, 1500);
  EXPECT_EQ(Stack().WaitReadableOn(high, 0), 0);
  ASSERT_EQ(Stack().SendOn(client, "x", 1, 0), 1);
  EXPECT_EQ(Stack().WaitReadableOn(high, 1000), 1);
  EXPECT_EQ(Stack().WaitReadableOn(-1, 0), -1);
}

// Tests that need the process without any stack: they unload and reload the library.
class StackLifetimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(TNetStack::StackReferences(), 0) << "a stack is alive from another test";
  }
  void TearDown() override {
    SocketsLibraryFileName = "libc.so.6";
    if (!SocketsLibraryLoaded()) {
      TSocketsData data;
      ASSERT_EQ(LoadSocketsLibrary(0x0202, &data), 0);
    }
    StackStarted = true;
  }
};

TEST_F(StackLifetimeTest, LibraryIsLoadedAndStartedOnceAcrossTwoStacks) {
  UnloadSocketsLibrary();
  StackStarted = false;
  const int starts = SocketsStartupCount();
  for (int round = 0; round < 2; ++round) {
    auto component = std::make_unique<TNetComponent>();
    ASSERT_NE(GlobalStack, nullptr);
    EXPECT_EQ(TNetStack::StackReferences(), 1);
    EXPECT_EQ(GlobalStack->ResolveHostToIP("LocalHost"), "127.0.0.1");
    {
      TNetComponent second;
      EXPECT_EQ(TNetStack::StackReferences(), 2);
    }
    component.reset();
    EXPECT_EQ(GlobalStack, nullptr);
  }
  EXPECT_EQ(SocketsStartupCount(), starts + 1);
  EXPECT_TRUE(SocketsLibraryLoaded());
}

TEST_F(StackLifetimeTest, CallsBeforeLoadingRaiseTheStubError) {
  UnloadSocketsLibrary();
  try {
    SocketsLibrary::Socket(AF_INET, SOCK_STREAM, 0);
    FAIL() << "no exception";
  } catch (const ENetWS2StubError& e) {
    EXPECT_EQ(e.SystemErrorCode(), 10093u);
    EXPECT_EQ(e.BaseMessage(), "Error on call Winsock2 library function socket");
    EXPECT_EQ(e.Message(), e.SystemErrorText() + ": " + e.BaseMessage());
  }
  // After loading, the same entry resolves and works.
  TSocketsData data;
  ASSERT_EQ(LoadSocketsLibrary(0x0202, &data), 0);
  EXPECT_EQ(data.Version, 0x0202);
  const int fd = SocketsLibrary::Socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_GE(fd, 0);
  ::close(fd);
  // A second load neither reopens nor restarts.
  const int starts = SocketsStartupCount();
  EXPECT_EQ(LoadSocketsLibrary(0x0202, &data), 0);
  EXPECT_EQ(SocketsStartupCount(), starts);
}

TEST_F(StackLifetimeTest, MissingLibraryFailsTheComponentAndLeavesNoCount) {
  UnloadSocketsLibrary();
  StackStarted = false;
  SocketsLibraryFileName = "/nonexistent/libnosockets.so";
  try {
    TNetComponent component;
    FAIL() << "no exception";
  } catch (const ENetWS2StubError& e) {
    EXPECT_EQ(e.BaseMessage(), "Error on loading Winsock2 library (/nonexistent/libnosockets.so)");
    EXPECT_NE(e.SystemErrorCode(), 0u);
    EXPECT_EQ(e.Message(), e.SystemErrorText() + ": " + e.BaseMessage());
  }
  EXPECT_EQ(TNetStack::StackReferences(), 0);
  EXPECT_EQ(GlobalStack, nullptr);

  // A library without sockets does not start; the next attempt tries again.
  SocketsLibraryFileName = "libm.so.6";
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      TNetComponent component;
      FAIL() << "no exception";
    } catch (const ENetStackInitializationFailed& e) {
      EXPECT_EQ(e.Message(), "Winsock Initialization Error.");
    }
    EXPECT_FALSE(SocketsLibraryLoaded());
    EXPECT_FALSE(StackStarted);
  }

  SocketsLibraryFileName = "libc.so.6";
  TNetComponent component;
  EXPECT_NE(GlobalStack, nullptr);
  EXPECT_TRUE(StackStarted);
}

TEST_F(StackLifetimeTest, OldVersionIsNotStarted) {
  UnloadSocketsLibrary();
  TSocketsData data;
  EXPECT_NE(LoadSocketsLibrary(0x0101, &data), 0);
  EXPECT_FALSE(SocketsLibraryLoaded());
}

}  // namespace
