#include "net/stack_posix.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/net_exceptions.h"
#include "base/text.h"
#include "net/sockets_library.h"

namespace {

// The error of the last failed call, per thread like the platform's own.
thread_local int lastErrorCode = 0;

// Records errno as the failed call's code and gives the failure result.
int Fail() {
  lastErrorCode = TranslateErrno(errno);
  return kSocketError;
}

int FailWith(int code) {
  lastErrorCode = code;
  return kSocketError;
}

// What a text that is no dotted address is looked up as: the broadcast address, which has no
// name, so the lookup fails as for any unknown address.
constexpr TNetIPv4Address kNoAddress{255, 255, 255, 255};
// Room for the own host name (the platform's limit is lower) and for one service entry.
constexpr size_t kHostNameRoom = 250;
constexpr size_t kServiceEntryRoom = 4096;

sockaddr_in MakeAddress(TNetStack& stack, int family, int port, const std::string& ip) {
  sockaddr_in address{};
  address.sin_family = static_cast<sa_family_t>(family);
  address.sin_port = stack.HostToNet16(static_cast<uint16_t>(port));
  if (ip.empty()) {
    address.sin_addr.s_addr = stack.HostToNet32(INADDR_ANY);
  } else {
    TNetIPv4Address bytes;
    stack.TextToAddressInto(ip, bytes);
    std::memcpy(&address.sin_addr.s_addr, bytes.data(), 4);
  }
  return address;
}

void ReadAddress(TNetStack& stack, const sockaddr_in& address, int& family, int& port,
                 std::string& ip) {
  family = address.sin_family;
  port = stack.NetToHost16(address.sin_port);
  TNetIPv4Address bytes;
  std::memcpy(bytes.data(), &address.sin_addr.s_addr, 4);
  ip = stack.AddressToText(bytes);
}

// One end's address of a socket through getpeername or getsockname; a failure raises
// ENetSocketError.
void ReadSocketAddress(TNetStack& stack, int (*call)(int, sockaddr*, socklen_t*), int handle,
                       int& family, int& port, std::string& ip) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (call(handle, reinterpret_cast<sockaddr*>(&address), &length) < 0)
    stack.CheckSocketResult(Fail());
  ReadAddress(stack, address, family, port, ip);
}

// poll's own time-out without a limit.
constexpr int kPollForever = -1;

// Milliseconds for poll: kWaitForever waits without limit; other negative values are refused.
bool PollTimeout(int timeoutMs, int& pollMs) {
  if (timeoutMs == kWaitForever) {
    pollMs = kPollForever;
    return true;
  }
  if (timeoutMs < 0) return false;
  pollMs = timeoutMs;
  return true;
}

// poll, resumed after a signal with the time that is left.
int PollRetrying(pollfd* fds, nfds_t count, int pollMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pollMs);
  for (;;) {
    const int rc = SocketsLibrary::Poll(fds, count, pollMs);
    if (rc >= 0 || errno != EINTR) return rc;
    if (pollMs > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
  }
}

}  // namespace

TNetStackPosix::TNetStackPosix() {
  if (!StackStarted.load()) {
    TSocketsData data;
    if (LoadSocketsLibrary(kSocketsVersion, &data) != 0)
      throw ENetStackInitializationFailed("Winsock Initialization Error.");
    StackStarted.store(true);
  }
}

TNetStackPosix::~TNetStackPosix() = default;

void TNetStackPosix::FillLocalAddresses() {
  if (!LocalAddressCache) LocalAddressCache = std::make_unique<TStringList>();
  LocalAddressCache->Clear();
  std::vector<TNetIPv4Address> addresses;
  const int rc = LookupHost(OwnHostName(), addresses);
  if (rc != 0) {
    FailWith(TranslateLookupError(rc, errno));
    CheckSocketResult(kSocketError);
  }
  for (const TNetIPv4Address& a : addresses)
    LocalAddressCache->Add(AddressToText(a));
}

int TNetStackPosix::AcceptOn(int handle, std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  int result;
  do {
    result = SocketsLibrary::Accept4(handle, reinterpret_cast<sockaddr*>(&address), &length,
                                     SOCK_CLOEXEC);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return Fail();
  int family = 0;
  ReadAddress(*this, address, family, port, ip);
  return result;
}

int TNetStackPosix::BindTo(int handle, int family, int port, const std::string& ip) {
  const sockaddr_in address = MakeAddress(*this, family, port, ip);
  if (SocketsLibrary::Bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) <
      0)
    return Fail();
  return 0;
}

int TNetStackPosix::ReleaseSocket(int handle) {
  return SocketsLibrary::Close(handle) < 0 ? Fail() : 0;
}

int TNetStackPosix::ConnectTo(int handle, int family, int port, const std::string& ip) {
  const sockaddr_in address = MakeAddress(*this, family, port, ip);
  if (SocketsLibrary::Connect(handle, reinterpret_cast<const sockaddr*>(&address),
                              sizeof(address)) < 0)
    return Fail();
  return 0;
}

