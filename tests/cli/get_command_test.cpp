// flashgrab-cli get, run as a program against servers on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_program.h"
#include "tests/support/child_process.h"
#include "tests/support/dante_server.h"
#include "tests/support/free_port.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/http_text.h"
#include "tests/support/microsocks_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scripted_peer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tinyproxy_server.h"

namespace {

ProgramResult Get(std::vector<std::string> args) {
  args.insert(args.begin(), {kProgram, "get"});
  return RunProgram(args, "", std::chrono::seconds(20));
}

// The lines of a text without their line ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

int CountLines(const std::string& text, const std::string& line) {
  int n = 0;
  for (const std::string& l : Lines(text))
    n += l == line;
  return n;
}

// Answers every request of every connection with `response`, recording the heads.
ScriptedPeer::Script AnswerAll(std::string response) {
  return [response](PeerConnection& c) {
    std::string head;
    while (c.TryReceiveUntil("\r\n\r\n", &head, std::chrono::milliseconds(3000)))
      c.Send(response);
  };
}

}  // namespace

TEST(CliGet, UnusableArgumentsExitWithTwoAndAUsageLine) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--no-such-option", "http://127.0.0.1/"},
      {"-Z", "http://127.0.0.1/"},
      {"-o"},
      {"-o", "f", "http://127.0.0.1/a", "http://127.0.0.1/b"},
      {"--max-time", "soon", "http://127.0.0.1/"},
      {"--max-redirs", "-1", "http://127.0.0.1/"},
      {"-u", "nocolon", "http://127.0.0.1/"},
      {"-x", "127.0.0.1:notaport", "http://127.0.0.1/"},
      {"-H", "NoColon", "http://127.0.0.1/"},
  };
  for (const auto& args : cases) {
    const ProgramResult r = Get(args);
    EXPECT_EQ(r.ExitCode, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.Stderr.find("usage: flashgrab-cli get [options] URL..."), std::string::npos)
        << r.Stderr;
    EXPECT_EQ(r.Stdout, "");
  }
  const ProgramResult help = Get({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_NE(help.Stdout.find("--socks5 HOST:PORT"), std::string::npos);
  const ProgramResult none = RunProgram({kProgram});
  EXPECT_EQ(none.ExitCode, 2);
  EXPECT_NE(none.Stderr.find("get"), std::string::npos);
  EXPECT_EQ(RunProgram({kProgram, "fetch"}).ExitCode, 2);
}

TEST(CliGet, SeveralAddressesShareTheConnectionAndTheCookies) {
  NginxServer nginx;
  nginx.HttpDirectives += "  log_format fgconn '$connection $request \"$http_cookie\"';\n";
  nginx.ServerDirectives += "    access_log " + nginx.Dir().Path() + "/conn.log fgconn;\n";
  nginx.WriteFile("a.txt", "alpha\n");
  nginx.WriteFile("c/set.txt", "cookie\n");
  nginx.WriteGeneratedFile("g.bin", 100000);
  nginx.AddLocation("/c/", "add_header Set-Cookie \"sid=77; Path=/\";");
  nginx.Start();
  const ProgramResult r = Get({"-v", nginx.Url("/a.txt"), nginx.Url("/c/set.txt"),
                               nginx.Url("/g.bin"), nginx.Url("/a.txt")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "alpha\ncookie\n" + GeneratedBytes(0, 100000) + "alpha\n");
  EXPECT_EQ(CountLines(r.Stderr, "* Connected."), 1) << r.Stderr;
  EXPECT_EQ(CountLines(r.Stderr, "> GET /a.txt HTTP/1.1"), 2);
  EXPECT_EQ(CountLines(r.Stderr, "> User-Agent: Mozilla/3.0 (compatible; Net Library)"), 4);
  EXPECT_EQ(CountLines(r.Stderr, "< HTTP/1.1 200 OK"), 4);
  EXPECT_EQ(CountLines(r.Stderr, "< Set-Cookie: sid=77; Path=/"), 1);
  EXPECT_EQ(CountLines(r.Stderr, "> Cookie: sid=77"), 2);
}

TEST(CliGet, FirstFailureStopsWithOneLineAndExitOne) {
  NginxServer nginx;
  nginx.WriteFile("a.txt", "alpha\n");
  nginx.Start();
  const ProgramResult r = Get({nginx.Url("/a.txt"), nginx.Url("/missing"), nginx.Url("/a.txt")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stdout, "alpha\n");
  EXPECT_EQ(r.Stderr, "flashgrab-cli: ENetHTTPProtocolException: HTTP/1.1 404 Not Found\n");

  // A message with CR LF inside is shown on one line, and says where the connect went.
  const std::string port = std::to_string(FreeTcpPort());
  const ProgramResult refused = Get({"http://127.0.0.1:" + port + "/"});
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_EQ(refused.Stderr, "flashgrab-cli: ENetConnectException: cannot connect to 127.0.0.1:" +
                                port + ": Socket Error # 10061 Connection refused.\n");

  const ProgramResult https = Get({"https://127.0.0.1:" + port + "/"});
  EXPECT_EQ(https.Stderr, "flashgrab-cli: ENetConnectException: cannot connect to 127.0.0.1:" +
                              port + ": Socket Error # 10061 Connection refused.\n");
}

TEST(CliGet, OutputFileAppearsOnlyWhenComplete) {
  NginxServer nginx;
  nginx.WriteGeneratedFile("movie.swf", 500000);
  nginx.Start();
  TempDir dir;
  const std::string file = dir.Path() + "/out.swf";
  ProgramResult r = Get({"-o", file, nginx.Url("/movie.swf")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "");
  EXPECT_TRUE(FileHoldsGeneratedBytes(file, 500000));
  EXPECT_EQ(FileNamesIn(dir.Path()), std::vector<std::string>{"out.swf"});

  // A failed fetch leaves an existing file as it was and no temporary file behind.
  dir.WriteFile("out.swf", "previous content");
  r = Get({"-o", file, nginx.Url("/nothing.swf")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(ReadFileBytes(file), "previous content");
  EXPECT_EQ(FileNamesIn(dir.Path()), std::vector<std::string>{"out.swf"});

  // So does a body cut short by the server.
  ScriptedPeer cut([](PeerConnection& c) {
    c.ReceiveUntil("\r\n\r\n");
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(70000, 'x'));
    c.Close();
  });
  r = Get({"-o", file, cut.Url("/movie.swf")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stderr, "flashgrab-cli: ENetConnClosedGracefully: Connection Closed Gracefully.\n");
  EXPECT_EQ(ReadFileBytes(file), "previous content");
  EXPECT_EQ(FileNamesIn(dir.Path()), std::vector<std::string>{"out.swf"});

  // A folder that does not exist cannot take the file.
  r = Get({"-o", dir.Path() + "/no/such/folder/f", nginx.Url("/movie.swf")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stderr.rfind("flashgrab-cli: EFCreateError: Cannot create file \"", 0), 0u)
      << r.Stderr;
}

TEST(CliGet, RequestHeadsOfTheOptions) {
  ScriptedPeer peer(AnswerAll(HttpResponse(200, "OK", {}, "ok")));
  ProgramResult r = Get({peer.Url("/plain.swf")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  r = Get({"-A", "Agent/1.0", "-e", "http://ref.test/page", "-H", "X-One: 1", "-H", "Accept: */*",
           "-u", "user:pa:ss", peer.Url("/opt")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  r = Get({"--http1.0", peer.Url("/old")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  ASSERT_TRUE(peer.WaitUntilIdle());
  const std::string host = "Host: 127.0.0.1:" + std::to_string(peer.Port());
  // Without options: the window's download client.
  EXPECT_EQ(peer.Received(0),
            "GET /plain.swf HTTP/1.1\r\n"
            "Content-Type: text/html\r\n" +
                host +
                "\r\n"
                "Accept: text/html, */*\r\n"
                "User-Agent: Mozilla/3.0 (compatible; Net Library)\r\n"
                "\r\n");
  EXPECT_EQ(peer.Received(1),
            "GET /opt HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "X-One: 1\r\n" +
                host +
                "\r\n"
                "Accept: */*\r\n"
                "Referer: http://ref.test/page\r\n"
                "User-Agent: Agent/1.0\r\n"
                "Authorization: Basic dXNlcjpwYTpzcw==\r\n"
                "\r\n");
  EXPECT_EQ(peer.Received(2).substr(0, 48), "GET /old HTTP/1.0\r\nConnection: keep-alive\r\nConte");
}

TEST(CliGet, RedirectionsAndBasicAuthenticationAgainstNginx) {
  NginxServer nginx;
  nginx.WriteFile("new.txt", "new\n");
  nginx.WriteFile("private/p.txt", "private\n");
  nginx.AddLocation("= /old", "return 301 /new.txt;");
  nginx.AddLocation("= /older", "return 302 /old;");
  nginx.AddBasicAuth("/private/", "alice", "s3cret");
  nginx.Start();
  ProgramResult r = Get({nginx.Url("/old")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stderr, "flashgrab-cli: ENetHTTPProtocolException: HTTP/1.1 301 Moved Permanently\n");
  r = Get({"-L", nginx.Url("/older")});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "new\n");
  r = Get({"-L", "--max-redirs", "1", nginx.Url("/older")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Stderr,
            "flashgrab-cli: ENetHTTPProtocolException: Too many redirects: 1 followed, "
            "the next to " +
                nginx.Url("/new.txt") + "\n");
  r = Get({"-L", "--max-redirs", "2", nginx.Url("/older")});
  EXPECT_EQ(r.Stdout, "new\n");

  r = Get({nginx.Url("/private/p.txt")});
  EXPECT_EQ(r.Stderr, "flashgrab-cli: ENetHTTPProtocolException: HTTP/1.1 401 Unauthorized\n");
  r = Get({"-u", "alice:s3cret", nginx.Url("/private/p.txt")});
  EXPECT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "private\n");
}

TEST(CliGet, ChunkedBodyFromNginx) {
  NginxServer nginx;
  std::string page;
  for (int i = 0; i < 3000; ++i)
    page += std::to_string(i) + ",";
  nginx.WriteFile("ssi/p.html", page);
  nginx.AddChunkedLocation("/ssi/");
  nginx.Start();
  const ProgramResult r = Get({"-v", nginx.Url("/ssi/p.html"), nginx.Url("/ssi/p.html")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, page + page);
  EXPECT_EQ(CountLines(r.Stderr, "< Transfer-Encoding: chunked"), 2);
  EXPECT_EQ(CountLines(r.Stderr, "* Chunk Started"), 2);
}

TEST(CliGet, ThroughTinyproxy) {
  NginxServer nginx;
  nginx.WriteFile("a.txt", "proxied\n");
  nginx.Start();
  TinyproxyServer proxy;
  proxy.BasicAuthUser = "pu";
  proxy.BasicAuthPassword = "pp";
  proxy.Start();
  const std::string at = "127.0.0.1:" + std::to_string(proxy.Port());
  ProgramResult r = Get({"-x", at, nginx.Url("/a.txt")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Stderr.find("407"), std::string::npos) << r.Stderr;
  r = Get({"-v", "-x", at, "--proxy-user", "pu:pp", "--http1.0", nginx.Url("/a.txt"),
           nginx.Url("/a.txt")});
  ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
  EXPECT_EQ(r.Stdout, "proxied\nproxied\n");
  EXPECT_EQ(CountLines(r.Stderr, "> GET " + nginx.Url("/a.txt") + " HTTP/1.0"), 2);
  EXPECT_EQ(CountLines(r.Stderr, "> Proxy-Connection: keep-alive"), 2);
  EXPECT_EQ(CountLines(r.Stderr, "> Proxy-Authorization: Basic cHU6cHA="), 2);
}

TEST(CliGet, ThroughSocksServers) {
  NginxServer nginx;
  nginx.WriteGeneratedFile("g.bin", 300000);
  nginx.Start();
  const std::string body = GeneratedBytes(0, 300000);
  {
    MicrosocksServer socks("su", "sp");
    socks.Start();
    const std::string at = "127.0.0.1:" + std::to_string(socks.Port());
    ProgramResult r = Get({"--socks5", at, "--socks-user", "su:sp", nginx.Url("/g.bin")});
    ASSERT_EQ(r.ExitCode, 0) << r.Stderr;
    EXPECT_EQ(r.Stdout, body);
    r = Get({"--socks5", at, nginx.Url("/g.bin")});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Stderr.rfind("flashgrab-cli: ENetSocks", 0), 0u) << r.Stderr;
  }
  {
    DanteServer dante;
    dante.Start();
    const std::string at = "127.0.0.1:" + std::to_string(dante.Port());
    for (const char* version : {"--socks5", "--socks4"}) {
      const ProgramResult r = Get({version, at, nginx.Url("/g.bin"), nginx.Url("/g.bin")});
      ASSERT_EQ(r.ExitCode, 0) << version << " " << r.Stderr << dante.Log();
      EXPECT_EQ(r.Stdout, body + body) << version;
    }
  }
}

TEST(CliGet, ASilentServerIsLeftAfterTheTimeLimits) {
  ScriptedPeer silent([](PeerConnection& c) {
    c.ReceiveUntil("\r\n\r\n");
    c.StaySilent(std::chrono::seconds(5));
  });
  // The whole transfer's limit, in seconds with decimals as curl takes them, and the limit of a
  // wait without a byte.
  const struct {
    std::vector<std::string> Limit;
    const char* Error;
  } rows[] = {
      {{"--max-time", "0.3"}, "ENetReadTimeout: Transfer time limit reached"},
      {{"--stall-timeout", ".3"}, "ENetReadTimeout: Read Timeout"},
  };
  for (const auto& row : rows) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> args = row.Limit;
    args.push_back(silent.Url("/"));
    const ProgramResult r = Get(args);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Stderr, std::string("flashgrab-cli: ") + row.Error + "\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  }

  // Without them, a wait of 60 s without a byte is allowed.
  ChildProcess waiting({kProgram, "get", silent.Url("/")});
  waiting.Start();
  EXPECT_FALSE(waiting.WaitForExit(std::chrono::milliseconds(1500)));
  EXPECT_TRUE(waiting.Running());
  waiting.Stop();
  silent.Stop();
}
