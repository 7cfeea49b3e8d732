#include "uri/referer_policy.h"

#include <algorithm>

#include "base/text.h"

namespace {

bool HasSchemePrefix(const std::string& address, const char* scheme) {
  return SameTextAt(address, 0, scheme);
}

}  // namespace

std::string RefererFor(const std::string& from, const std::string& target) {
  if (from.empty()) return std::string();
  if (HasSchemePrefix(from, "https:") && HasSchemePrefix(target, "http:")) return std::string();
  std::string referer = from.substr(0, from.find('#'));
  const size_t slashes = referer.find("://");
  if (slashes != std::string::npos) {
    const size_t hostStart = slashes + 3;
    const size_t authorityEnd = std::min(referer.find_first_of("/?", hostStart), referer.size());
    const size_t at = referer.rfind('@', authorityEnd);
    if (at != std::string::npos && at >= hostStart) referer.erase(hostStart, at + 1 - hostStart);
  }
  return referer;
}
