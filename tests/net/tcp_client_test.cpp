#include "net/tcp_client.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "base/memory_stream.h"
#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "net/io_handler_socket.h"
#include "net/stack.h"
#include "tests/support/free_port.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/memory_io_handler.h"
#include "tests/support/scripted_peer.h"

namespace {

using std::chrono::milliseconds;

const std::string kClosed = "ENetConnClosedGracefully: Connection Closed Gracefully.";

// A client with its status reports (with the sender's kind) and events logged.
struct Client {
  TNetTCPClient c;
  std::vector<std::string> log;

  explicit Client(int port, const std::string& host = "127.0.0.1") {
    c.SetHost(host);
    c.SetPort(port);
    c.OnStatus = [this](TObject* sender, TNetStatus, const std::string& text) {
      log.push_back((sender == &c ? "client: " : "handler: ") + text);
    };
    c.OnConnected = [this](TObject*) { log.push_back("OnConnected"); };
    c.OnDisconnected = [this](TObject*) { log.push_back("OnDisconnected"); };
  }
};

// Current resident memory in bytes.
int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// Discards what is written, checking it against a repeated block, and records how large
// it was ever made.
class CheckingNullStream : public TStream {
 public:
  explicit CheckingNullStream(const std::string& block) : block_(block) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    const char* bytes = static_cast<const char*>(buffer);
    if (count > 0 && (bytes[0] != block_[position_ % block_.size()] ||
                      bytes[count - 1] != block_[(position_ + count - 1) % block_.size()]))
      ++Mismatches;
    position_ += count;
    if (position_ > size_) size_ = position_;
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    position_ = SeekTarget(position_, size_, offset, origin);
    return position_;
  }
  void SetSize(int64_t size) override {
    size_ = size;
    if (size > LargestSize) LargestSize = size;
  }
  int64_t Size() override { return size_; }
  int64_t LargestSize = 0;
  int Mismatches = 0;

 private:
  const std::string& block_;
  int64_t position_ = 0;
  int64_t size_ = 0;
};

}  // namespace

TEST(TcpClient, ConnectReportsInOrderAndCloseFreesTheOwnHandler) {
  ScriptedPeer peer([](PeerConnection& p) { p.ReceiveUntil("bye\r\n"); });
  Client client(peer.Port(), "localhost");
  client.c.OpenConnection();
  EXPECT_EQ(client.log, (std::vector<std::string>{"handler: Resolving hostname localhost.",
                                                  "handler: Connecting to 127.0.0.1.",
                                                  "client: Connected.", "OnConnected"}));
  EXPECT_NE(dynamic_cast<TNetIOHandlerSocket*>(client.c.IOHandler()), nullptr);
  EXPECT_TRUE(client.c.OwnsIOHandler());
  EXPECT_TRUE(client.c.IsConnected());

  EXPECT_EQ(ErrorOf([&] { client.c.OpenConnection(); }),
            "ENetAlreadyConnected: Already connected.");
  EXPECT_TRUE(client.c.IsConnected());
  client.c.WriteLine("bye");

  client.log.clear();
  client.c.CloseConnection();
  EXPECT_EQ(client.c.IOHandler(), nullptr);
  EXPECT_EQ(client.log, (std::vector<std::string>{"client: Disconnecting.", "OnDisconnected",
                                                  "client: Disconnected."}));
  ASSERT_TRUE(peer.WaitForConnections(1));
  ASSERT_TRUE(peer.WaitUntilIdle());
  EXPECT_EQ(peer.Received(0), "bye\r\n");
}

TEST(TcpClient, RefusedConnect) {
  Client client(FreeTcpPort());
  try {
    client.c.OpenConnection();
    FAIL() << "connected";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.SocketErrorCode(), 10061);
  }
  EXPECT_EQ(client.log.size(), 1u);  // only "Connecting to ..."
  EXPECT_FALSE(client.c.IsConnected());
  // The handler stays, closed, and serves the next attempt.
  ASSERT_NE(client.c.IOHandler(), nullptr);
  EXPECT_FALSE(client.c.IOHandler()->IsOpen());
  ScriptedPeer peer([](PeerConnection& p) { p.Send("hi\n"); });
  client.c.SetPort(peer.Port());
  client.c.OpenConnection();
  EXPECT_EQ(client.c.ReadLine(), "hi");
}

