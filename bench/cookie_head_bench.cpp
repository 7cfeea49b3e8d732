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
#include <ctime>
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

// Processor time of the calling thread: on a busy machine it says more than the wall clock.
double ThreadSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct TTimes {
  double wall = 1e9;
  double processor = 1e9;
  void Keep(double w, double p) {
    wall = std::min(wall, w);
    processor = std::min(processor, p);
  }
};

// One GET whose answer is the head; keeps its times and how many cookies were kept.
void ThroughTheClient(const std::string& head, TTimes& times, int& kept) {
  int port = 0;
  const int listener = ListenOnLoopback(port);
  std::thread server(Serve, listener, head);
  TNetHTTP http;
  TStringStream body;
  const auto start = std::chrono::steady_clock::now();
  const double processor = ThreadSeconds();
  http.HttpGet("http://127.0.0.1:" + std::to_string(port) + "/", body);
  times.Keep(Seconds(start), ThreadSeconds() - processor);
  kept = http.CookieManager()->StoredCookies()->Count();
  server.join();
  ::close(listener);
}

void ThroughTheStore(int lines, TTimes& times, int& kept) {
  TNetCookieManager manager;
  const auto start = std::chrono::steady_clock::now();
  const double processor = ThreadSeconds();
  for (int i = 0; i < lines; ++i)
    manager.AddServerCookie(CookieLine(i), "127.0.0.1");
  times.Keep(Seconds(start), ThreadSeconds() - processor);
  kept = manager.StoredCookies()->Count();
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 40000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string head = Head(lines);
  std::printf("one response head of %.2f MiB with %d distinct Set-Cookie lines, best of %d\n",
              static_cast<double>(head.size()) / (1 << 20), lines, runs);
  TTimes client, store;
  int keptByClient = 0, keptByStore = 0;
  for (int run = 0; run < runs; ++run) {
    ThroughTheClient(head, client, keptByClient);
    ThroughTheStore(lines, store, keptByStore);
  }
  std::printf("whole GET over loopback: %8.4f s (processor %.4f s), %d cookies kept\n", client.wall,
              client.processor, keptByClient);
  std::printf("cookie store alone:      %8.4f s (processor %.4f s), %d cookies kept\n", store.wall,
              store.processor, keptByStore);
  return 0;
}
