// A response's header block as a server sends it, then the lookups and changes the client
// makes on it. Input lines: the names to look up (comma-separated), a value to set, then the
// header block itself.

#include <cstddef>
#include <cstdint>

#include "base/exception.h"
#include "base/lead_bytes.h"
#include "base/string_list.h"
#include "fuzz/fuzz_input.h"
#include "http/header_list.h"
#include "uri/token.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Odd lengths run with the double-byte code page, whose searches step over lead bytes.
  SelectLeadBytesForCodeSet(size % 2 ? "GBK" : "UTF-8");
  const std::vector<std::string> parts = TFuzzInput(data, size).Parts(3);
  if (parts.size() < 3) return 0;
  TNetHeaderList headers;
  headers.SetText(parts[2]);
  for (int i = 0; i < headers.Count(); ++i) {
    headers.NameAt(i);
    headers.ValueAt(i);
  }
  std::string names = parts[0];
  while (!names.empty()) {
    const std::string name = TakeToken(names, ",");
    headers.ValueOf(name);
    TStringList values;
    headers.ExtractValues(name, &values);
    headers.SetValueOf(name, parts[1]);
    headers.ValueOf(name);
  }
  headers.Text();
  WrapHeaderText(parts[1], "\r\n ", " ;,", static_cast<int>(parts[0].size() % 100));
  return 0;
}
