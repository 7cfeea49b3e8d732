// Looking up the IPv4 addresses of a host name, through the platform's resolver or a
// replacement that tests put in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "net/ipv4_address.h"

// The host lookup behind HostNameToAddress and FillLocalAddresses: fills the addresses
// of the name in lookup order and returns 0, or returns a getaddrinfo error (EAI_*).
// Empty means the platform lookup; tests put a fake in to fail without a resolver.
using TNetHostLookup =
    std::function<int(const std::string& name, std::vector<TNetIPv4Address>& addresses)>;
extern TNetHostLookup HostLookupHook;

// The addresses of the name through HostLookupHook or the platform; 0 or an EAI_* error
// (EAI_NONAME for a lookup that succeeds without an address). errno is cleared first, so
// that an EAI_SYSTEM result finds the lookup's own errno.
int LookupHost(const std::string& name, std::vector<TNetIPv4Address>& addresses);