std::string TNetStackPosix::HostNameToAddress(const std::string& name) {
  std::vector<TNetIPv4Address> addresses;
  const int rc = LookupHost(name, addresses);
  if (rc != 0) {
    FailWith(TranslateLookupError(rc, errno));
    CheckSocketResult(kSocketError);
  }
  return AddressToText(addresses.front());
}

std::string TNetStackPosix::OwnHostName() {
  char name[kHostNameRoom] = {};
  if (SocketsLibrary::GetHostName(name, sizeof(name) - 1) < 0) CheckSocketResult(Fail());
  return name;
}

std::string TNetStackPosix::AddressToHostName(const std::string& ip) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  TNetIPv4Address bytes = kNoAddress;
  if (IsDottedIP(ip)) TextToAddressInto(ip, bytes);
  std::memcpy(&address.sin_addr.s_addr, bytes.data(), 4);
  char host[NI_MAXHOST] = {};
  errno = 0;
  const int rc =
      SocketsLibrary::GetNameInfo(reinterpret_cast<const sockaddr*>(&address), sizeof(address),
                                  host, sizeof(host), nullptr, 0, NI_NAMEREQD);
  if (rc != 0) {
    FailWith(TranslateLookupError(rc, errno));
    CheckSocketResult(kSocketError);
  }
  return host;
}

int TNetStackPosix::ServiceNameToPort(const std::string& service) {
  servent entry{};
  servent* found = nullptr;
  char buffer[kServiceEntryRoom];
  if (SocketsLibrary::GetServByNameR(service.c_str(), nullptr, &entry, buffer, sizeof(buffer),
                                     &found) == 0 &&
      found) {
    return NetToHost16(static_cast<uint16_t>(found->s_port));
  }
  int32_t value = 0;
  if (TryStrToInt(service, value)) return value;
  throw ENetInvalidServiceName(Format("%s is not a valid service.", service.c_str()));
}

TStringList TNetStackPosix::PortToServiceNames(int port) {
  TStringList names;
  servent entry{};
  servent* found = nullptr;
  char buffer[kServiceEntryRoom];
  if (SocketsLibrary::GetServByPortR(HostToNet16(static_cast<uint16_t>(port)), nullptr, &entry,
                                     buffer, sizeof(buffer), &found) == 0 &&
      found) {
    names.Add(found->s_name);
    for (char** alias = found->s_aliases; alias && *alias; ++alias)
      names.Add(*alias);
  }
  return names;
}

uint16_t TNetStackPosix::HostToNet16(uint16_t value) {
  return SocketsLibrary::Htons(value);
}

int TNetStackPosix::StartListening(int handle, int backlog) {
  return SocketsLibrary::Listen(handle, backlog) < 0 ? Fail() : 0;
}

uint16_t TNetStackPosix::NetToHost16(uint16_t value) {
  return SocketsLibrary::Ntohs(value);
}

uint32_t TNetStackPosix::HostToNet32(uint32_t value) {
  return SocketsLibrary::Htonl(value);
}

uint32_t TNetStackPosix::NetToHost32(uint32_t value) {
  return SocketsLibrary::Ntohl(value);
}

