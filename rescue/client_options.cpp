#include "rescue/client_options.h"

#include "base/text.h"
#include "http/custom_http.h"
#include "net/ssl_io_handler.h"
#include "rescue/stored_client_settings.h"
#include "rescue/web_client_settings.h"

namespace {

// A header the request writes from a field of its own is given through that field, so that
// the value asked for is the one sent (a custom line would be overwritten).
std::string* RequestField(TNetHTTPRequest& request, const std::string& name) {
  return SameText(name, "Accept")            ? &request.Accept
         : SameText(name, "Accept-Charset")  ? &request.AcceptCharSet
         : SameText(name, "Accept-Encoding") ? &request.AcceptEncoding
         : SameText(name, "Accept-Language") ? &request.AcceptLanguage
         : SameText(name, "From")            ? &request.From
         : SameText(name, "Referer")         ? &request.Referer
         : SameText(name, "User-Agent")      ? &request.UserAgent
         : SameText(name, "Content-Type")    ? &request.ContentType
                                             : nullptr;
}

}  // namespace

void ApplyClientOptions(TNetCustomHTTP& http, TNetSSLIOHandlerSocket& tls,
                        const TClientOptions& options) {
  ApplyStoredClientSettings(http);
  ApplyWebClientSettings(http, tls);
  tls.VerifyPeer = options.VerifyPeer;
  if (options.CAFile) tls.CAFile = *options.CAFile;

  TNetHTTPRequest& request = http.Request;
  if (options.UserAgent) request.UserAgent = *options.UserAgent;
  if (options.Referer) request.Referer = *options.Referer;
  if (options.User) {
    request.Username = options.User->Username;
    request.Password = options.User->Password;
    request.BasicAuthentication = true;
  }
  for (const std::string& header : options.Headers) {
    const size_t colon = header.find(':');
    if (std::string* field = RequestField(request, Trim(header.substr(0, colon))))
      *field = Trim(header.substr(colon + 1));
    else
      request.CustomHeaders.Add(header);
  }

  http.HandleRedirects = options.FollowRedirects;
  // The client counts requests, the first one included.
  if (options.MaxRedirects) http.RedirectMaximum = *options.MaxRedirects + 1;
  if (options.Http10) http.ProtocolVersion = TNetHTTPProtocolVersion::pv1_0;
  http.ReadTimeout = options.StallTimeoutMs;
  http.ConnectTimeout = options.ConnectTimeoutMs;
  http.TransferTimeout = options.MaxTimeMs;
  // Never the coded bytes under a resource's name.
  http.DecodeContent = true;
  if (options.Compressed && request.AcceptEncoding.empty())
    request.AcceptEncoding = kCompressedEncodings;

  if (!options.ProxyHost.empty()) {
    http.ProxyParams.SetProxyServer(options.ProxyHost);
    http.ProxyParams.SetProxyPort(options.ProxyPort);
    if (options.ProxyUser) {
      http.ProxyParams.ProxyUsername = options.ProxyUser->Username;
      http.ProxyParams.ProxyPassword = options.ProxyUser->Password;
      http.ProxyParams.BasicAuthentication = true;
    }
  }

  if (options.Socks != TSocksVersion::svNoSocks) {
    TNetSocksInfo& socks = *tls.SocksInfo();
    socks.Version = options.Socks;
    socks.Host = options.SocksHost;
    socks.Port = options.SocksPort;
    if (options.SocksUser) {
      socks.Username = options.SocksUser->Username;
      socks.Password = options.SocksUser->Password;
      socks.Authentication = TSocksAuthentication::saUsernamePassword;
    }
  }
}
