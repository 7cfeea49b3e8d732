#include "fuzz/fuzz_input.h"

#include <netdb.h>

#include "net/stack.h"

TFuzzInput::TFuzzInput(const uint8_t* data, size_t size)
    : text_(reinterpret_cast<const char*>(data), size) {}

std::vector<std::string> TFuzzInput::Parts(size_t count) const {
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() + 1 < count) {
    const size_t end = text_.find('\n', start);
    if (end == std::string::npos) break;
    parts.push_back(text_.substr(start, end - start));
    start = end + 1;
  }
  parts.push_back(text_.substr(start));
  return parts;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  HostLookupHook = [](const std::string&, std::vector<TNetIPv4Address>&) { return EAI_NONAME; };
  return 0;
}
