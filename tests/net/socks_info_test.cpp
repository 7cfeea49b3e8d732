#include "net/socks_info.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/net_exceptions.h"
#include "net/io_handler_socket.h"
#include "net/stack.h"
#include "tests/support/dante_server.h"
#include "tests/support/free_port.h"
#include "tests/support/microsocks_server.h"
#include "tests/support/scripted_peer.h"

namespace {

using namespace std::string_literals;

// One turn of the scripted SOCKS server: take `receive` bytes, then answer (in pieces of
// `piece` bytes when given), then close when asked.
struct Turn {
  size_t receive = 0;
  std::string send;
  size_t piece = 0;
  bool close = false;
};

ScriptedPeer::Script Serve(std::vector<Turn> turns) {
  return [turns](PeerConnection& c) {
    for (const Turn& turn : turns) {
      std::string got;
      if (turn.receive > 0 && !c.TryReceiveExactly(turn.receive, &got)) return;
      if (!turn.send.empty()) {
        if (turn.piece > 0)
          c.SendInPieces(turn.send, turn.piece, std::chrono::milliseconds(2));
        else
          c.Send(turn.send);
      }
      if (turn.close) {
        c.Close();
        return;
      }
    }
    c.WaitForClose();
  };
}

const std::string kSocks4Granted = "\0\x5a\0\0\0\0\0\0"s;
const std::string kSocks5Ipv4Success = "\x05\0\0\x01\x7f\0\0\x01\x04\x38"s;

class SocksTest : public ::testing::Test {
 protected:
  void TearDown() override {
    HostLookupHook = nullptr;
    handler_.CloseHandler();
  }
  TNetSocksInfo& Socks() { return *handler_.SocksInfo(); }
  void StartPeer(std::vector<Turn> turns) { peer_ = std::make_unique<ScriptedPeer>(Serve(turns)); }
  // Connects through the scripted server to host:port with the given version.
  void Negotiate(TSocksVersion version, const std::string& host, int port) {
    Socks().Version = version;
    Socks().Host = "127.0.0.1";
    Socks().Port = peer_->Port();
    handler_.OpenHandler();
    handler_.ConnectToPeer(host, port, "", 0, 0, 0, 0);
  }
  // What the server has received, once the client has closed.
  std::string ReceivedByPeer() {
    handler_.CloseHandler();
    EXPECT_TRUE(peer_->WaitUntilIdle());
    EXPECT_TRUE(peer_->Failures().empty());
    return peer_->Received(0);
  }
  // The next `count` bytes that arrive through the tunnel.
  std::string ReadTunnel(size_t count) {
    std::string bytes;
    char buffer[64];
    while (bytes.size() < count && handler_.WaitReadable(2000)) {
      const int n = handler_.ReceiveSome(buffer, static_cast<int>(count - bytes.size()));
      if (n <= 0) break;
      bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
  }
  // Runs the negotiation and gives the class name and message of what it raised.
  std::pair<std::string, std::string> Failure(TSocksVersion version, const std::string& host,
                                              int port) {
    try {
      Negotiate(version, host, port);
    } catch (const Exception& e) {
      return {e.ClassName(), e.Message()};
    }
    return {"", ""};
  }

  std::unique_ptr<ScriptedPeer> peer_;
  TNetIOHandlerSocket handler_;
};

TEST_F(SocksTest, WithoutSocksNothingIsExchanged) {
  StartPeer({{0, "hello"}});
  Socks().Host = "192.0.2.1";  // would be the proxy; never used
  handler_.OpenHandler();
  handler_.ConnectToPeer("127.0.0.1", peer_->Port(), "", 0, 0, 0, 0);
  EXPECT_EQ(ReadTunnel(5), "hello");
  EXPECT_EQ(ReceivedByPeer(), "");
}

TEST_F(SocksTest, Socks4RequestLayouts) {
  // Empty user id: 9 bytes ending in one 0.
  StartPeer({{9, kSocks4Granted + "after"}});
  Negotiate(TSocksVersion::svSocks4, "127.0.0.1", 80);
  EXPECT_EQ(ReadTunnel(5), "after");
  EXPECT_EQ(ReceivedByPeer(), "\x04\x01\x00\x50\x7f\x00\x00\x01\x00"s);

  // A name is resolved by the stack; the user id follows the address.
  HostLookupHook = [](const std::string& name, std::vector<TNetIPv4Address>& out) {
    out = {{127, 0, 0, 9}};
    return name == "dest.test" ? 0 : EAI_NONAME;
  };
  StartPeer({{12, kSocks4Granted}});
  Socks().Username = "bob";
  Negotiate(TSocksVersion::svSocks4, "dest.test", 0x1f90);
  EXPECT_EQ(ReceivedByPeer(),
            "\x04\x01\x1f\x90\x7f\x00\x00\x09"
            "bob\0"s);
}

TEST_F(SocksTest, Socks4ARequestCarriesTheHostName) {
  StartPeer({{14, kSocks4Granted + "after"}});
  Socks().Username = "bob";
  Negotiate(TSocksVersion::svSocks4A, "h", 80);
  EXPECT_EQ(ReadTunnel(5), "after");
  EXPECT_EQ(ReceivedByPeer(),
            "\x04\x01\x00\x50\x00\x00\x00\x01"
            "bob\0h\0"s);
}

TEST_F(SocksTest, Socks5WithoutAuthentication) {
  StartPeer({{3, "\x05\x00"s}, {8, kSocks5Ipv4Success + "after"}});
  Negotiate(TSocksVersion::svSocks5, "h", 80);
  EXPECT_EQ(ReadTunnel(5), "after");
  EXPECT_EQ(ReceivedByPeer(),
            "\x05\x01\x00"
            "\x05\x01\x00\x03\x01h\x00\x50"s);
}

TEST_F(SocksTest, Socks5WithUserNameAndPasswordSendsDottedHostsAsNames) {
  StartPeer({{3, "\x05\x02"s}, {12, "\x01\x00"s}, {16, kSocks5Ipv4Success + "after"}});
  Socks().Authentication = TSocksAuthentication::saUsernamePassword;
  Socks().Username = "bob";
  Socks().Password = "secret";
  Negotiate(TSocksVersion::svSocks5, "127.0.0.1", 443);
  EXPECT_EQ(ReadTunnel(5), "after");
  EXPECT_EQ(ReceivedByPeer(),
            "\x05\x01\x02"
            "\x01\x03"
            "bob"
            "\x06"
            "secret"
            "\x05\x01\x00\x03\x09"
            "127.0.0.1"
            "\x01\xbb"s);
}

TEST_F(SocksTest, Socks5FieldsOf255BytesAreAccepted) {
  const std::string user(255, 'u');
  const std::string host(255, 'h');
  StartPeer({{3, "\x05\x02"s}, {2 + 255 + 1, "\x01\x00"s}, {7 + 255, kSocks5Ipv4Success}});
  Socks().Authentication = TSocksAuthentication::saUsernamePassword;
  Socks().Username = user;
  Negotiate(TSocksVersion::svSocks5, host, 1);
  const std::string received = ReceivedByPeer();
  ASSERT_EQ(received.size(), 3u + 258 + 262);
  EXPECT_EQ(received.substr(3, 3),
            "\x01\xff"
            "u"s);
  EXPECT_EQ(received.substr(3 + 258, 6),
            "\x05\x01\x00\x03\xff"
            "h"s);
}

TEST_F(SocksTest, Socks5BoundAddressIsConsumedCompletely) {
  const struct {
    const char* name;
    std::string reply;
  } rows[] = {
      {"IPv4", kSocks5Ipv4Success},
      {"domain of 10",
       "\x05\x00\x00\x03\x0a"
       "abcdefghij"
       "\x00\x50"s},
      {"domain of 0", "\x05\x00\x00\x03\x00\x00\x50"s},
      {"IPv6", "\x05\x00\x00\x04"s + std::string(16, '\x01') + "\x00\x50"s},
  };
  for (const auto& row : rows) {
    for (size_t piece : {size_t{0}, size_t{1}}) {
      SCOPED_TRACE(std::string(row.name) + (piece ? " in 1-byte pieces" : ""));
      StartPeer({{3, "\x05\x00"s, piece}, {8, row.reply + "after", piece}});
      Negotiate(TSocksVersion::svSocks5, "h", 80);
      EXPECT_EQ(ReadTunnel(5), "after");
      handler_.CloseHandler();
    }
  }
}

TEST_F(SocksTest, Socks4ReplyInOneBytePieces) {
  StartPeer({{9, kSocks4Granted + "after", 1}});
  Negotiate(TSocksVersion::svSocks4, "127.0.0.1", 80);
  EXPECT_EQ(ReadTunnel(5), "after");
}

TEST_F(SocksTest, Socks4Rejections) {
  const struct {
    char status;
    const char* className;
    const char* message;
  } rows[] = {
      {91, "ENetSocksRequestFailed", "Request rejected or failed."},
      {92, "ENetSocksRequestServerFailed", "Request rejected because SOCKS server cannot connect."},
      {93, "ENetSocksRequestIdentFailed",
       "Request rejected because the client program and identd report different user-ids."},
      {0, "ENetSocksUnknownError", "Unknown socks error."},
      {'\xff', "ENetSocksUnknownError", "Unknown socks error."},
  };
  for (const auto& row : rows) {
    for (TSocksVersion version : {TSocksVersion::svSocks4, TSocksVersion::svSocks4A}) {
      StartPeer({{9, "\x00"s + row.status + "\0\0\0\0\0\0"s}});
      const auto [name, message] = Failure(version, "127.0.0.1", 80);
      EXPECT_EQ(name, row.className) << int(row.status);
      EXPECT_EQ(message, row.message);
    }
  }
}

TEST_F(SocksTest, Socks4CloseBeforeTheWholeReply) {
  StartPeer({{9, "\x00\x5a\x00\x00"s, 0, true}});
  EXPECT_EQ(Failure(TSocksVersion::svSocks4, "127.0.0.1", 80),
            std::make_pair("ENetConnClosedGracefully"s, "Connection Closed Gracefully."s));
}

TEST_F(SocksTest, AServerThatNeverAnswersIsLeftAfterTheConnectsLimit) {
  StartPeer({{9, "", 0, false}});
  Socks().Version = TSocksVersion::svSocks4;
  Socks().Host = "127.0.0.1";
  Socks().Port = peer_->Port();
  handler_.OpenHandler();
  const auto started = std::chrono::steady_clock::now();
  std::string raised;
  try {
    handler_.ConnectToPeer("127.0.0.1", 80, "", 0, 0, 0, 300);
  } catch (const Exception& e) {
    raised = std::string(e.ClassName()) + ": " + e.Message();
  }
  EXPECT_EQ(raised, "ENetReadTimeout: Read Timeout");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

TEST_F(SocksTest, Socks5ReplyCodes) {
  const struct {
    char code;
    const char* className;
    const char* message;
  } rows[] = {
      {1, "ENetSocksServerGeneralError", "General SOCKS server failure."},
      {2, "ENetSocksServerPermissionError", "Connection not allowed by ruleset."},
      {3, "ENetSocksServerNetUnreachableError", "Network unreachable."},
      {4, "ENetSocksServerHostUnreachableError", "Host unreachable."},
      {5, "ENetSocksServerConnectionRefusedError", "Connection refused."},
      {6, "ENetSocksServerTTLExpiredError", "TTL expired."},
      {7, "ENetSocksServerCommandError", "Command not supported."},
      {8, "ENetSocksServerAddressError", "Address type not supported."},
      {9, "ENetSocksUnknownError", "Unknown socks error."},
  };
  for (const auto& row : rows) {
    StartPeer({{3, "\x05\x00"s}, {8, "\x05"s + row.code + "\x00\x01\x00\x00\x00\x00\x00\x00"s}});
    const auto [name, message] = Failure(TSocksVersion::svSocks5, "h", 80);
    EXPECT_EQ(name, row.className) << int(row.code);
    EXPECT_EQ(message, row.message);
  }
}

TEST_F(SocksTest, Socks5HandshakeFailures) {
  const std::pair<std::string, std::string> noResponse{"ENetSocksServerRespondError",
                                                       "Socks server did not respond."};
  const std::pair<std::string, std::string> badMethod{"ENetSocksAuthMethodError",
                                                      "Invalid socks authentication method."};
  const struct {
    const char* name;
    bool withPassword;
    std::vector<Turn> turns;
    std::pair<std::string, std::string> expected;
  } rows[] = {
      {"method 255", false, {{3, "\x05\xff"s}}, badMethod},
      {"other method than offered", false, {{3, "\x05\x02"s}}, badMethod},
      {"no method offered back", true, {{3, "\x05\x00"s}}, badMethod},
      {"login refused",
       true,
       {{3, "\x05\x02"s}, {10, "\x01\x01"s}},
       {"ENetSocksAuthError", "Authentication error to socks server."}},
      {"close before the method", false, {{3, "", 0, true}}, noResponse},
      {"close inside the method", false, {{3, "\x05"s, 0, true}}, noResponse},
      {"close before the login answer", true, {{3, "\x05\x02"s}, {10, "", 0, true}}, noResponse},
      {"close inside the reply head",
       false,
       {{3, "\x05\x00"s}, {8, "\x05\x00\x00"s, 0, true}},
       noResponse},
      {"close inside the bound address",
       false,
       {{3, "\x05\x00"s},
        {8,
         "\x05\x00\x00\x03\x0a"
         "abc"s,
         0, true}},
       noResponse},
      {"unknown bound address type",
       false,
       {{3, "\x05\x00"s}, {8, "\x05\x00\x00\x07\x00\x00\x00\x00"s}},
       {"ENetSocksServerAddressError", "Address type not supported."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    StartPeer(row.turns);
    Socks().Authentication = row.withPassword ? TSocksAuthentication::saUsernamePassword
                                              : TSocksAuthentication::saNoAuthentication;
    Socks().Username = "bob";
    Socks().Password = "pass";
    EXPECT_EQ(Failure(TSocksVersion::svSocks5, "h", 80), row.expected);
    handler_.CloseHandler();
  }
}

TEST_F(SocksTest, OverlongFieldsAreRefusedBeforeAnythingIsSent) {
  const std::string longText(256, 'x');
  const struct {
    const char* name;
    TSocksVersion version;
    std::function<void(TNetSocksInfo&)> set;
    std::string host;
    const char* message;
  } rows[] = {
      {"socks 5 user name", TSocksVersion::svSocks5,
       [&](TNetSocksInfo& s) {
         s.Authentication = TSocksAuthentication::saUsernamePassword;
         s.Username = longText;
       },
       "h", "Socks user name is longer than 255 bytes."},
      {"socks 5 password", TSocksVersion::svSocks5,
       [&](TNetSocksInfo& s) {
         s.Authentication = TSocksAuthentication::saUsernamePassword;
         s.Password = longText;
       },
       "h", "Socks password is longer than 255 bytes."},
      {"socks 5 host", TSocksVersion::svSocks5, [](TNetSocksInfo&) {}, longText,
       "Socks destination host name is longer than 255 bytes."},
      {"socks 4 user id", TSocksVersion::svSocks4, [&](TNetSocksInfo& s) { s.Username = longText; },
       "127.0.0.1", "Socks user name is longer than 255 bytes."},
      {"socks 4A host", TSocksVersion::svSocks4A, [](TNetSocksInfo&) {}, longText,
       "Socks destination host name is longer than 255 bytes."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    StartPeer({{1, "\x05\x00"s}});
    TNetSocksInfo fresh;
    handler_.SetSocksInfo(&fresh);  // start from the defaults
    row.set(Socks());
    try {
      Negotiate(row.version, row.host, 80);
      FAIL() << "no exception";
    } catch (const ENetSocksError& e) {
      EXPECT_STREQ(e.ClassName(), "ENetSocksError");
      EXPECT_EQ(e.Message(), row.message);
    }
    EXPECT_EQ(ReceivedByPeer(), "");
  }
}

TEST(SocksInfo, DefaultsAndCopy) {
  TNetSocksInfo a;
  EXPECT_EQ(a.Version, TSocksVersion::svNoSocks);
  EXPECT_EQ(a.Authentication, TSocksAuthentication::saNoAuthentication);
  EXPECT_EQ(a.Port, 1080);
  EXPECT_EQ(a.IOHandler(), nullptr);
  a.Version = TSocksVersion::svSocks4A;
  a.Authentication = TSocksAuthentication::saUsernamePassword;
  a.Host = "proxy";
  a.Port = 9;
  a.Username = "u";
  a.Password = "p";
  TNetSocksInfo b;
  b.Assign(a);
  EXPECT_EQ(b.Version, a.Version);
  EXPECT_EQ(b.Authentication, a.Authentication);
  EXPECT_EQ(b.Host, "proxy");
  EXPECT_EQ(b.Port, 9);
  EXPECT_EQ(b.Username, "u");
  EXPECT_EQ(b.Password, "p");
  // No handler: nothing to negotiate over.
  EXPECT_NO_THROW(TNetSocksInfo().NegotiateSocksConnect("h", 80));
  EXPECT_THROW(b.NegotiateSocksConnect("h", 80), ENetClosedSocket);
}

// --- Real SOCKS servers relaying to a scripted echo server on loopback.

// Answers every line with "echo: " and the line.
ScriptedPeer::Script EchoLines() {
  return [](PeerConnection& c) {
    std::string line;
    while (c.TryReceiveUntil("\n", &line, std::chrono::milliseconds(3000)))
      if (!c.Send("echo: " + line)) return;
  };
}

class SocksServerTest : public ::testing::Test {
 protected:
  SocksServerTest() : echo_(EchoLines()) {}
  void TearDown() override { handler_.CloseHandler(); }
  // Connects through the proxy to the echo server and makes one round trip.
  std::string RoundTrip(TSocksVersion version, int proxyPort, const std::string& host) {
    TNetSocksInfo& socks = *handler_.SocksInfo();
    socks.Version = version;
    socks.Host = "127.0.0.1";
    socks.Port = proxyPort;
    handler_.OpenHandler();
    handler_.ConnectToPeer(host, echo_.Port(), "", 0, 0, 0, 5000);
    EXPECT_EQ(handler_.SendSome("hi\n", 3), 3);
    std::string answer;
    char buffer[64];
    while (answer.find('\n') == std::string::npos && handler_.WaitReadable(3000)) {
      const int n = handler_.ReceiveSome(buffer, sizeof buffer);
      if (n <= 0) break;
      answer.append(buffer, static_cast<size_t>(n));
    }
    handler_.CloseHandler();
    return answer;
  }
  std::string FailureOf(TSocksVersion version, int proxyPort, const std::string& host, int port) {
    TNetSocksInfo& socks = *handler_.SocksInfo();
    socks.Version = version;
    socks.Host = "127.0.0.1";
    socks.Port = proxyPort;
    handler_.OpenHandler();
    try {
      handler_.ConnectToPeer(host, port, "", 0, 0, 0, 5000);
    } catch (const Exception& e) {
      handler_.CloseHandler();
      return std::string(e.ClassName()) + ": " + e.Message();
    }
    handler_.CloseHandler();
    return "";
  }
  void UseCredentials(const std::string& user, const std::string& password) {
    TNetSocksInfo& socks = *handler_.SocksInfo();
    socks.Authentication = TSocksAuthentication::saUsernamePassword;
    socks.Username = user;
    socks.Password = password;
  }

  ScriptedPeer echo_;
  TNetIOHandlerSocket handler_;
};

TEST_F(SocksServerTest, DanteRelaysSocks4And5) {
  DanteServer dante;
  dante.Start();
  EXPECT_EQ(RoundTrip(TSocksVersion::svSocks4, dante.Port(), "127.0.0.1"), "echo: hi\n");
  EXPECT_EQ(RoundTrip(TSocksVersion::svSocks5, dante.Port(), "127.0.0.1"), "echo: hi\n");
  EXPECT_EQ(RoundTrip(TSocksVersion::svSocks5, dante.Port(), "localhost"), "echo: hi\n");
  // A destination that refuses: the server says so in its reply.
  const int closed = FreeTcpPort();
  EXPECT_EQ(FailureOf(TSocksVersion::svSocks4, dante.Port(), "127.0.0.1", closed),
            "ENetSocksRequestFailed: Request rejected or failed.");
  EXPECT_EQ(FailureOf(TSocksVersion::svSocks5, dante.Port(), "127.0.0.1", closed),
            "ENetSocksServerConnectionRefusedError: Connection refused.")
      << dante.Log();
}

TEST_F(SocksServerTest, DanteRulesetRefusal) {
  DanteServer dante;
  const int blocked = FreeTcpPort();
  dante.ExtraRules =
      "socks block { from: 0.0.0.0/0 to: 127.0.0.1/32 port = " + std::to_string(blocked) + " }";
  dante.Start();
  EXPECT_EQ(FailureOf(TSocksVersion::svSocks5, dante.Port(), "127.0.0.1", blocked),
            "ENetSocksServerPermissionError: Connection not allowed by ruleset.");
  EXPECT_EQ(FailureOf(TSocksVersion::svSocks4, dante.Port(), "127.0.0.1", blocked),
            "ENetSocksRequestFailed: Request rejected or failed.");
}

TEST_F(SocksServerTest, DanteWithCredentials) {
  DanteServer dante(true);
  dante.Start();
  UseCredentials(DanteServer::kUserName, DanteServer::kPassword);
  EXPECT_EQ(RoundTrip(TSocksVersion::svSocks5, dante.Port(), "127.0.0.1"), "echo: hi\n");
  UseCredentials(DanteServer::kUserName, "wrong");
  EXPECT_EQ(FailureOf(TSocksVersion::svSocks5, dante.Port(), "127.0.0.1", echo_.Port()),
            "ENetSocksAuthError: Authentication error to socks server.");
  // Offering no authentication to a server that insists on it.
  handler_.SocksInfo()->Authentication = TSocksAuthentication::saNoAuthentication;
  EXPECT_EQ(FailureOf(TSocksVersion::svSocks5, dante.Port(), "127.0.0.1", echo_.Port()),
            "ENetSocksAuthMethodError: Invalid socks authentication method.");
}

TEST_F(SocksServerTest, MicrosocksWithAndWithoutCredentials) {
  MicrosocksServer plain;
  plain.Start();
  EXPECT_EQ(RoundTrip(TSocksVersion::svSocks5, plain.Port(), "127.0.0.1"), "echo: hi\n");
  EXPECT_EQ(RoundTrip(TSocksVersion::svSocks5, plain.Port(), "localhost"), "echo: hi\n");

  MicrosocksServer secured("alice", "wonderland");
  secured.Start();
  UseCredentials("alice", "wonderland");
  EXPECT_EQ(RoundTrip(TSocksVersion::svSocks5, secured.Port(), "127.0.0.1"), "echo: hi\n");
  UseCredentials("alice", "looking-glass");
  EXPECT_EQ(FailureOf(TSocksVersion::svSocks5, secured.Port(), "127.0.0.1", echo_.Port()),
            "ENetSocksAuthError: Authentication error to socks server.");
}

}  // namespace
