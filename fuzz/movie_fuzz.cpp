// A movie as a server would send it (any container, packed or not, movies inside movies),
// read for the addresses it loads; the same bytes also as an XML file such a movie loads.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/exception.h"
#include "swf/movie_reader.h"
#include "swf/xml_addresses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    MovieAddresses(bytes);
  } catch (const Exception&) {
    // Truncated, corrupt, oversized or too deeply nested movies are refused by design.
  }
  XmlAddresses(bytes);
  return 0;
}
