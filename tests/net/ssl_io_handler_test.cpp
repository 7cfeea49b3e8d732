// The TLS handler's handshake against scripted peers that never produce a proper server side:
// each must end in a clear error naming the host, within the time-out, with the socket closed.
#include "net/ssl_io_handler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/net_exceptions.h"
#include "net/anti_freeze.h"
#include "net/tcp_client.h"
#include "tests/support/memory_io_handler.h"
#include "tests/support/scripted_peer.h"

namespace {

using std::chrono::milliseconds;

// The first bytes of a TLS record header carrying a handshake.
constexpr char kHandshakeRecord = 0x16;

std::string ReceiveClientHello(PeerConnection& c) {
  std::string hello;
  c.TryReceiveExactly(5, &hello, milliseconds(2000));
  return hello;
}

// A TLS 1.0 ServerHello record: the version this client no longer speaks.
std::string Tls10ServerHello() {
  std::string body;
  body += "\x03\x01";                  // server version TLS 1.0
  body += std::string(32, '\x11');     // random
  body += '\0';                        // no session id
  body += std::string("\x00\x2f", 2);  // TLS_RSA_WITH_AES_128_CBC_SHA
  body += '\0';                        // no compression
  std::string handshake = "\x02";
  handshake += '\0';
  handshake += static_cast<char>(body.size() >> 8);
  handshake += static_cast<char>(body.size());
  handshake += body;
  std::string record = "\x16\x03\x01";
  record += static_cast<char>(handshake.size() >> 8);
  record += static_cast<char>(handshake.size());
  return record + handshake;
}

// A window's event turns; the fifth one is the user's stop.
class StoppingAntiFreeze : public TNetAntiFreezeBase {
 public:
  int Calls = 0;
  void ProcessPending() override {
    if (++Calls == 5) throw ENetException("stopped");
  }
};

}  // namespace

TEST(SslIoHandler, HandshakeFailuresAreClearAndBounded) {
  const std::string failed = "ENetSSLProtocolReplyError: TLS handshake with localhost failed: ";
  const struct {
    const char* name;
    ScriptedPeer::Script script;
    std::string error;  // the start of the message
  } cases[] = {
      {"closes at once", [](PeerConnection& c) { c.Close(); },
       failed + "the server closed the connection"},
      {"closes mid-handshake",
       [](PeerConnection& c) {
         ReceiveClientHello(c);
         c.Send(std::string("\x16\x03\x03\x00\x40", 5) + "partial");
         c.Close();
       },
       failed + "the server closed the connection"},
      {"answers in plain HTTP",
       [](PeerConnection& c) {
         ReceiveClientHello(c);
         c.Send("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
       },
       failed + "wrong version number"},
      {"answers with TLS 1.0",
       [](PeerConnection& c) {
         ReceiveClientHello(c);
         c.Send(Tls10ServerHello());
       },
       failed + "unsupported protocol"},
      {"stays silent",
       [](PeerConnection& c) {
         ReceiveClientHello(c);
         c.StaySilent(milliseconds(1000));
       },
       failed + "no answer within 400 ms"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string firstBytes;
    ScriptedPeer peer([&](PeerConnection& p) {
      c.script(p);
      firstBytes = p.Received().substr(0, 1);
    });
    TNetSSLIOHandlerSocket tls;
    tls.SetPassThrough(false);
    TNetTCPClient client;
    client.SetIOHandler(&tls);
    client.SetHost("localhost");
    client.SetPort(peer.Port());
    const auto started = std::chrono::steady_clock::now();
    const std::string error = ErrorOf([&] { client.OpenConnection(400); });
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(error.substr(0, c.error.size()), c.error) << error;
    EXPECT_LT(took, milliseconds(2500));
    EXPECT_FALSE(tls.IsOpen());
    EXPECT_FALSE(tls.TLSActive());
    peer.WaitUntilIdle();
    // What reached the peer was a TLS handshake, nothing else.
    EXPECT_TRUE(firstBytes.empty() || firstBytes[0] == kHandshakeRecord);
  }
}

TEST(SslIoHandler, NoBytesMoveWhileTlsIsWantedButNotRunning) {
  TNetSSLIOHandlerSocket tls;
  tls.SetPassThrough(false);
  char byte = 'x';
  EXPECT_EQ(ErrorOf([&] { tls.SendSome(&byte, 1); }),
            "ENetSSLProtocolReplyError: TLS is not running on this connection.");
  EXPECT_EQ(ErrorOf([&] { tls.ReceiveSome(&byte, 1); }),
            "ENetSSLProtocolReplyError: TLS is not running on this connection.");
  EXPECT_EQ(tls.ProtocolText(), "");
}

TEST(SslIoHandler, AnUnreadableTrustFileIsNamed) {
  ScriptedPeer peer([](PeerConnection& c) { ReceiveClientHello(c); });
  TNetSSLIOHandlerSocket tls;
  tls.SetPassThrough(false);
  tls.CAFile = "/nonexistent/bundle.pem";
  TNetTCPClient client;
  client.SetIOHandler(&tls);
  client.SetHost("127.0.0.1");
  client.SetPort(peer.Port());
  const std::string error = ErrorOf([&] { client.OpenConnection(2000); });
  EXPECT_EQ(error.rfind("ENetSSLProtocolReplyError: Cannot load the certificates in "
                        "/nonexistent/bundle.pem: ",
                        0),
            0u)
      << error;
  EXPECT_FALSE(tls.IsOpen());
}

TEST(SslIoHandler, AStalledHandshakeWithoutTimeOutStillTurnsTheWindowsEvents) {
  ScriptedPeer peer([](PeerConnection& c) {
    ReceiveClientHello(c);
    c.StaySilent(milliseconds(5000));
  });
  StoppingAntiFreeze freeze;
  freeze.IdleTimeOut = 50;
  TNetSSLIOHandlerSocket tls;
  tls.SetPassThrough(false);
  TNetTCPClient client;
  client.SetIOHandler(&tls);
  client.SetHost("localhost");
  client.SetPort(peer.Port());
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { client.OpenConnection(0); }), "ENetException: stopped");
  EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(2000));
  EXPECT_EQ(freeze.Calls, 5);
  EXPECT_FALSE(tls.IsOpen());
}
