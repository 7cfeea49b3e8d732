// A soak of the client against real servers on loopback: keep-alive requests to nginx, then
// requests through each proxy kind (tinyproxy as an HTTP proxy, dante with SOCKS 4 and 5,
// microsocks with SOCKS 5). Prints the open descriptors and the resident memory of this
// process at the start, the middle and the end of each run. Nothing in it grows with the
// number of requests once the first hundred have warmed up the buffers and the allocator.
//
//   soak [requests to nginx, default 10000] [requests through each proxy, default 1000]

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "base/string_stream.h"
#include "http/http.h"
#include "net/io_handler_socket.h"
#include "net/socks_info.h"
#include "tests/support/dante_server.h"
#include "tests/support/microsocks_server.h"
#include "tests/support/nginx_server.h"
#include "tests/support/tinyproxy_server.h"

namespace {

int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
  }
  return count - 1;  // the descriptor of the listing itself
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

void Sample(const char* run, const char* when, int done) {
  std::printf("%-22s %-6s after %5d requests: %3d descriptors, %6ld KiB resident\n", run, when,
              done, OpenDescriptors(), ResidentKiB());
  std::fflush(stdout);
}

// Runs `count` GETs of `url` with `http`, each of whose bodies must be `body`, sampling at the
// start, after half of them and at the end.
void Run(const char* name, TNetHTTP& http, const std::string& url, const std::string& body,
         int count) {
  Sample(name, "start", 0);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= count; ++i) {
    TStringStream received;
    http.HttpGet(url, received);
    if (received.DataString() != body) {
      std::fprintf(stderr, "%s: request %d got %zu bytes, expected %zu\n", name, i,
                   received.DataString().size(), body.size());
      std::exit(1);
    }
    if (i == count / 2) Sample(name, "middle", i);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Sample(name, "end", count);
  std::printf("%-22s %d requests in %.2f s (%.0f per second)\n\n", name, count, seconds,
              count / seconds);
}

// A client that goes through a SOCKS server of `version`.
struct TSocksClient {
  TSocksClient(TSocksVersion version, int port) {
    socks.SocksInfo()->Version = version;
    socks.SocksInfo()->Host = "127.0.0.1";
    socks.SocksInfo()->Port = port;
    http.SetIOHandler(&socks);
  }
  ~TSocksClient() { http.SetIOHandler(nullptr); }
  TNetIOHandlerSocket socks;
  TNetHTTP http;
};

}  // namespace

int main(int argc, char** argv) {
  const int direct = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int proxied = argc > 2 ? std::atoi(argv[2]) : 1000;
  NginxServer nginx;
  const std::string body(2000, 'b');
  nginx.WriteFile("page.html", body);
  nginx.Start();
  const std::string url = nginx.Url("/page.html");
  Sample("servers started", "", 0);
  std::printf("\n");
  {
    TNetHTTP http;
    Run("nginx keep-alive", http, url, body, direct);
  }
  {
    TinyproxyServer tinyproxy;
    tinyproxy.Start();
    TNetHTTP http;
    http.ProxyParams.SetProxyServer("127.0.0.1");
    http.ProxyParams.SetProxyPort(tinyproxy.Port());
    Run("tinyproxy (HTTP)", http, url, body, proxied);
  }
  {
    DanteServer dante;
    dante.Start();
    {
      TSocksClient client(TSocksVersion::svSocks4, dante.Port());
      Run("dante SOCKS 4", client.http, url, body, proxied);
    }
    TSocksClient client(TSocksVersion::svSocks5, dante.Port());
    Run("dante SOCKS 5", client.http, url, body, proxied);
  }
  {
    MicrosocksServer microsocks;
    microsocks.Start();
    TSocksClient client(TSocksVersion::svSocks5, microsocks.Port());
    Run("microsocks SOCKS 5", client.http, url, body, proxied);
  }
  Sample("servers stopped", "", 0);
  return 0;
}
