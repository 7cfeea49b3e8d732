// Carrying out what a response calls for (see response_decision.h): asking the redirect and
// authorization events, discarding or capturing bodies that are not the answer, reading the
// one that is, and raising the status as the error.
#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "base/text.h"
#include "http/authorization_dialogue.h"
#include "http/custom_http.h"
#include "http/response_framing.h"

namespace {

constexpr int kNoContent = 204;

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

TNetResponsePolicy TNetCustomHTTP::Policy() const {
  TNetResponsePolicy policy;
  policy.HandleRedirects = HandleRedirects;
  policy.RedirectMaximum = RedirectMaximum;
  policy.AuthRetries = AuthRetries;
  policy.InProcessAuth = HTTPOptions.Contains(TNetHTTPOption::hoInProcessAuth);
  return policy;
}

void TNetCustomHTTP::RaiseProtocolError(TNetHTTPProtocol& pair) {
  TNetHTTPResponse& response = pair.Response;
  const int code = response.StatusCode();
  std::string body;
  {
    TBodyDetour detour(*this, response, http_limits::kErrorBodyTimeoutMs);
    try {
      // After the server closed in the middle of the head there is no body to read.
      if (IsConnected()) ReadResponseBody(response, pair.Request.RequestMethod);
    } catch (const ENetConnClosedGracefully&) {
      // An error page cut short still tells what went wrong; the status is the error.
    }
    body = detour.Text();
  }
  throw ENetHTTPProtocolException(code, response.StatusLine, body);
}

void TNetCustomHTTP::DrainBody(TNetHTTPProtocol& pair) {
  TBodyDetour detour(*this, pair.Response, ReadTimeout);
  ReadResponseBody(pair.Response, pair.Request.RequestMethod);
}

void TNetCustomHTTP::DrainQuietly(TNetHTTPProtocol& pair, int timeoutMs) {
  const int saved = ReadTimeout;
  ReadTimeout = timeoutMs;
  try {
    DrainBody(pair);
  } catch (const Exception&) {
    // Nothing of this body is wanted; the connection stays marked as not reusable.
  }
  ReadTimeout = saved;
}

void TNetCustomHTTP::ReadFinalBody(TNetHTTPProtocol& pair) {
  if (pair.Response.StatusCode() != kNoContent)
    ReadResponseBody(pair.Response, pair.Request.RequestMethod);
  else
    response_pending_ = false;
}

void TNetCustomHTTP::ResetChallenged(TNetHTTPProtocol& pair, TNetChallenger challenger) {
  TNetAuthentication* authentication = challenger == TNetChallenger::chProxy
                                           ? ProxyParams.Authentication.get()
                                           : pair.Request.Authentication.get();
  if (authentication) authentication->ResetSteps();
}

TNetNextStep TNetCustomHTTP::EvaluateResponse(TNetHTTPProtocol& pair) {
  const TNetResponseDecision decision = pair.Decide(Policy(), counters_);
  if (decision.Redirection) return CarryOutRedirection(pair, decision);
  switch (decision.Action) {
    case TNetResponseAction::raDone:
      if (!IsConnected()) return TNetNextStep::nsUnknown;
      ReadFinalBody(pair);
      return TNetNextStep::nsDone;
    case TNetResponseAction::raAuthorize:
      return CarryOutChallenge(pair, decision);
    case TNetResponseAction::raFollow:
    case TNetResponseAction::raFail:
      break;
  }
  if (decision.Challenger != TNetChallenger::chNone) ResetChallenged(pair, decision.Challenger);
  RaiseProtocolError(pair);
}

TNetNextStep TNetCustomHTTP::CarryOutRedirection(TNetHTTPProtocol& pair,
                                                 const TNetResponseDecision& decision) {
  std::string location = pair.Response.Location;
  TNetHTTPMethod method = pair.Request.RequestMethod;
  if (!NotifyRedirect(location, method, counters_.Redirects)) RaiseProtocolError(pair);
  if (decision.Action == TNetResponseAction::raFollow) {
    pair.Request.RequestTarget = location;
    pair.Request.RequestMethod = method;
  } else {
    pair.Response.Location = location;
  }
  if (IsConnected()) DrainQuietly(pair, http_limits::kDrainTimeoutMs);
  if (decision.TooManyRedirects)
    throw ENetHTTPProtocolException(pair.Response.StatusCode(),
                                    Format("Too many redirects: %d followed, the next to %s",
                                           counters_.Redirects - 1, location.c_str()),
                                    std::string());
  return decision.Action == TNetResponseAction::raFollow ? TNetNextStep::nsFollow
                                                         : TNetNextStep::nsDone;
}

TNetNextStep TNetCustomHTTP::CarryOutChallenge(TNetHTTPProtocol& pair,
                                               const TNetResponseDecision& decision) {
  const bool proxy = decision.Challenger == TNetChallenger::chProxy;
  if (!(proxy ? AuthorizeProxy(pair.Request, pair.Response)
              : AuthorizeServer(pair.Request, pair.Response))) {
    ResetChallenged(pair, decision.Challenger);
    RaiseProtocolError(pair);
  }
  // The server closed after its challenge: the request goes again on a new connection.
  if (!IsConnected()) return TNetNextStep::nsFollow;
  switch (decision.Retry) {
    case TNetChallengeRetry::crInProcess:
      DrainQuietly(pair, http_limits::kDrainTimeoutMs);
      return TNetNextStep::nsAuthRetry;
    case TNetChallengeRetry::crTunnel:
      ReadFinalBody(pair);
      return TNetNextStep::nsDone;
    case TNetChallengeRetry::crByCaller:
    case TNetChallengeRetry::crNone:
      break;
  }
  // The caller repeats the request itself, so the challenge page must not reach its stream
  // as the document.
  RaiseProtocolError(pair);
}

bool TNetCustomHTTP::AuthorizeServer(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  return Authorize(TNetChallenger::chServer, request, response);
}

bool TNetCustomHTTP::AuthorizeProxy(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  return Authorize(TNetChallenger::chProxy, request, response);
}

bool TNetCustomHTTP::Authorize(TNetChallenger challenger, TNetHTTPRequest& request,
                               TNetHTTPResponse& response) {
  const bool proxy = challenger == TNetChallenger::chProxy;
  ++(proxy ? counters_.ProxyAuthAttempts : counters_.ServerAuthAttempts);
  TNetAuthorizationParty party{
      .Authentication = proxy ? ProxyParams.Authentication : request.Authentication,
      .Challenges = proxy ? response.ProxyAuthenticate : response.WWWAuthenticate,
      .OnSelect = proxy ? OnSelectProxyAuthorization : OnSelectAuthorization,
      .OnAuthorize = proxy ? OnProxyAuthorization : OnAuthorization,
      .User = proxy ? ProxyParams.ProxyUsername : request.Username,
      .Password = proxy ? ProxyParams.ProxyPassword : request.Password,
      .Challenger = challenger,
      // Only the server's credentials travel as the request's own.
      .CredentialsGiven = proxy ? nullptr : &request.BasicAuthentication};
  return RunAuthorizationDialogue(this, party);
}

bool TNetCustomHTTP::NotifyRedirect(std::string& location, TNetHTTPMethod& method,
                                    int redirectCount) {
  bool handled = HandleRedirects;
  if (OnRedirect) {
    int count = redirectCount;
    OnRedirect(this, location, count, handled, method);
  }
  return handled;
}
