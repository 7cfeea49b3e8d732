// A listening socket on 127.0.0.1 for the benchmarks whose peer is a thread of their own.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>

// Listens on a free port of 127.0.0.1 and returns the socket; the port goes to `port`.
// Exits the program when that fails: a benchmark has nothing to measure without it.
inline int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 1) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("listen on 127.0.0.1");
    std::exit(1);
  }
  port = ntohs(address.sin_port);
  return fd;
}
