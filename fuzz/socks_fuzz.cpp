// A SOCKS server's replies to the 4, 4A and 5 handshakes, read through the in-memory I/O
// handler. The first byte chooses the version, the SOCKS 5 authentication and whether the
// destination is an address or a name; the rest is what the server sends before it closes.

#include <cstddef>
#include <cstdint>

#include "base/exception.h"
#include "fuzz/fuzz_input.h"
#include "net/socks_info.h"
#include "tests/support/memory_io_handler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input(data, size);
  const uint8_t choice = input.Choice();
  static const TSocksVersion kVersions[] = {TSocksVersion::svSocks4, TSocksVersion::svSocks4A,
                                            TSocksVersion::svSocks5, TSocksVersion::svSocks5};
  TMemoryIOHandler handler;
  handler.AtEnd = TMemoryIOHandler::TAtEnd::aePeerClose;
  handler.Open();
  handler.ArriveInPieces(input.AfterChoice(), (choice >> 4) + 1);
  TNetSocksInfo socks;
  socks.SetIOHandler(&handler);
  socks.Version = kVersions[choice & 3];
  socks.Authentication = (choice & 4) != 0 ? TSocksAuthentication::saUsernamePassword
                                           : TSocksAuthentication::saNoAuthentication;
  socks.Username = "user";
  socks.Password = "secret";
  try {
    socks.NegotiateSocksConnect((choice & 8) != 0 ? "movies.example" : "127.0.0.1", 8080);
  } catch (const Exception&) {
    // Refusals, malformed replies and closes are SOCKS errors of the tree.
  }
  socks.SetIOHandler(nullptr);
  return 0;
}
