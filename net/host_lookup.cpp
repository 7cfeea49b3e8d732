#include "net/host_lookup.h"

#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "net/sockets_library.h"

TNetHostLookup HostLookupHook;

namespace {

int PlatformLookup(const std::string& name, std::vector<TNetIPv4Address>& addresses) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int rc = SocketsLibrary::GetAddrInfo(name.c_str(), nullptr, &hints, &result);
  if (rc != 0) return rc;
  for (addrinfo* a = result; a; a = a->ai_next) {
    if (a->ai_family != AF_INET || !a->ai_addr) continue;
    const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
    TNetIPv4Address bytes;
    std::memcpy(bytes.data(), &in->sin_addr.s_addr, 4);
    addresses.push_back(bytes);
  }
  SocketsLibrary::FreeAddrInfo(result);
  return addresses.empty() ? EAI_NONAME : 0;
}

}  // namespace

int LookupHost(const std::string& name, std::vector<TNetIPv4Address>& addresses) {
  errno = 0;
  const int rc = HostLookupHook ? HostLookupHook(name, addresses) : PlatformLookup(name, addresses);
  if (rc == 0 && addresses.empty()) return EAI_NONAME;
  return rc;
}
