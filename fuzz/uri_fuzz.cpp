// Addresses as a page or a redirect would give them: parsing, composing both forms, and
// merging a relative path into a base directory; the address percent-encoded as browsers do and
// shown for reading. Input lines: address, base path, new path.

#include <cstddef>
#include <cstdint>

#include "base/exception.h"
#include "base/lead_bytes.h"
#include "fuzz/fuzz_input.h"
#include "uri/address_encoding.h"
#include "uri/uri.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Odd lengths run with the double-byte code page, whose searches step over lead bytes.
  SelectLeadBytesForCodeSet(size % 2 ? "GBK" : "UTF-8");
  const std::vector<std::string> parts = TFuzzInput(data, size).Parts(3);
  TNetURI uri(parts[0]);
  try {
    uri.ComposeAddress({TNetURIOptionalField::ofUserInfo, TNetURIOptionalField::ofFragment});
    uri.ComposeAddress({});
    uri.ComposeRequestAddress();
  } catch (const Exception&) {
    // An address without scheme or host cannot be composed; that is its error to raise.
  }
  // Encoding twice changes nothing, and what is shown for reading encodes back to the same.
  const std::string encoded = EncodedAddress(parts[0], size % 3 ? "GBK" : "UTF-8");
  if (EncodedAddress(encoded, "UTF-8") != encoded) __builtin_trap();
  if (EncodedAddress(DisplayedAddress(encoded), "UTF-8") != encoded) __builtin_trap();
  if (parts.size() == 3) {
    MergePath(parts[1], parts[2], "/");
    MergePath(uri.Directory, parts[2], "/");
  }
  return 0;
}