TEST(TcpClient, OpenConnectionStepsWithAnAssignedHandler) {
  TMemoryIOHandler h;
  TNetTCPClient c;
  c.SetIOHandler(&h);
  c.SetHost("example.test");
  c.SetPort(81);
  c.BoundIP = "127.0.0.2";
  c.BoundPortLow = 5000;
  c.BoundPortHigh = 5002;
  std::vector<std::string> order;
  TNetConnectionIntercept intercept;
  intercept.OnConnect = [&](TNetConnectionIntercept* i) {
    order.push_back(i->ConnectedTo() == &c ? "intercept" : "wrong connection");
  };
  c.SetIntercept(&intercept);
  c.OnStatus = [&](TObject*, TNetStatus, const std::string& text) { order.push_back(text); };
  c.OnConnected = [&](TObject*) { order.push_back("OnConnected"); };
  h.OnConnectToPeer = [&](const TMemoryIOHandler::TConnectCall&) {
    order.push_back(c.InputData().Size() == 0 && !c.PeerClosed() ? "connect" : "not reset");
  };
  c.InputData().Append("stale", 5);
  c.OpenConnection(3000);
  EXPECT_EQ(order, (std::vector<std::string>{"connect", "intercept", "Connected.", "OnConnected"}));
  ASSERT_EQ(h.Connects.size(), 1u);
  const auto& call = h.Connects[0];
  EXPECT_EQ(call.Host + ":" + std::to_string(call.Port), "example.test:81");
  EXPECT_EQ(call.BoundIP, "127.0.0.2");
  EXPECT_EQ(
      std::vector<int>({call.BoundPort, call.BoundPortLow, call.BoundPortHigh, call.TimeoutMs}),
      std::vector<int>({0, 5000, 5002, 3000}));
  EXPECT_EQ(h.OpenHandlerCalls, 1);
  c.CloseConnection();
  EXPECT_EQ(c.IOHandler(), &h);  // assigned from outside: never freed by the client

  // A failed connect closes the socket quietly and passes the error on unchanged.
  order.clear();
  h.OnConnectToPeer = [](const TMemoryIOHandler::TConnectCall&) {
    throw ENetConnectTimeout("Connect timed out.");
  };
  EXPECT_EQ(ErrorOf([&] { c.OpenConnection(); }), "ENetConnectTimeout: Connect timed out.");
  EXPECT_FALSE(h.IsOpen());
  EXPECT_TRUE(c.PeerClosed());
  EXPECT_TRUE(order.empty());
}

TEST(TcpClient, ConnectAndReadAll) {
  ScriptedPeer peer([](PeerConnection& p) {
    p.SendInPieces("hello, world", 5, milliseconds(5));
    p.Close();
  });
  Client client(peer.Port());
  EXPECT_EQ(client.c.ConnectAndReadAll(), "hello, world");
  EXPECT_EQ(client.c.IOHandler(), nullptr);
  EXPECT_FALSE(client.c.IsConnected());
}

TEST(TcpClientLoopback, LinesFromAScriptedPeer) {
  const std::string full(16384, 'x');
  ScriptedPeer peer([&](PeerConnection& p) {
    p.SendSplitAt("one\r\ntwo\r\r\nthr", {2, 4, 5, 9}, milliseconds(5));
    p.StaySilent(milliseconds(20));
    p.Send("ee\n" + full + "\n" + full + "y\npartial");
    p.Close();  // mid-line
  });
  Client client(peer.Port());
  client.c.OpenConnection();
  EXPECT_EQ(client.c.ReadLine(), "one");
  EXPECT_EQ(client.c.ReadLine(), "two\r");
  EXPECT_EQ(client.c.ReadLine(), "three");
  EXPECT_EQ(client.c.ReadLine(), full);
  EXPECT_EQ(ErrorOf([&] { client.c.ReadLine(); }),
            "ENetReadLnMaxLineLengthExceeded: Max line length exceeded.");
  client.c.MaxLineAction = TNetMaxLineAction::maSplit;
  EXPECT_EQ(client.c.ReadLine(), full);
  EXPECT_TRUE(client.c.LineWasSplit());
  EXPECT_EQ(client.c.ReadLine(), "y");
  EXPECT_EQ(client.c.ReadLine(), "");
  EXPECT_TRUE(client.c.LineTimedOut());
  EXPECT_EQ(ErrorOf([&] { client.c.ReadLine(); }), kClosed);
  EXPECT_EQ(std::string(client.c.InputData().Memory(), client.c.InputData().Size()), "partial");
}

