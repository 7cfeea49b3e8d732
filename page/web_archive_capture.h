// Addresses of a web archive's captures: "/web/<14-digit timestamp><modifier>/<original address>"
// on the archive's host, for example
// "http://archive.example/web/20090315000000/http://games.example.com/play.html".
#pragma once

#include <string>

struct TWebArchiveCapture {
  // The modifier that makes the archive answer with the bytes it captured rather than a page it
  // rewrote for browsing.
  static constexpr const char* kRawModifier = "id_";

  // "scheme://host[:port]" of the archive.
  std::string Origin;
  std::string Timestamp;  // 14 digits
  std::string Modifier;   // "", "id_", "im_", ...
  // Absolute; an original stored without a scheme gets "http://".
  std::string Original;

  // True and the parts when `address` is a capture address.
  static bool Parse(const std::string& address, TWebArchiveCapture& capture);
  std::string Compose() const;
};

// The address a download asks for: a capture address with the raw modifier, any other address
// unchanged.
std::string RawCaptureAddress(const std::string& address);