int TNetStackPosix::ReceiveOn(int handle, void* buffer, int length, int flags) {
  if (length < 0) return FailWith(kErrInvalidArgument);
  ssize_t n;
  do {
    n = SocketsLibrary::Recv(handle, buffer, static_cast<size_t>(length), flags);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? Fail() : static_cast<int>(n);
}

int TNetStackPosix::ReceiveDatagram(int handle, void* buffer, int length, int flags,
                                    std::string& ip, int& port) {
  if (length < 0) return FailWith(kErrInvalidArgument);
  sockaddr_in address{};
  socklen_t addressLength = sizeof(address);
  ssize_t n;
  do {
    n = SocketsLibrary::RecvFrom(handle, buffer, static_cast<size_t>(length), flags,
                                 reinterpret_cast<sockaddr*>(&address), &addressLength);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return Fail();
  int family = 0;
  ReadAddress(*this, address, family, port, ip);
  return static_cast<int>(n);
}

int TNetStackPosix::WaitOnSockets(TNetSocketList* readList, TNetSocketList* writeList,
                                  int timeoutMs, TNetSocketList* errorList) {
  TNetSocketList* lists[3] = {readList, writeList, errorList};
  const short asked[3] = {POLLIN, POLLOUT, POLLPRI};
  // What counts as ready for each list, as the platform's select reports it.
  const short ready[3] = {POLLIN | POLLHUP | POLLERR | POLLRDHUP, POLLOUT | POLLERR | POLLHUP,
                          POLLPRI | POLLERR};
  std::vector<pollfd> fds;
  for (int l = 0; l < 3; ++l) {
    if (!lists[l]) continue;
    if (lists[l]->Count() > TNetSocketListPosix::kMaxHandles)
      throw ENetStackSetSizeExceeded("Set Size Exceeded.");
    for (int i = 0; i < lists[l]->Count(); ++i) {
      // The wait would skip a negative handle; the platform's select refuses it.
      if (lists[l]->Items(i) < 0) return FailWith(kErrNotSocket);
      fds.push_back(pollfd{lists[l]->Items(i), asked[l], 0});
    }
  }
  int pollMs = 0;
  if (!PollTimeout(timeoutMs, pollMs)) return FailWith(kErrInvalidArgument);
  const int rc = PollRetrying(fds.data(), fds.size(), pollMs);
  if (rc < 0) return Fail();
  for (const pollfd& p : fds)
    if (p.revents & POLLNVAL) return FailWith(kErrNotSocket);
  int total = 0;
  size_t next = 0;
  for (int l = 0; l < 3; ++l) {
    if (!lists[l]) continue;
    std::vector<int> readyHandles;
    for (int i = 0; i < lists[l]->Count(); ++i, ++next)
      if (fds[next].revents & ready[l]) readyHandles.push_back(fds[next].fd);
    lists[l]->Clear();
    for (int h : readyHandles)
      lists[l]->Add(h);
    total += static_cast<int>(readyHandles.size());
  }
  return total;
}

int TNetStackPosix::SendOn(int handle, const void* buffer, int length, int flags) {
  if (length < 0) return FailWith(kErrInvalidArgument);
  ssize_t n;
  do {
    n = SocketsLibrary::Send(handle, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? Fail() : static_cast<int>(n);
}

int TNetStackPosix::SendDatagram(int handle, const void* buffer, int length, int flags,
                                 const std::string& ip, int port) {
  if (length < 0) return FailWith(kErrInvalidArgument);
  const sockaddr_in address = MakeAddress(*this, AF_INET, port, ip);
  ssize_t n;
  do {
    n = SocketsLibrary::SendTo(handle, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (n < 0 && errno == EINTR);
  return n < 0 ? Fail() : static_cast<int>(n);
}

int TNetStackPosix::SetOption(int handle, int level, int option, const void* value, int length) {
  if (length < 0) return FailWith(kErrInvalidArgument);
  return SocketsLibrary::SetSockOpt(handle, level, option, value, static_cast<socklen_t>(length)) <
                 0
             ? Fail()
             : 0;
}

int TNetStackPosix::NewSocket(int family, int type, int protocol) {
  // Servers that tests start must not inherit our sockets.
  const int handle = SocketsLibrary::Socket(family, type | SOCK_CLOEXEC, protocol);
  return handle < 0 ? Fail() : handle;
}

int TNetStackPosix::ShutdownSocket(int handle, int how) {
  return SocketsLibrary::Shutdown(handle, how) < 0 ? Fail() : 0;
}

std::string TNetStackPosix::ErrorText(int code) {
  return Format("Socket Error # %d\r\n%s", code, SocketErrorMessage(code));
}

int TNetStackPosix::LastErrorCode() {
  return lastErrorCode;
}

void TNetStackPosix::SetLastErrorCode(int code) {
  lastErrorCode = code;
}

void TNetStackPosix::PeerAddressOf(int handle, int& family, int& port, std::string& ip) {
  ReadSocketAddress(*this, &SocketsLibrary::GetPeerName, handle, family, port, ip);
}

void TNetStackPosix::LocalAddressOf(int handle, int& family, int& port, std::string& ip) {
  ReadSocketAddress(*this, &SocketsLibrary::GetSockName, handle, family, port, ip);
}

int TNetStackPosix::GetOption(int handle, int level, int option, void* value, int& length) {
  if (length < 0) return FailWith(kErrInvalidArgument);
  socklen_t size = static_cast<socklen_t>(length);
  if (SocketsLibrary::GetSockOpt(handle, level, option, value, &size) < 0) return Fail();
  length = static_cast<int>(size);
  return 0;
}

std::string TNetStackPosix::AddressToText(const TNetIPv4Address& address) {
  return Format("%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
}

void TNetStackPosix::TextToAddressInto(const std::string& text, TNetIPv4Address& address) {
  std::string parts[4];
  SplitDottedAddress(text, parts);
  for (int i = 0; i < 4; ++i)
    address[static_cast<size_t>(i)] = static_cast<uint8_t>(StrToInt(parts[i]) & 0xFF);
}

int TNetStackPosix::WaitReadableOn(int handle, int timeoutMs) {
  if (handle < 0) return FailWith(kErrNotSocket);
  int pollMs = 0;
  if (!PollTimeout(timeoutMs, pollMs)) return FailWith(kErrInvalidArgument);
  pollfd p{handle, POLLIN, 0};
  const int rc = PollRetrying(&p, 1, pollMs);
  if (rc < 0) return Fail();
  if (rc == 0) return 0;
  if (p.revents & POLLNVAL) return FailWith(kErrNotSocket);
  return (p.revents & (POLLIN | POLLHUP | POLLERR | POLLRDHUP)) ? 1 : 0;
}
