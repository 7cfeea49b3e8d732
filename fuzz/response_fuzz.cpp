// A server's answers to two GET requests, read through the in-memory I/O handler: status
// line, header block (cookies included), framing by length, chunks or close. The first byte
// chooses the arrival size and whether redirects are followed; the rest is what the server
// sends on the first connection, and again on the next one when the first is not kept. A
// silent server times out at once.

#include <cstddef>
#include <cstdint>

#include "base/exception.h"
#include "base/string_stream.h"
#include "fuzz/fuzz_input.h"
#include "http/http.h"
#include "tests/support/memory_io_handler.h"

namespace {

void Get(TNetHTTP& http, const std::string& address) {
  TStringStream body;
  try {
    http.HttpGet(address, body);
  } catch (const Exception&) {
    // Every refusal of a malformed answer is an exception of the tree.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input(data, size);
  const uint8_t choice = input.Choice();
  const std::string answer = input.AfterChoice();
  const size_t piece = (choice >> 1) + 1;
  TMemoryIOHandler handler;
  handler.AtEnd = TMemoryIOHandler::TAtEnd::aeSilence;
  handler.ArriveInPieces(answer, piece).NextConnection().ArriveInPieces(answer, piece);
  TNetHTTP http;
  http.SetIOHandler(&handler);
  // Any limit will do: the handler answers every wait for data at once.
  http.ReadTimeout = 1000;
  http.HandleRedirects = (choice & 1) != 0;
  // Bodies with a content coding are taken apart as the window's and the command line's are.
  http.DecodeContent = (choice & 0x80) != 0;
  Get(http, "http://h.example/first/page.html");
  Get(http, "http://h.example/second/movie.swf");
  http.SetIOHandler(nullptr);
  return 0;
}
