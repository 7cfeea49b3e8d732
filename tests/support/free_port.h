// Ports on 127.0.0.1 for the servers and peers that tests start.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <functional>

// 127.0.0.1:port as a socket address.
sockaddr_in LoopbackAddress(int port);

// A TCP port of 127.0.0.1 that nobody listens on right now (the kernel's choice for port 0).
int FreeTcpPort();

// True when a connection to 127.0.0.1:port is accepted now.
bool PortAccepts(int port);

// Tries to connect until the port accepts or the limit passes. `keepWaiting`, when given, is asked
// between attempts; returning false gives up at once (for example because the server exited).
bool WaitUntilPortAccepts(int port, std::chrono::milliseconds limit = std::chrono::seconds(10),
                          const std::function<bool()>& keepWaiting = {});
