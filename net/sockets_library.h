// The run-time binding to the operating system's socket functions. The C library is not
// linked for them at build time: it is opened on start-up and each function is looked up
// by name on its first call, after which calls go straight to the library.
#pragma once

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

// What the library's start-up fills in.
struct TSocketsData {
  uint16_t Version = 0;
  uint16_t HighVersion = 0;
  std::string Description;
  std::string SystemStatus;
};

// The library file to open; set before the first load (tests point it elsewhere).
extern std::string SocketsLibraryFileName;

// The start-up version the stack asks for and the library offers: 2.2.
constexpr uint16_t kSocketsVersion = 0x0202;

// Opens the library once and runs its start-up with the requested version (kSocketsVersion);
// returns the start-up's result, 0 on success. Once the library is open it returns 0 at
// once without starting it again. A library that cannot be opened raises ENetWS2StubError.
int LoadSocketsLibrary(uint16_t version, TSocketsData* data);
// Closes the library and points every function back at its resolver, so that a later call
// raises ENetWS2StubError until the library is loaded again.
void UnloadSocketsLibrary();
bool SocketsLibraryLoaded();
// How often the library's start-up has run in this process.
int SocketsStartupCount();

// The functions of the table: identifier, export name, result, parameters, arguments.
#define FG_SOCKETS_FUNCTIONS(X)                                                                  \
  X(Accept4, "accept4", int, (int s, sockaddr* a, socklen_t* l, int f), (s, a, l, f))            \
  X(Bind, "bind", int, (int s, const sockaddr* a, socklen_t l), (s, a, l))                       \
  X(Close, "close", int, (int s), (s))                                                           \
  X(Connect, "connect", int, (int s, const sockaddr* a, socklen_t l), (s, a, l))                 \
  X(GetPeerName, "getpeername", int, (int s, sockaddr* a, socklen_t* l), (s, a, l))              \
  X(GetSockName, "getsockname", int, (int s, sockaddr* a, socklen_t* l), (s, a, l))              \
  X(GetSockOpt, "getsockopt", int, (int s, int lv, int o, void* v, socklen_t* l),                \
    (s, lv, o, v, l))                                                                            \
  X(Htonl, "htonl", uint32_t, (uint32_t v), (v))                                                 \
  X(Htons, "htons", uint16_t, (uint16_t v), (v))                                                 \
  X(Listen, "listen", int, (int s, int b), (s, b))                                               \
  X(Ntohl, "ntohl", uint32_t, (uint32_t v), (v))                                                 \
  X(Ntohs, "ntohs", uint16_t, (uint16_t v), (v))                                                 \
  X(Recv, "recv", ssize_t, (int s, void* b, size_t n, int f), (s, b, n, f))                      \
  X(RecvFrom, "recvfrom", ssize_t, (int s, void* b, size_t n, int f, sockaddr* a, socklen_t* l), \
    (s, b, n, f, a, l))                                                                          \
  X(Poll, "poll", int, (pollfd * p, nfds_t n, int t), (p, n, t))                                 \
  X(Send, "send", ssize_t, (int s, const void* b, size_t n, int f), (s, b, n, f))                \
  X(SendTo, "sendto", ssize_t,                                                                   \
    (int s, const void* b, size_t n, int f, const sockaddr* a, socklen_t l), (s, b, n, f, a, l)) \
  X(SetSockOpt, "setsockopt", int, (int s, int lv, int o, const void* v, socklen_t l),           \
    (s, lv, o, v, l))                                                                            \
  X(Shutdown, "shutdown", int, (int s, int how), (s, how))                                       \
  X(Socket, "socket", int, (int d, int t, int p), (d, t, p))                                     \
  X(GetHostName, "gethostname", int, (char* n, size_t l), (n, l))                                \
  X(GetAddrInfo, "getaddrinfo", int,                                                             \
    (const char* n, const char* s, const addrinfo* h, addrinfo** r), (n, s, h, r))               \
  X(FreeAddrInfo, "freeaddrinfo", void, (addrinfo * r), (r))                                     \
  X(GetNameInfo, "getnameinfo", int,                                                             \
    (const sockaddr* a, socklen_t l, char* h, socklen_t hl, char* s, socklen_t sl, int f),       \
    (a, l, h, hl, s, sl, f))                                                                     \
  X(GetServByNameR, "getservbyname_r", int,                                                      \
    (const char* n, const char* p, servent* e, char* b, size_t bl, servent** r),                 \
    (n, p, e, b, bl, r))                                                                         \
  X(GetServByPortR, "getservbyport_r", int,                                                      \
    (int port, const char* p, servent* e, char* b, size_t bl, servent** r),                      \
    (port, p, e, b, bl, r))

// The calls of the table. The first call of each looks its export up; before the library is
// loaded it raises ENetWS2StubError "Error on call Winsock2 library function %s".
struct SocketsLibrary {
#define FG_SOCKETS_DECLARE(id, name, R, params, args) static R id params;
  FG_SOCKETS_FUNCTIONS(FG_SOCKETS_DECLARE)
#undef FG_SOCKETS_DECLARE
};
