// Times one response head that carries tens of thousands of distinct Set-Cookie lines, as a
// hostile server would send it: once through the whole client over loopback (a thread of
// this program is the server), once through the cookie store alone. Prints the times and
// how many cookies the store kept.
//
//   cookie_head_bench [Set-Cookie lines, default 40000] [runs, default 5]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "base/string_stream.h"
#include "bench/loopback.h"
#include "cookies/cookie_manager.h"
#include "http/http.h"

namespace {

std::string CookieLine(int i) {
  return "c" + std::to_string(i) + "=1";
}

std::string Head(int lines) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
  for (int i = 0; i < lines; ++i)
    head += "Set-Cookie: " + CookieLine(i) + "\r\n";
  return head + "\r\n";
}

// Accepts one connection, reads the request head, answers with `head` and closes.
void Serve(int listener, const std::string& head) {
  const int fd = ::accept(listener, nullptr, nullptr);
  if (fd < 0) return;
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  for (size_t sent = 0; sent < head.size();) {
    const ssize_t s = ::send(fd, head.data() + sent, head.size() - sent, MSG_NOSIGNAL);
    if (s <= 0) break;
    sent += static_cast<size_t>(s);
  }
  ::close(fd);
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One GET whose answer is the head; returns the seconds and how many cookies were kept.
double ThroughTheClient(const std::string& head, int& kept) {
  int port = 0;
  const int listener = ListenOnLoopback(port);
  std::thread server(Serve, listener, head);
  TNetHTTP http;
  TStringStream body;
  const auto start = std::chrono::steady_clock::now();
  http.HttpGet("http://127.0.0.1:" + std::to_string(port) + "/", body);
  const double seconds = Seconds(start);
  kept = http.CookieManager()->StoredCookies()->Count();
  server.join();
  ::close(listener);
  return seconds;
}

double ThroughTheStore(int lines, int& kept) {
  TNetCookieManager manager;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < lines; ++i)
    manager.AddServerCookie(CookieLine(i), "127.0.0.1");
  const double seconds = Seconds(start);
  kept = manager.StoredCookies()->Count();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 40000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string head = Head(lines);
  std::printf("one response head of %.2f MiB with %d distinct Set-Cookie lines, best of %d\n",
              static_cast<double>(head.size()) / (1 << 20), lines, runs);
  double client = 1e9, store = 1e9;
  int keptByClient = 0, keptByStore = 0;
  for (int run = 0; run < runs; ++run) {
    client = std::min(client, ThroughTheClient(head, keptByClient));
    store = std::min(store, ThroughTheStore(lines, keptByStore));
  }
  std::printf("whole GET over loopback: %8.4f s, %d cookies kept\n", client, keptByClient);
  std::printf("cookie store alone:      %8.4f s, %d cookies kept\n", store, keptByStore);
  return 0;
}
