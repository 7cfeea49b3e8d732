// TNetHTTP over TLS against nginx on loopback, with certificates made for each test run:
// verification, framing, reuse, proxies, and what goes where only over TLS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "http/http.h"
#include "net/socks_info.h"
#include "net/ssl_io_handler.h"
#include "tests/support/dante_server.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/memory_io_handler.h"
#include "tests/support/microsocks_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tinyproxy_server.h"

namespace {

TestCertificates& Certificates() {
  static TestCertificates certificates;
  return certificates;
}

// nginx serving TLS with a certificate of the given kind.
struct TlsNginx : NginxServer {
  explicit TlsNginx(CertificateKind kind = CertificateKind::ckGood) {
    const CertificateFiles files = Certificates().Server(kind);
    UseTls(files.Certificate, files.Key);
  }
};

// A client with a TLS handler that trusts the test authority.
struct TlsClient {
  TNetSSLIOHandlerSocket tls;
  TNetHTTP http;
  TlsClient() {
    tls.CAFile = Certificates().CAFile();
    http.SetIOHandler(&tls);
    http.ReadTimeout = 10000;
  }
  std::string Get(const std::string& address, std::string* error = nullptr) {
    TStringStream out;
    const std::string raised = ErrorOf([&] { http.HttpGet(address, out); });
    if (error) {
      *error = raised;
    } else {
      EXPECT_EQ(raised, "") << address;
    }
    return out.DataString();
  }
};

const std::string kHandshakeFailed = "ENetSSLProtocolReplyError: TLS handshake with ";

// Sets an environment variable for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(Https, CertificatesAreCheckedBeforeAnythingIsSent) {
  const struct {
    CertificateKind kind;
    const char* host;  // as the address names the server
    bool verify;
    bool systemStore;  // trust through SSL_CERT_FILE instead of CAFile
    std::string error;
  } cases[] = {
      {CertificateKind::ckGood, "localhost", true, false, ""},
      {CertificateKind::ckGood, "127.0.0.1", true, false, ""},
      {CertificateKind::ckGood, "localhost", true, true, ""},
      {CertificateKind::ckWrongName, "localhost", true, false,
       kHandshakeFailed + "localhost failed: certificate verify failed (hostname mismatch)"},
      {CertificateKind::ckWrongName, "127.0.0.1", true, false,
       kHandshakeFailed + "127.0.0.1 failed: certificate verify failed (IP address mismatch)"},
      {CertificateKind::ckExpired, "localhost", true, false,
       kHandshakeFailed + "localhost failed: certificate verify failed (certificate has expired)"},
      {CertificateKind::ckSelfSigned, "localhost", true, false,
       kHandshakeFailed + "localhost failed: certificate verify failed (self-signed certificate)"},
      {CertificateKind::ckUntrustedIssuer, "localhost", true, false,
       kHandshakeFailed +
           "localhost failed: certificate verify failed (unable to get local issuer certificate)"},
      {CertificateKind::ckSelfSigned, "localhost", false, false, ""},
      {CertificateKind::ckWrongName, "localhost", false, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.host) + " " + c.error);
    TlsNginx nginx(c.kind);
    nginx.WriteFile("page.html", "<p>secret</p>");
    nginx.Start();
    std::optional<ScopedVariable> store;
    TlsClient client;
    client.tls.VerifyPeer = c.verify;
    if (c.systemStore) {
      store.emplace("SSL_CERT_FILE", Certificates().CAFile());
      client.tls.CAFile.clear();
    }
    std::string error;
    const std::string body = client.Get(
        "https://" + std::string(c.host) + ":" + std::to_string(nginx.Port()) + "/page.html",
        &error);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(body, c.error.empty() ? "<p>secret</p>" : "");
    EXPECT_FALSE(!c.error.empty() && client.http.IsConnected());
    nginx.Stop();
    // A refused certificate means no request ever reached the server.
    EXPECT_EQ(nginx.AccessLog().find("GET /page.html") != std::string::npos, c.error.empty());
  }
}

TEST(Https, ServerThatOffersOnlyOldProtocolsIsRefused) {
  NginxServer nginx;
  const CertificateFiles files = Certificates().Server(CertificateKind::ckGood);
  nginx.UseTls(files.Certificate, files.Key, "TLSv1 TLSv1.1");
  // The old protocols need the weakest security level on the server's side.
  nginx.ServerDirectives += "    ssl_ciphers DEFAULT@SECLEVEL=0;\n";
  nginx.WriteFile("page.html", "old");
  nginx.Start();
  TlsClient client;
  std::string error;
  EXPECT_EQ(client.Get(nginx.Url("/page.html"), &error), "");
  EXPECT_EQ(error.rfind(kHandshakeFailed + "localhost failed: ", 0), 0u) << error;
  EXPECT_NE(error.find("protocol"), std::string::npos) << error;
}