TEST(TcpClientLoopback, HundredThousandBytesThenClose) {
  const std::string data = GeneratedBytes(0, 100000);
  ScriptedPeer peer([&](PeerConnection& p) {
    p.SendInPieces(data, 30000, milliseconds(2));
    p.Close();
  });
  Client client(peer.Port());
  std::vector<int64_t> totals;
  client.c.OnWork = [&](TObject*, TWorkMode, int64_t count) { totals.push_back(count); };
  client.c.OpenConnection();
  TMemoryStream stream;
  client.c.ReadIntoStream(stream, -1, true);
  EXPECT_EQ(stream.Size(), 100000);
  EXPECT_TRUE(std::string(stream.Memory(), 100000) == data);
  EXPECT_EQ(totals, (std::vector<int64_t>{32768, 65536, 98304}));
  EXPECT_FALSE(client.c.IsConnected());
}

TEST(TcpClientLoopback, SilentPeerTimesOut) {
  ScriptedPeer peer([](PeerConnection& p) { p.StaySilent(milliseconds(8000)); });
  Client client(peer.Port());
  client.c.ReadTimeout = 4000;
  client.c.OpenConnection();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { client.c.ReadLine(); }), "ENetReadTimeout: Read Timeout");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, milliseconds(3900));
  EXPECT_LT(elapsed, milliseconds(6000));
  client.c.CloseConnection();
  peer.Stop();
}

// A peer announces a gigabyte with a length prefix and sends it: memory grows with neither.
TEST(TcpClientLoopback, GigabyteFromThePeer) {
  constexpr int64_t kSize = int64_t{1} << 30;
  const std::string block = GeneratedBytes(0, 1 << 20);
  ScriptedPeer peer([&](PeerConnection& p) {
    p.Send(std::string("\x40\x00\x00\x00", 4));
    for (int64_t sent = 0; sent < kSize; sent += static_cast<int64_t>(block.size()))
      if (!p.Send(block)) return;
    p.Close();
  });
  Client client(peer.Port());
  const int64_t before = ResidentBytes();
  int64_t peak = before;
  int pieces = 0;
  client.c.OnWork = [&](TObject*, TWorkMode, int64_t) {
    if (++pieces % 1024 == 0) peak = std::max(peak, ResidentBytes());
  };
  client.c.OpenConnection();
  CheckingNullStream stream(block);
  client.c.ReadIntoStream(stream, -1, false);
  EXPECT_EQ(stream.Position(), kSize);
  EXPECT_EQ(stream.Mismatches, 0);
  EXPECT_LE(stream.LargestSize, TNetTCPConnection::PresizeLimit + client.c.RecvBufferSize);
  EXPECT_LT(peak - before, int64_t{16} << 20);
}

// Writing to a peer that has reset the connection ends in an error, never in SIGPIPE.
TEST(TcpClientLoopback, WritesToAResetPeer) {
  ScriptedPeer peer([](PeerConnection& p) {
    p.ReceiveUntil("\n");
    p.Reset();
  });
  Client client(peer.Port());
  client.c.OpenConnection();
  client.c.WriteLine("hello");
  ASSERT_TRUE(peer.WaitForConnections(1));
  ASSERT_TRUE(peer.WaitUntilIdle());
  const std::string block(65536, 'z');
  std::string error;
  for (int i = 0; i < 100 && error.empty(); ++i)
    error = ErrorOf([&] { client.c.WriteText(block); });
  // The send's own error is reported: reset (10054) or broken pipe (10058).
  EXPECT_TRUE(error == "ENetSocketError: " + GlobalStack->ErrorText(10054) ||
              error == "ENetSocketError: " + GlobalStack->ErrorText(10058))
      << error;
  EXPECT_FALSE(client.c.IsConnected());
}
