#include "tests/support/nginx_server.h"

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/http_text.h"
#include "tests/support/tcp_channel.h"
#include "tests/support/temp_dir.h"

namespace {

// curl never asks a proxy from the environment here: only loopback traffic.
ProgramResult Curl(std::vector<std::string> args) {
  args.insert(args.begin(), {"curl", "-s", "-S", "--noproxy", "*", "--max-time", "10"});
  return RunProgram(args);
}

std::string Get(const std::string& path, const std::string& host) {
  return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
}

}  // namespace

TEST(NginxServerTest, ServesLengthFramedFilesOnAKeptConnectionAndStopsCompletely) {
  NginxServer nginx;
  nginx.WriteFile("dir/a.txt", "hello");
  nginx.Start();
  ASSERT_TRUE(nginx.Running());
  const pid_t pid = nginx.Pid();
  const std::string host = "127.0.0.1:" + std::to_string(nginx.Port());

  auto client = TcpChannel::Connect(nginx.Port());
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(client->Send(Get("/dir/a.txt", host)));
    const RequestHead head = ParseRequestHead(client->ReceiveUntil("\r\n\r\n"));
    EXPECT_EQ(head.RequestLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(head.Header("Content-Length"), "5");
    EXPECT_EQ(head.Header("Connection"), "keep-alive");
    EXPECT_EQ(client->ReceiveExactly(5), "hello");
  }
  ASSERT_TRUE(client->Send(Get("/none", host)));
  const std::string missing = client->ReceiveUntil("</html>\r\n");
  EXPECT_EQ(missing.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << missing;
  EXPECT_NE(missing.find("<title>404 Not Found</title>"), std::string::npos);

  nginx.Stop();
  EXPECT_FALSE(nginx.Running());
  EXPECT_FALSE(ProcessAlive(pid));
  EXPECT_FALSE(ProcessGroupAlive(pid));
  EXPECT_TRUE(client->WaitForClose(std::chrono::seconds(2)));
  EXPECT_NE(nginx.AccessLog().find("GET /dir/a.txt HTTP/1.1\" 200 5"), std::string::npos);
}

TEST(NginxServerTest, RedirectsSetsCookiesAndSendsChunkedBodies) {
  NginxServer nginx;
  nginx.AddLocation("= /old", "return 301 /new.txt;");
  nginx.AddLocation("= /moved", "return 302 http://localhost/elsewhere;");
  nginx.AddLocation("/c/", "add_header Set-Cookie \"id=42; Path=/\";");
  nginx.AddChunkedLocation("/chunked/");
  const std::string page = GeneratedBytes(0, 100000);
  nginx.WriteFile("chunked/page.bin", page);
  nginx.WriteFile("c/x.txt", "x");
  nginx.Start();

  const ProgramResult moved = Curl({"-i", nginx.Url("/old"), nginx.Url("/moved")});
  EXPECT_NE(moved.Stdout.find("HTTP/1.1 301 Moved Permanently\r\n"), std::string::npos);
  EXPECT_NE(moved.Stdout.find("Location: " + nginx.Url("/new.txt") + "\r\n"), std::string::npos)
      << moved.Stdout;
  EXPECT_NE(moved.Stdout.find("HTTP/1.1 302 Moved Temporarily\r\nServer"), std::string::npos);
  EXPECT_NE(moved.Stdout.find("Location: http://localhost/elsewhere\r\n"), std::string::npos);

  const ProgramResult cookie = Curl({"-i", nginx.Url("/c/x.txt")});
  EXPECT_NE(cookie.Stdout.find("Set-Cookie: id=42; Path=/\r\n"), std::string::npos);

  auto client = TcpChannel::Connect(nginx.Port());
  client->Send(Get("/chunked/page.bin", "localhost"));
  const RequestHead head = ParseRequestHead(client->ReceiveUntil("\r\n\r\n"));
  EXPECT_EQ(head.RequestLine, "HTTP/1.1 200 OK");
  EXPECT_EQ(head.Header("Transfer-Encoding"), "chunked");
  EXPECT_FALSE(head.Header("Content-Length").has_value());
  std::string body;
  for (;;) {
    const std::string sizeLine = client->ReceiveUntil("\r\n");
    const std::size_t size = std::stoul(sizeLine, nullptr, 16);
    body += client->ReceiveExactly(size);
    EXPECT_EQ(client->ReceiveExactly(2), "\r\n");
    if (size == 0) break;
  }
  EXPECT_EQ(body, page);
}

TEST(NginxServerTest, BasicAuthenticationAndLargeFiles) {
  NginxServer nginx;
  nginx.AddBasicAuth("/private/", "alice", "s3cret:x");
  nginx.WriteFile("private/p.txt", "private");
  const std::string big = "big.bin";
  nginx.WriteGeneratedFile(big, 6 * 1024 * 1024 + 7);
  nginx.Start();

  const std::string code = "%{http_code}\n";
  EXPECT_EQ(Curl({"-o", "/dev/null", "-w", code, nginx.Url("/private/p.txt")}).Stdout, "401\n");
  EXPECT_EQ(Curl({"-o", "/dev/null", "-w", code, "-u", "alice:wrong", nginx.Url("/private/p.txt")})
                .Stdout,
            "401\n");
  const ProgramResult authorized = Curl({"-u", "alice:s3cret:x", nginx.Url("/private/p.txt")});
  EXPECT_EQ(authorized.Stdout, "private") << authorized.Stderr << nginx.ErrorLog();

  TempDir out;
  const std::string saved = out.Path() + "/big.bin";
  EXPECT_EQ(Curl({"-o", saved, nginx.Url("/big.bin")}).ExitCode, 0);
  EXPECT_TRUE(FileHoldsGeneratedBytes(saved, 6 * 1024 * 1024 + 7));
  EXPECT_TRUE(FileHoldsGeneratedBytes(nginx.Root() + "/big.bin", 6 * 1024 * 1024 + 7));
}
