#include "app/workflows/web_client_settings.h"

#include "base/net_exceptions.h"
#include "base/text.h"
#include "http/http.h"
#include "net/ssl_io_handler.h"
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
  return address;
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
