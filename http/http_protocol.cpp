#include "http/http_protocol.h"

#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "base/text.h"
#include "http/custom_http.h"
#include "http/response_framing.h"

namespace {

// Puts a scratch text stream in place of the response's body stream and a read time-out in
// place of the client's for one body read; both are put back however the read ends.
class TBodyDetour {
 public:
  TBodyDetour(TNetCustomHTTP& client, TNetHTTPResponse& response, int timeoutMs)
      : client_(client),
        response_(response),
        saved_stream_(response.BodyStream),
        saved_timeout_(client.ReadTimeout) {
    response.BodyStream = &text_;
    client.ReadTimeout = timeoutMs;
  }
  ~TBodyDetour() {
    response_.BodyStream = saved_stream_;
    client_.ReadTimeout = saved_timeout_;
  }
  TBodyDetour(const TBodyDetour&) = delete;
  TBodyDetour& operator=(const TBodyDetour&) = delete;

  std::string Text() { return text_.TakeDataString(); }

 private:
  TNetCustomHTTP& client_;
  TNetHTTPResponse& response_;
  TStream* saved_stream_;
  int saved_timeout_;
  TStringStream text_;
};

}  // namespace

TNetHTTPProtocol::TNetHTTPProtocol(TNetCustomHTTP* client)
    : Request(client), Response(client), client_(client) {}

void TNetHTTPProtocol::RaiseProtocolError() {
  const int code = Response.StatusCode();
  std::string body;
  {
    TBodyDetour detour(*client_, Response, http_limits::kErrorBodyTimeoutMs);
    try {
      // After the server closed in the middle of the head there is no body to read.
      if (client_->IsConnected()) client_->ReadResponseBody(Response, Request.RequestMethod);
    } catch (const ENetConnClosedGracefully&) {
      // An error page cut short still tells what went wrong; the status is the error.
    }
    body = detour.Text();
  }
  throw ENetHTTPProtocolException(code, Response.StatusLine, body);
}

void TNetHTTPProtocol::DrainBody() {
  TBodyDetour detour(*client_, Response, client_->ReadTimeout);
  client_->ReadResponseBody(Response, Request.RequestMethod);
}

void TNetHTTPProtocol::DrainQuietly(int timeoutMs) {
  const int saved = client_->ReadTimeout;
  client_->ReadTimeout = timeoutMs;
  try {
    DrainBody();
  } catch (const Exception&) {
    // Nothing of this body is wanted; the connection stays marked as not reusable.
  }
  client_->ReadTimeout = saved;
}

TNetNextStep TNetHTTPProtocol::EvaluateResponse() {
  TNetCustomHTTP& http = *client_;
  const int code = Response.StatusCode();
  const int digit = code / 100;
  TNetNextStep result = TNetNextStep::nsUnknown;

  if ((digit == 3 && code != 304) || !Response.Location.empty()) {
    std::string location = Response.Location;
    TNetHTTPMethod method = Request.RequestMethod;
    if (http.HandleRedirects && http.RedirectCount < http.RedirectMaximum) {
      if (!http.NotifyRedirect(location, method, http.RedirectCount)) RaiseProtocolError();
      result = TNetNextStep::nsFollow;
      Request.RequestTarget = location;
      Request.RequestMethod = method;
    } else {
      result = TNetNextStep::nsDone;
      if (!http.NotifyRedirect(location, method, http.RedirectCount)) RaiseProtocolError();
      Response.Location = location;
    }
    if (http.IsConnected()) DrainQuietly(http_limits::kDrainTimeoutMs);
    // A client that follows redirects and runs out of them has not got what it asked for:
    // ending as if it had would deliver an empty body for a redirect loop.
    if (result == TNetNextStep::nsDone && http.HandleRedirects)
      throw ENetHTTPProtocolException(code,
                                      Format("Too many redirects: %d followed, the next to %s",
                                             http.RedirectCount - 1, location.c_str()),
                                      std::string());
    return result;
  }

  bool drain = false;
  if (digit != 2) {
    result = TNetNextStep::nsFollow;
    if (code == 401) {
      if (http.ServerAuthAttempts >= http.AuthRetries || !http.AuthorizeServer(Request, Response)) {
        if (Request.Authentication) Request.Authentication->ResetSteps();
        RaiseProtocolError();
      }
      drain = http.HTTPOptions.Contains(TNetHTTPOption::hoInProcessAuth);
    } else if (code == 407) {
      TNetProxyConnectionInfo& proxy = http.ProxyParams;
      if (http.ProxyAuthAttempts >= http.AuthRetries || !http.AuthorizeProxy(Request, Response)) {
        if (proxy.Authentication) proxy.Authentication->ResetSteps();
        RaiseProtocolError();
      }
      drain = http.HTTPOptions.Contains(TNetHTTPOption::hoInProcessAuth);
    } else {
      RaiseProtocolError();
    }
  }

  if (http.IsConnected()) {
    if (drain) {
      DrainQuietly(http_limits::kDrainTimeoutMs);
      result = TNetNextStep::nsAuthRetry;
    } else {
      // An accepted challenge without in-process authorization: the caller repeats the
      // request itself, so the 401/407 page must not reach its stream as the document.
      // The tunnel's own request reads it into its private stream and asks again.
      const bool acceptedChallenge = code == 401 || code == 407;
      if (acceptedChallenge && Request.RequestMethod != TNetHTTPMethod::hmConnect)
        RaiseProtocolError();
      if (code != 204)
        http.ReadResponseBody(Response, Request.RequestMethod);
      else
        http.SetResponsePending(false);
      result = TNetNextStep::nsDone;
    }
  }
  return result;
}
