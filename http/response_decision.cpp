#include "http/response_decision.h"

namespace {

constexpr int kNotModified = 304;
constexpr int kUnauthorized = 401;
constexpr int kProxyAuthenticationRequired = 407;

bool IsRedirection(int statusCode, bool hasLocation) {
  return (statusCode >= 300 && statusCode <= 399 && statusCode != kNotModified) || hasLocation;
}

}  // namespace

bool IsSuccessStatus(int statusCode) {
  return statusCode >= 200 && statusCode <= 299;
}

TNetResponseDecision DecideResponse(int statusCode, bool hasLocation, TNetHTTPMethod method,
                                    const TNetResponsePolicy& policy,
                                    const TNetResponseCounters& counters) {
  TNetResponseDecision decision;
  if (IsRedirection(statusCode, hasLocation)) {
    decision.Redirection = true;
    if (!policy.HandleRedirects) {
      decision.Action = TNetResponseAction::raDone;
    } else if (counters.Redirects < policy.RedirectMaximum) {
      decision.Action = TNetResponseAction::raFollow;
    } else {
      // Ending as if the call had succeeded would deliver an empty body for a redirect loop.
      decision.Action = TNetResponseAction::raFail;
      decision.TooManyRedirects = true;
    }
    return decision;
  }
  if (IsSuccessStatus(statusCode)) return decision;

  int attempts = 0;
  if (statusCode == kUnauthorized) {
    decision.Challenger = TNetChallenger::chServer;
    attempts = counters.ServerAuthAttempts;
  } else if (statusCode == kProxyAuthenticationRequired) {
    decision.Challenger = TNetChallenger::chProxy;
    attempts = counters.ProxyAuthAttempts;
  } else {
    decision.Action = TNetResponseAction::raFail;
    return decision;
  }
  if (attempts >= policy.AuthRetries) {
    decision.Action = TNetResponseAction::raFail;
    return decision;
  }
  decision.Action = TNetResponseAction::raAuthorize;
  if (policy.InProcessAuth)
    decision.Retry = TNetChallengeRetry::crInProcess;
  else if (method == TNetHTTPMethod::hmConnect)
    decision.Retry = TNetChallengeRetry::crTunnel;
  else
    decision.Retry = TNetChallengeRetry::crByCaller;
  return decision;
}
