// Set-Cookie and Set-Cookie2 values as a server sends them, then the Cookie header the next
// request carries. Input lines: the server host, the request directory, then one header
// value per line (even lines Set-Cookie, odd lines Set-Cookie2).

#include <cstddef>
#include <cstdint>

#include "base/exception.h"
#include "cookies/cookie_manager.h"
#include "fuzz/fuzz_input.h"
#include "uri/uri.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = TFuzzInput(data, size).Parts(1000);
  if (parts.size() < 3) return 0;
  const std::string& host = parts[0];
  const std::string& directory = parts[1];
  TNetCookieManager manager;
  for (size_t i = 2; i < parts.size(); ++i) {
    try {
      if (i % 2 == 0)
        manager.AddServerCookie(parts[i], host, directory);
      else
        manager.AddServerCookie2(parts[i], host, directory);
    } catch (const Exception&) {
      // A quoted port list with a non-number is the conversion error by design.
    }
  }
  TNetURI address("http://" + host + directory);
  address.HostName = host;
  address.Directory = directory;
  manager.BuildCookieHeader(address, false);
  manager.BuildCookieHeader(address, true);
  return 0;
}
