#include "net/ipv4_address.h"

void SplitDottedAddress(const std::string& text, std::string parts[4]) {
  std::string rest = text;
  for (int i = 0; i < 3; ++i) {
    const size_t dot = rest.find('.');
    if (dot == std::string::npos) {
      parts[i] = rest;
      rest.clear();
    } else {
      parts[i] = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    }
  }
  parts[3] = rest;
}
