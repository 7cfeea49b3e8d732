// flashgrab-cli over https and across redirects, run as a program against nginx with
// certificates made for the test run.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/cli/cli_program.h"
#include "tests/support/child_process.h"
#include "tests/support/movie_page.h"
#include "tests/support/nginx_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tinyproxy_server.h"

namespace {

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

// An https nginx and a plain one that sends every request on to it.
class CliHttps : public testing::Test {
 protected:
  void SetUp() override {
    const CertificateFiles files = certificates_.Server(CertificateKind::ckGood);
    secure_.UseTls(files.Certificate, files.Key);
    secure_.AddLocation("= /loop", "return 302 /loop;");
    secure_.Start();
    origin_ = secure_.Url("");
    // Only movies of this server: a grab with -d then contacts nobody else.
    secure_.WriteFile("page.html", "<embed src=\"" + origin_ + "/movies/red.swf\">\n<p>\"" +
                                       origin_ + "/movies/one.swf\"</p>\n");
    secure_.WriteFile("movies/red.swf", RedSwfBytes());
    secure_.WriteFile("movies/one.swf", "movie one");
    secure_.WriteFile("movies/two.swf", "movie two");
    plain_.AddLocation("/", "return 301 " + origin_ + "$request_uri;");
    plain_.Start();
  }
  TestCertificates certificates_;
  NginxServer secure_;
  NginxServer plain_;
  std::string origin_;
  TempDir out_;
};

}  // namespace

TEST_F(CliHttps, GetWithTheCertificateOptions) {
  const std::string ca = certificates_.CAFile();
  const std::string page = origin_ + "/movies/one.swf";
  const std::string plainPort = std::to_string(plain_.Port());
  const std::string failed = "flashgrab-cli: ENetSSLProtocolReplyError: TLS handshake with ";
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> environment;
    int exitCode;
    std::string stdoutText;
    std::string stderrPart;  // a part of standard error; empty: nothing on it at all
  } cases[] = {
      {{"--cacert", ca, page}, {}, 0, "movie one", ""},
      {{page}, {"SSL_CERT_FILE=" + ca}, 0, "movie one", ""},
      {{page},
       {"SSL_CERT_FILE=/nonexistent", "SSL_CERT_DIR=/nonexistent"},
       1,
       "",
       failed + "localhost failed: certificate verify failed (unable to get local issuer "
                "certificate)\n"},
      {{"-k", page},
       {"SSL_CERT_FILE=/nonexistent"},
       0,
       "movie one",
       "flashgrab-cli: warning: --insecure: the certificates of https servers are not checked\n"},
      {{"--cacert", "/nonexistent.pem", page},
       {},
       1,
       "",
       "flashgrab-cli: ENetSSLProtocolReplyError: Cannot load the certificates in "
       "/nonexistent.pem: "},
      {{"-v", "--cacert", ca, page}, {}, 0, "movie one", "* TLS session with localhost: TLSv1."},
      // get follows only with -L; grab and download always.
      {{"--cacert", ca, plain_.Url("/movies/one.swf")},
       {},
       1,
       "",
       "flashgrab-cli: ENetHTTPProtocolException: HTTP/1.1 301 Moved Permanently\n"},
      {{"-L", "--cacert", ca, plain_.Url("/movies/one.swf")}, {}, 0, "movie one", ""},
      {{"-L", "--cacert", ca, "localhost:" + plainPort + "/movies/two.swf"},
       {},
       0,
       "movie two",
       ""},
      {{"-L", "--max-redirs", "3", "--cacert", ca, origin_ + "/loop"},
       {},
       1,
       "",
       "flashgrab-cli: ENetHTTPProtocolException: Too many redirects: 3 followed, the next to " +
           origin_ + "/loop\n"},
      // Addresses that cannot be asked for are usage errors.
      {{"ftp://localhost/file"}, {}, 2, "", "flashgrab-cli: get: Unknown protocol: ftp\n"},
      {{"http:///file"},
       {},
       2,
       "",
       "flashgrab-cli: get: Invalid address (no host): http:///file\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"get"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(args.back());
    const ProgramResult r = RunCli(args, "", c.environment);
    EXPECT_EQ(r.ExitCode, c.exitCode) << r.Stderr;
    EXPECT_EQ(r.Stdout, c.stdoutText);
    if (c.stderrPart.empty())
      EXPECT_EQ(r.Stderr, "");
    else
      EXPECT_EQ(Occurrences(r.Stderr, c.stderrPart), 1) << r.Stderr;
  }
}

TEST_F(CliHttps, GrabFollowsToHttpsAndSavesTheMovies) {
  const std::string ca = certificates_.CAFile();
  // The page's address is typed without a scheme; its server sends the grab to https.
  const ProgramResult r = RunCli({"grab", "--cacert", ca, "-d", out_.Path(),
                                  "127.0.0.1:" + std::to_string(plain_.Port()) + "/page.html"});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr << r.Stdout;
  EXPECT_NE(r.Stdout.find(origin_ + "/movies/red.swf\n"), std::string::npos) << r.Stdout;
  EXPECT_NE(r.Stdout.find("saved " + out_.Path() + "/red.swf\n"), std::string::npos) << r.Stdout;
  EXPECT_EQ(ReadFileBytes(out_.Path() + "/red.swf"), RedSwfBytes());
  EXPECT_EQ(ReadFileBytes(out_.Path() + "/one.swf"), "movie one");

  // download follows too, through an HTTP proxy's tunnel as well.
  TinyproxyServer proxy;
  proxy.Start();
  const ProgramResult d =
      RunCli({"download", "--cacert", ca, "-x", "127.0.0.1:" + std::to_string(proxy.Port()), "-d",
              out_.Path(), plain_.Url("/movies/two.swf")});
  EXPECT_EQ(d.ExitCode, 0) << d.Stderr << d.Stdout;
  EXPECT_EQ(ReadFileBytes(out_.Path() + "/two.swf"), "movie two");

  // A certificate that is not trusted fails the grab with the handshake's reason.
  const ProgramResult refused = RunCli({"grab", plain_.Url("/page.html")}, "",
                                       {"SSL_CERT_FILE=/nonexistent", "SSL_CERT_DIR=/nonexistent"});
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_NE(refused.Stderr.find("TLS handshake with localhost failed: certificate verify failed"),
            std::string::npos)
      << refused.Stderr;
}