TEST(Https, BodiesOfEveryFramingAndTheConnectionKept) {
  TlsNginx nginx;
  nginx.AddChunkedLocation("/chunked/");
  nginx.WriteFile("chunked/page.html", "<p>in chunks</p>");
  nginx.WriteGeneratedFile("big.bin", 3 * 1024 * 1024 + 17);
  nginx.WriteFile("small.txt", "small");
  nginx.Start();
  TlsClient client;
  EXPECT_EQ(client.Get(nginx.Url("/small.txt")), "small");
  EXPECT_EQ(client.tls.ProtocolText(), "TLSv1.3");
  EXPECT_FALSE(client.tls.CipherName().empty());
  const int localPort = client.tls.SocketHandle()->Port;
  EXPECT_EQ(client.Get(nginx.Url("/big.bin")), GeneratedBytes(0, 3 * 1024 * 1024 + 17));
  EXPECT_EQ(client.Get(nginx.Url("/chunked/page.html")), "<p>in chunks</p>");
  // Keep-alive over TLS: every request so far went over the first connection.
  EXPECT_EQ(client.tls.SocketHandle()->Port, localPort);
  EXPECT_TRUE(client.http.IsConnected());

  // HTTP/1.0: nginx cannot chunk, so the body runs until it closes the connection.
  client.http.ProtocolVersion = TNetHTTPProtocolVersion::pv1_0;
  client.http.Request.Connection = "close";
  EXPECT_EQ(client.Get(nginx.Url("/chunked/page.html")), "<p>in chunks</p>");
  EXPECT_EQ(client.http.LastResponse.ContentLength, -1);
  EXPECT_FALSE(client.http.IsConnected());
}

TEST(Https, PlainAndSecureAddressesOnOneClient) {
  // The other server's port comes with the request: each is known only once it runs.
  TlsNginx secure;
  secure.WriteFile("s.txt", "secure");
  secure.AddLocation("= /back", "return 302 http://127.0.0.1:$arg_p/p.txt;");
  secure.Start();
  NginxServer plain;
  plain.WriteFile("p.txt", "plain");
  plain.AddLocation("= /up", "return 301 https://localhost:$arg_p/s.txt;");
  plain.Start();

  TlsClient client;
  client.http.HandleRedirects = true;
  // http, then a redirect to https, on one client and one handler.
  EXPECT_EQ(client.Get(plain.Url("/up?p=" + std::to_string(secure.Port()))), "secure");
  EXPECT_TRUE(client.tls.TLSActive());
  // An https page's address is not sent as Referer to an http server.
  client.http.Request.Referer = secure.Url("/s.txt");
  EXPECT_EQ(client.Get(secure.Url("/back?p=" + std::to_string(plain.Port()))), "plain");
  EXPECT_FALSE(client.tls.TLSActive());
  EXPECT_EQ(client.http.CurrentAddress.Scheme, "http");
  plain.Stop();
  secure.Stop();
  EXPECT_EQ(plain.AccessLog().find("https:"), std::string::npos) << plain.AccessLog();
}

TEST(Https, SecureCookiesOnlyOverTls) {
  TlsNginx secure;
  secure.AddLocation("= /set", "add_header Set-Cookie \"s=1; Path=/; Secure\"; return 204;");
  secure.AddLocation("= /echo", "return 200 \"[$http_cookie]\";");
  secure.Start();
  NginxServer plain;
  plain.AddLocation("= /echo", "return 200 \"[$http_cookie]\";");
  plain.Start();
  TlsClient client;
  EXPECT_EQ(client.Get(secure.Url("/set")), "");
  EXPECT_EQ(client.Get(secure.Url("/echo")), "[s=1]");
  // The same host (the cookie's domain is localhost) without TLS, through the TLS handler.
  EXPECT_EQ(client.Get("http://localhost:" + std::to_string(plain.Port()) + "/echo"), "[]");
}

TEST(Https, ThroughProxies) {
  TlsNginx nginx;
  nginx.WriteFile("page.html", "behind the proxy");
  nginx.Start();
  const std::string address = nginx.Url("/page.html");
  {
    TinyproxyServer proxy;
    proxy.Start();
    TlsClient client;
    client.http.ProxyParams.SetProxyServer("127.0.0.1");
    client.http.ProxyParams.SetProxyPort(proxy.Port());
    EXPECT_EQ(client.Get(address), "behind the proxy");
    EXPECT_EQ(client.http.Request.ConnectionKind, TNetConnectionKind::ckTlsViaProxy);
    EXPECT_TRUE(client.tls.TLSActive());
  }
  const struct {
    TSocksVersion version;
    bool dante;
  } socks[] = {{TSocksVersion::svSocks5, false},
               {TSocksVersion::svSocks5, true},
               {TSocksVersion::svSocks4, true}};
  for (const auto& s : socks) {
    SCOPED_TRACE(s.dante ? "dante" : "microsocks");
    std::optional<DanteServer> dante;
    std::optional<MicrosocksServer> microsocks;
    int port = 0;
    if (s.dante) {
      dante.emplace();
      dante->Start();
      port = dante->Port();
    } else {
      microsocks.emplace();
      microsocks->Start();
      port = microsocks->Port();
    }
    TlsClient client;
    client.tls.SocksInfo()->Version = s.version;
    client.tls.SocksInfo()->Host = "127.0.0.1";
    client.tls.SocksInfo()->Port = port;
    // SOCKS 4 carries an address, not a name; the certificate is checked against the name.
    EXPECT_EQ(client.Get(address), "behind the proxy");
    EXPECT_EQ(client.tls.ServerName, "localhost");
  }
}
