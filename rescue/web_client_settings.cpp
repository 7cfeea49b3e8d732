#include "rescue/web_client_settings.h"

#include <cstring>

#include "base/charset.h"
#include "base/net_exceptions.h"
#include "base/text.h"
#include "http/http.h"
#include "net/ssl_io_handler.h"
#include "page/reference_resolution.h"
#include "uri/address_encoding.h"
#include "uri/uri.h"

void ApplyWebClientSettings(TNetCustomHTTP& http, TNetSSLIOHandlerSocket& tls) {
  // The client's OnStatus may be assigned after this (a verbose command line, the window's
  // status label), so it is looked up at each report.
  tls.OnStatus = [&http](TObject* sender, TNetStatus status, const std::string& text) {
    if (http.OnStatus) http.OnStatus(sender, status, text);
  };
  http.SetIOHandler(&tls);
  http.HandleRedirects = true;
}

std::string TypedAddress(const std::string& text) {
  const std::string trimmed = Trim(text);
  const std::string address =
      trimmed.find("://") == std::string::npos ? "http://" + trimmed : trimmed;
  const TNetURI parsed(address);
  if (!SameText(parsed.Scheme, "http") && !SameText(parsed.Scheme, "https"))
    throw ENetUnknownProtocol("Unknown protocol: " + parsed.Scheme);
  if (parsed.HostName.empty()) throw ENetURIException("Invalid address (no host): " + trimmed);
  for (const char c : parsed.HostName) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= ' ' || b == 0x7F || std::strchr("<>\"`{}|\\^%[]", c))
      throw ENetURIException(
          Format("not a valid host: %s (in %s)", parsed.HostName.c_str(), trimmed.c_str()));
  }
  if (!parsed.PortText.empty()) {
    int64_t port = 0;
    if (!ParseDecimalDigits(parsed.PortText, port) || port < 1 || port > 65535)
      throw ENetURIException(
          Format("not a valid port: %s (in %s)", parsed.PortText.c_str(), trimmed.c_str()));
  }
  // Typed as a browser's address bar takes it: blanks and characters above ASCII go
  // percent-encoded, in UTF-8.
  return ShownAddressRequest(address);
}

std::string ShownAddressRequest(const std::string& shown) {
  const std::string address = Trim(shown);
  if (address.empty()) return address;
  return EncodedAddress(ResolveReference(address, address), kUtf8);
}

std::string ComposedAddress(const TNetURI& address) {
  if (address.Scheme.empty() || address.HostName.empty()) return std::string();
  TNetURI shown = address;
  if ((SameText(shown.Scheme, "http") && shown.PortText == "80") ||
      (SameText(shown.Scheme, "https") && shown.PortText == "443"))
    shown.PortText.clear();
  return shown.ComposeAddress({});
}

std::string FinalAddressOf(const TNetHTTP& http) {
  return ComposedAddress(http.CurrentAddress);
}
