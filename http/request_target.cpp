// Where a request goes: the address of the call merged into the current one, the request
// fields taken from it, and the endpoint and kind of connection that reach it.
#include <algorithm>

#include "base/net_exceptions.h"
#include "base/stream.h"
#include "base/text.h"
#include "http/custom_http.h"
#include "net/io_handler.h"

namespace {

// Methods whose request line this client writes only under HTTP/1.1.
bool NeedsHttp11(TNetHTTPMethod method) {
  return method == TNetHTTPMethod::hmOptions || method == TNetHTTPMethod::hmTrace ||
         method == TNetHTTPMethod::hmPut || method == TNetHTTPMethod::hmDelete;
}

}  // namespace

void TNetCustomHTTP::PrepareTarget() {
  const TNetURI target(Request.RequestTarget);
  if (!target.AuthUser.empty()) {
    Request.Username = target.AuthUser;
    Request.Password = target.AuthPassword;
  }
  CurrentAddress.AuthUser = Request.Username;
  CurrentAddress.AuthPassword = Request.Password;

  CurrentAddress.Directory = MergePath(CurrentAddress.Directory, target.Directory, "/");
  CurrentAddress.DocumentName = target.DocumentName;
  CurrentAddress.QueryText = target.QueryText;
  if (!target.HostName.empty()) CurrentAddress.HostName = target.HostName;
  CurrentAddress.Scheme = target.Scheme.empty() ? std::string("http") : target.Scheme;

  if (!target.PortText.empty()) {
    CurrentAddress.PortText = target.PortText;
  } else {
    const int current = StrToIntDef(CurrentAddress.PortText, 0);
    if (current == 0 || current == 80 || current == 443) {
      if (SameText(CurrentAddress.Scheme, "http"))
        CurrentAddress.PortText = "80";
      else if (SameText(CurrentAddress.Scheme, "https"))
        CurrentAddress.PortText = "443";
      else
        throw ENetUnknownProtocol("Unknown protocol: " + CurrentAddress.Scheme);
    }
  }

  if (Request.RequestMethod == TNetHTTPMethod::hmOptions && CurrentAddress.DocumentName == "*") {
    Request.RequestTarget = "*";
  } else {
    Request.RequestTarget =
        CurrentAddress.Directory + CurrentAddress.DocumentName + CurrentAddress.QueryText;
    // A request line needs a target; an address without any path asks for the root.
    if (Request.RequestTarget.empty()) Request.RequestTarget = "/";
  }

  if (NeedsHttp11(Request.RequestMethod) && ProtocolVersion != TNetHTTPProtocolVersion::pv1_1)
    throw ENetException("This request method is supported in HTTP 1.1");

  Request.ContentLength =
      SendsBody(Request.RequestMethod) && Request.BodySource ? Request.BodySource->Size() : -1;

  Request.Host = CurrentAddress.PortText == "80"
                     ? CurrentAddress.HostName
                     : CurrentAddress.HostName + ":" + CurrentAddress.PortText;
}

TNetConnectionKind TNetCustomHTTP::ChooseEndpoint() {
  // A handler that cannot carry TLS is treated as none: https needs one that can.
  TNetIOHandler* tls = IOHandler() && IOHandler()->CarriesTLS() ? IOHandler() : nullptr;
  const bool https = SameText(CurrentAddress.Scheme, "HTTPS");
  if (ProxyParams.ProxyServer().empty()) {
    const int port = StrToInt(CurrentAddress.PortText);
    if (!SameText(Host(), CurrentAddress.HostName) || Port() != port) {
      if (IsConnected()) CloseConnection();
      SetHost(CurrentAddress.HostName);
      SetPort(port);
    }
    // The same host and port, but the other of http and https: that is another connection.
    if (tls && tls->TLSActive() != https && IsConnected()) CloseConnection();
    if (https) {
      if (!tls) throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
      tls->SetPassThrough(false);
      return TNetConnectionKind::ckDirectTls;
    }
    if (tls) tls->SetPassThrough(true);
    return TNetConnectionKind::ckDirect;
  }
  if (Host() != ProxyParams.ProxyServer() || Port() != ProxyParams.ProxyPort()) {
    if (IsConnected()) CloseConnection();
    // The proxy is where we connect; the address we ask for stays in CurrentAddress.
    TNetTCPClient::AssignHost(ProxyParams.ProxyServer());
    TNetTCPClient::AssignPort(ProxyParams.ProxyPort());
  }
  if (https) {
    if (!tls) throw ENetIOHandlerPropInvalid("IOHandler value is not valid");
    tls->SetPassThrough(true);
    return TNetConnectionKind::ckTlsViaProxy;
  }
  if (tls) tls->SetPassThrough(true);
  return TNetConnectionKind::ckProxy;
}
