// A page as a server sends it, read for the movies it names: markup, comments, scripts and
// their calls, character references, a base address; and the capture addresses of a web
// archive. The first byte chooses the size of the pieces the page arrives in; then come the
// page's address, a line feed and the page. The reader must find the same in pieces as whole.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "page/character_references.h"
#include "page/page_reader.h"
#include "page/reference_resolution.h"
#include "page/web_archive_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input(data, size);
  const std::string rest = input.AfterChoice();
  const size_t newline = rest.find('\n');
  if (newline == std::string::npos) return 0;
  const std::string address = rest.substr(0, newline);
  const std::string_view page = std::string_view(rest).substr(newline + 1);

  TPageReader whole(address);
  whole.Feed(page);
  const std::vector<std::string> found = whole.Finish();

  const size_t piece = input.Choice() + 1;
  TPageReader pieces(address);
  for (size_t at = 0; at < page.size(); at += piece)
    pieces.Feed(page.substr(at, std::min(piece, page.size() - at)));
  if (pieces.Finish() != found) std::abort();
  // And handed over in place, behind room for what the reader keeps (enough room for it on odd
  // piece sizes; on even ones often too little, so that it is copied after all).
  const size_t room = piece % 2 == 1 ? 2 * TPageReader::kMaxAddress + piece : piece;
  TPageReader inPlace(address);
  for (size_t at = 0; at < page.size(); at += piece) {
    std::string held(room, '\0');
    held.append(page.substr(at, std::min(piece, page.size() - at)));
    inPlace.Feed(held, room);
  }
  if (inPlace.Finish() != found) std::abort();

  for (const std::string& movie : found)
    RawCaptureAddress(movie);
  RawCaptureAddress(address);
  ResolveReference(address, std::string(page.substr(0, page.find('\n'))));
  DecodeCharacterReferences(page);
  return 0;
}
