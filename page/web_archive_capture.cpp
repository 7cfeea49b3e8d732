#include "page/web_archive_capture.h"

#include <cctype>

#include "page/reference_resolution.h"

namespace {

constexpr size_t kTimestampDigits = 14;

}  // namespace

bool TWebArchiveCapture::Parse(const std::string& address, TWebArchiveCapture& capture) {
  const size_t scheme = address.find("://");
  if (scheme == std::string::npos || !HasScheme(address)) return false;
  const size_t pathStart = address.find('/', scheme + 3);
  if (pathStart == std::string::npos || address.compare(pathStart, 5, "/web/") != 0) return false;
  size_t at = pathStart + 5;
  const size_t digits = at;
  while (at < address.size() && std::isdigit(static_cast<unsigned char>(address[at])))
    ++at;
  if (at - digits != kTimestampDigits) return false;
  const size_t modifier = at;
  while (at < address.size() &&
         (std::islower(static_cast<unsigned char>(address[at])) || address[at] == '_'))
    ++at;
  if (at >= address.size() || address[at] != '/' || at + 1 == address.size()) return false;
  capture.Origin = address.substr(0, pathStart);
  capture.Timestamp = address.substr(digits, kTimestampDigits);
  capture.Modifier = address.substr(modifier, at - modifier);
  capture.Original = address.substr(at + 1);
  if (!HasScheme(capture.Original)) capture.Original = "http://" + capture.Original;
  return true;
}

std::string TWebArchiveCapture::Compose() const {
  return Origin + "/web/" + Timestamp + Modifier + "/" + Original;
}

std::string RawCaptureAddress(const std::string& address) {
  TWebArchiveCapture capture;
  if (!TWebArchiveCapture::Parse(address, capture)) return address;
  capture.Modifier = TWebArchiveCapture::kRawModifier;
  return capture.Compose();
}
