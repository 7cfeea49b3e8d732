// The CONNECT tunnel through a proxy to an https server: its own request/response pair,
// sent until the proxy answers 200 (answering challenges on the way), then TLS over it.
#include <algorithm>

#include "base/string_stream.h"
#include "http/custom_http.h"
#include "net/io_handler.h"

void TNetCustomHTTP::OpenTunnel() {
  TNetHTTPProtocol tunnel(this);
  TStringStream scratch;
  tunnel.Request.UserAgent = Request.UserAgent;
  tunnel.Request.Host = Request.Host;
  tunnel.Request.ContentLength = Request.ContentLength;
  tunnel.Request.Pragma = "no-cache";
  tunnel.Request.RequestTarget = CurrentAddress.HostName + ":" + CurrentAddress.PortText;
  tunnel.Request.RequestMethod = TNetHTTPMethod::hmConnect;
  tunnel.Request.ProxyConnection = "keep-alive";
  tunnel.Response.BodyStream = &scratch;
  // Each round answers a proxy or server challenge; more rounds than both kinds of retries
  // allow means the proxy is answering with something we cannot act on.
  const int maxRounds = 2 * std::max(AuthRetries, 0) + 2;
  for (int round = 1;; ++round) {
    ConnectIfNeeded(tunnel.Response);
    SendRequestHead(tunnel.Request, nullptr);
    tunnel.Response.StatusLine = reader_.ReadStatusLine();
    if (tunnel.Response.StatusLine.empty()) {
      tunnel.Response.StatusLine = "HTTP/1.0 200 OK";
      tunnel.Response.Connection = "close";
    } else {
      ReadHeadOfStatus(tunnel);
    }
    if (tunnel.Response.StatusCode() == 200) {
      response_pending_ = false;
      reader_.Finish();
      if (TNetIOHandler* handler = IOHandler(); handler && handler->CarriesTLS()) {
        // The certificate must name the server behind the proxy.
        handler->SetTLSServerName(CurrentAddress.HostName);
        handler->SetPassThrough(false);
      }
      return;
    }
    if (round >= maxRounds) RaiseProtocolError(tunnel);
    EvaluateResponse(tunnel);
  }
}
